// The one-time-programmable PIC parts with 12-bit program words on the serial
// layer (plain command codes, VPP raised by a pin command, no serial-enable
// register write):
//
//   TP12c508x   keyword P12C508: PIC12C508/509 in the 8-pin position (socket
//               17-24); Lockbit, WTD, MCLRE and the oscillator group; a pulse
//               count of 1-3 waits 25; the eight-character ".CON"
//   TP16c505x   keyword P16C505: PIC16C505 placed as "16f630.bmp" shows; seven
//               boxes for bits 0-5 and 6-15; one wait 25; an eleven-character
//               ".CON"
//
// After entry the chip's counter stands at the configuration word; one
// increment takes it to program word 0, and the user IDs follow the program
// words. The last program word holds the factory oscillator calibration:
// Blank and Verify never look at it, and Write programs it only on a chip that
// reads it erased (0FFFh), since a one-time AND would destroy the factory
// value.
#pragma once

#include "algo/pic/pic_form.h"

namespace quilla {

class Pic12OtpForm : public PicForm {
public:
    int VariantCount() const override { return static_cast<int>(Table.size()); }
    std::string DeviceLineError() const override;

    void BlankClick();
    void WriteClick();
    void ReadToFileClick();
    void VerifyClick();
    void RdConfigClick();
    virtual void WtConfigClick() = 0;
    void Button1Click();

    std::vector<PicRow> Table;

protected:
    Pic12OtpForm(Workbench& wb, std::string caption, const PicVariant& variant, const char* keyword);

    const PicRow& Row();
    bool CheckContact();
    // Power-up and VPP raised (no current check); the counter at the configuration word.
    void Enter();
    void Off() { Pic.Leave(); }
    // Blocks of 32 words from word 0 (after one increment) while a < L, all
    // gathered before the caller compares.
    void GatherProgram(std::vector<std::uint8_t>& out);
    // Blank's and Verify's pass: the program words gathered, except the last
    // (the calibration word), against the image (nullptr: erased FFFh); the
    // first difference shows `fail` and its address, sets ErrorFlag and
    // switches off; a clean pass ends "OK".
    void CompareProgram(const PicRow& r, const std::uint8_t* image, const char* fail);
    // The last program word as the chip reads it.
    std::uint16_t ReadLastWord();
    void ReadConfig();
    void WriteConfig();
    // The setup both forms share after their design: status, image window,
    // caption, supplies, user ID.
    void SetupCommon(int vcc);
    bool SetupBegin();

    const char* keyword_;
    std::uint32_t maskLo_ = 0, maskHi_ = 0;
    bool groundAtPowerUp_ = false;
    PicRow row_;
    bool ready_ = false;
};

class TP12c508x : public Pic12OtpForm {
public:
    explicit TP12c508x(Workbench& wb);
    void SetupForDevice() override;
    void OnClose() override;
    void WtConfigClick() override;
    void ConfigToControls() override;
    void ControlsToConfig() override;
};

class TP16c505x : public Pic12OtpForm {
public:
    explicit TP16c505x(Workbench& wb);
    void SetupForDevice() override;
    void OnClose() override;
    void WtConfigClick() override;
    void ConfigToControls() override;
    void ControlsToConfig() override;
};

// The eleven-character ".CON" of the PIC16C505 form: seven '0'/'1' box
// characters, then the first four characters of the user ID field. A file not
// of that form (7 to 11 characters, the first seven '0' or '1') is not taken.
std::optional<std::array<bool, 7>> ReadConFile11(const std::string& path);
bool WriteConFile11(const std::string& path, const std::array<bool, 7>& boxes, const std::string& userIdText);

}  // namespace quilla
