// The one-time-programmable PIC16C forms with 14-bit words (no erase, no data
// EEPROM, no device ID), on the serial layer with the plain command codes:
//
//   TP16c6x     keyword P16C61: PIC16C61-77 and PIC16C620-622 from built-in
//               rows; the package from "*P44"/"*Q44" in the device name or the
//               row's VCC pin; boxes and oscillator group for the configuration
//               word, an eight-character ".CON"; a pulse count of 1-3 waits 25
//               per word; a serial number stamped into the image (add=) before
//               every batch pass
//   TP16cxxx1   keyword P16CXXX: sizes (fla=), package (pkg=) and the caption
//               set (cfg=) from the device line; the configuration word from a
//               two-column grid kept in the ".c48" side file; two waits 25 per
//               word; no serial-enable register write
//
// Both program with load data, begin programming, the waits, end programming,
// increment; the chip ANDs the word into its cells (one-time cells go only
// 1 -> 0), so Blank refuses a chip with a programmed configuration word or
// program word.
#pragma once

#include <random>

#include "algo/pic/pic_form.h"

namespace quilla {

class PicOtpForm : public PicForm {
public:
    int VariantCount() const override { return static_cast<int>(Table.size()); }

    virtual void BlankClick();
    virtual void WriteClick();
    virtual void ReadToFileClick();
    virtual void VerifyClick();
    virtual void RdConfigClick() = 0;
    virtual void WtConfigClick();
    virtual void Button1Click();

    std::vector<PicRow> Table;
    std::uint32_t MaskLo = 0, MaskHi = 0;  // the contact masks of the package

protected:
    PicOtpForm(Workbench& wb, std::string caption, const PicVariant& variant);

    // The chosen row as setup left it; refuses (nothing sent) before a valid setup.
    const PicRow& Row();
    // The contact test with the package's masks; masks of 0 (no package that
    // sets them) test the row's supply and ground pins, so an empty socket
    // never reads as a blank chip.
    bool CheckContact();
    // Power-up (the layer's, VPP routed and raised by the variant), with or
    // without the current check.
    bool PowerUp(bool check) { return Pic.Enter(Row().Pins(), check); }
    // Configuration read after a power-up: words 0-7 of the configuration area.
    std::array<std::uint16_t, 8> ReadConfigArea();
    // Setup's end once the design is loaded: `r` becomes the chosen row, VPP
    // 12 V, VCC 4.4 V, the link status, a new image ending at the row's last
    // address, shown.
    void UseRow(const PicRow& r);
    // Blank's, Read's and Verify's block loop over the program words.
    int Waits() const;
    // A step run by the batch before the ticked steps of each pass (stamp).
    virtual void BeforePass() {}

    const char* writeConfigStatus_ = "Wrt.CFG....";
    const char* writeConfigDone_ = nullptr;
    bool verifyAtChosenVcc_ = false;
    PicRow row_;
    bool ready_ = false;
};

class TP16c6x : public PicOtpForm {
public:
    explicit TP16c6x(Workbench& wb);
    void SetupForDevice() override;
    std::string DeviceLineError() const override;
    void OnClose() override;
    void RdConfigClick() override;
    void ConfigToControls() override;
    void ControlsToConfig() override;
    // Stamps the serial number at add= (when above 0) and redraws the image.
    void SNClick();
    // Tests give the serial numbers a seed; otherwise the form seeds itself once.
    void SeedSerialNumbers(unsigned seed) { rng_.seed(seed); }

protected:
    void FillVariantTable();
    void BeforePass() override { SNClick(); }

private:
    std::mt19937 rng_;
};

class TP16cxxx1 : public PicOtpForm {
public:
    explicit TP16cxxx1(Workbench& wb);
    void SetupForDevice() override;
    std::string DeviceLineError() const override;
    void OnClose() override;
    void RdConfigClick() override;
    void ControlsToConfig() override;
    void ConfigToControls() override {}
    void WtConfigClick() override;
    void StringGrid1Click();

protected:
    void FillVariantTable();
};

}  // namespace quilla
