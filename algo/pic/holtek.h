// The Holtek OTP form THoltekOTP1 (keyword HTOTP): programs Holtek OTP
// microcontrollers from ".OTP" files loaded unchanged into the image, through
// the nibble interface of its design (latch 0 the nibble, control lines 1
// clock, 2 select, 3 read, capture 0x01). The layout check finds the ROM and
// OPTION records; Read builds an image of the same layout from the chip.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "algo/pic/pic_form.h"

namespace quilla {

struct HoltekRow {
    std::string Name{}, Design{};
    int VppPin = 0, VccPin = 0, GndPin = 0;
    std::int32_t RomSize = 0;  // bytes
    std::uint32_t ContactLo = 0, ContactHi = 0;
};

// Where the records of an ".OTP" image lie (offsets into the image).
struct OtpLayout {
    std::uint32_t RomStart = 0, RomEnd = 0, OptionStart = 0, OptionEnd = 0;
    std::int64_t RomData = 0, OptionData = 0;
    std::int64_t RomBytes = 0;  // data bytes of the ROM record (L1 - 4)
};

class THoltekOTP1 : public PicForm {
public:
    explicit THoltekOTP1(Workbench& wb);

    std::vector<HoltekRow> Table;
    int VariantCount() const override { return static_cast<int>(Table.size()); }
    std::string DeviceLineError() const override;
    void SetupForDevice() override;
    void OnClose() override { Ep3.PowerOff(); }

    void ReadToFileClick();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void SecurityClick();
    void Button1Click();
    void OptionMsgClick();
    void FileInfoClick();
    void Button2Click();

    // The layout check: true (and Layout stored) when the image has the
    // ".OTP" markers, with every record inside the image.
    bool OtpLayoutCheck();
    OtpLayout Layout;

protected:
    void FillVariantTable();
    void Line(int n, bool high);
    void Clock();
    bool EnterProgramMode();
    void SetAddress(int mode, std::uint32_t address);
    void ProgramWord(std::uint32_t w);
    void ReadBlock(std::uint8_t* dest);
    void SuppliesOff();
    void Deselect();
    // A session of its own that reads the 32 words at area 2, address 0 (the
    // lock word first), then switches off; false when the entry failed.
    bool ReadArea2Block(std::uint8_t (&block)[32]);
    void ShowProgress(std::int32_t a) { PicForm::ShowProgress(a, row_.RomSize); }

    HoltekRow row_;
    bool ready_ = false;
};

}  // namespace quilla
