// "p93cxxx": the Microwire design. The forms clock CS, SK and DI with the
// host's own pin commands; the design only samples the chip's output:
//
//   0x01   captures DO (socket pin 20, a DIP8 part on 17-24) in bit 0
#pragma once

#include "sim/design.h"

namespace quilla::sim {

class P93Design : public Design {
public:
    static constexpr std::string_view TagName = "p93cxxx";
    static constexpr int DoPin = 20;
    std::string_view Tag() const override { return TagName; }

    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;
};

}  // namespace quilla::sim
