// The 87LPC76x form (keyword PHI87LP): the Philips P87LPC760-769 one-time
// parts through a byte-serial command protocol ("lp76x": 0x2F shifts a frame
// into the chip, 0x30 a byte out), VPP 10.8 V on RST. Blank check, verify,
// write and read of the code memory, the configuration word (its controls, and
// a two-byte ".cfg" side file beside the data file), 32 bytes of user code at
// 0xFCE0, the signature at 0xFC30/0xFC31.
#pragma once

#include "algo/mcs51/mcs51_form.h"

namespace quilla {

class TPhi87lpx : public Mcs51Form {
public:
    explicit TPhi87lpx(Workbench& wb);

    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override;

    void BlankClick() override { CheckClick(false); }
    void VerifyClick() override { CheckClick(true); }
    void WriteClick() override;
    void ReadToFileClick();
    void RdConfigClick();
    void WtConfigClick();
    void IDClick() override;
    void Button1Click() override;  // write the user code (this form's batch is Button2)
    void Button3Click();  // read the user code
    void Button2Click();  // the batch
    void RadioGroup1Click();

    // ---- the command protocol ------------------------------------------------------------
    void Lpc76xCommand(std::uint8_t b) { Ep3.UsbPut2(proto::OpLpcFrame, b); }
    void Lpc76xLoadAddress(std::uint16_t a);
    void Lpc76xNextAddress() { Lpc76xCommand(6); }
    void Lpc76xReadByte() { Lpc76xCommand(4), Put1(proto::OpLpcSample); }
    std::uint8_t Lpc76xProgramByte(std::uint8_t b);
    void Lpc76xEnter();
    int CheckDeviceId();

    void ControlsToConfig();
    void ConfigToControls();

    std::uint32_t ConfigWord = 0;

private:
    bool Contact();
    // The status text, the entry, the address loaded and flushed (when given),
    // the current check: false ends the operation.
    bool Begin(const char* text, int address = -1);
    void ReadId();
    void CheckClick(bool verify);  // Blank: every byte 0xFF; Verify: the image's
    // `count` reads from the address loaded (each, then the next address), a flush.
    void QueueReads(int count);
    // The 64-byte groups from address 0; `check` (when given) judges each.
    bool ReadGroups(const Mcs51Row& r, bool intoImage, const GroupCheck51& check = {});
    // Image bytes first..last from the address loaded (a flush at each 256-byte
    // boundary), a flush, ErrorFlag := 0.
    void ProgramRun(std::int32_t first, std::int32_t last);
    std::string SideFile() const;
};

}  // namespace quilla
