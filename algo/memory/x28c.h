// Page-write EEPROMs with software data protection, X28C64 to X28C040
// (keyword X28C): whole pages written in one burst and read back, the
// protection switched off and on with the JEDEC command cycles, and a
// checksum of the chip. The form sets the address through output latches 0,
// 1, 3 and 4 and uses the design "x28c.bit" (page-buffer load and page
// program, read of the next byte, blank and sum queries over 256 bytes, and
// the programmer's cancel query; see sim/README.md).
#pragma once

#include <vector>

#include "algo/memory/socket_form.h"

namespace quilla {

class TX28cx1 : public SocketForm {
public:
    explicit TX28cx1(Workbench& wb);

    void SetupForDevice() override;
    void FillVariantTable() override;
    void ReadClick() override;
    void BlankClick() override;
    void VerifyClick() override;
    void WriteClick() override;
    void Button1Click() override;
    void OnClose() override;
    void UnprotectClick();
    void ProtectClick();
    void Button2Click();

    // The whole address through the latches (latch 1, 3, 0, 4; queues only).
    void SetAddressLatched(std::int32_t address);

private:
    std::int32_t Page(const VariantRecord& r) const { return r.PageSizeMinus1 + 1; }
    bool Start(const VariantRecord& r);
    void ByteCommand(const VariantRecord& r, std::uint32_t address, std::uint8_t data);
    void ReadNext(std::uint8_t* out, int n);
    void PageWrite(const VariantRecord& r, const std::uint8_t* bytes);
    void PageWait();
    bool CancelAsked();
    void EndOff(const char* text);
    std::vector<std::uint8_t> SavePageZero(const VariantRecord& r);
};

}  // namespace quilla
