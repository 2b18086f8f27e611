// "chkpin": the pin-check design. It gives no family command a meaning; the
// contact test (registers 4, 27 and 22-27) works under it as under every design.
#pragma once

#include "sim/design.h"

namespace quilla::sim {

class ChkPinDesign : public Design {
public:
    static constexpr std::string_view TagName = "chkpin";
    std::string_view Tag() const override { return TagName; }
};

}  // namespace quilla::sim
