// The PIC18 forms on the PIC18 command layer (algo/pic/pic18_layer.h):
//
//   TP18fxx2   keyword P18FXX2: flash parts with data EEPROM; sizes in bytes
//              (fla=, ee=), hold and EEPROM wait counts (dly=, eet=), package
//              (pkg=) and VCC (vcc=) from the device line into the row that
//              VariantIndex (0-19) names; Write in 8-byte panels, erase codes
//              into 3C0004h, device ID, configuration bytes with the IDs, data
//              EEPROM by core instructions
//   TP18cxxx   keyword P18CXXX: one-time parts; contact masks from pm=, word by
//              word writes, all sixteen configuration bytes, no erase, no EEPROM,
//              no IDs
//
// Image: program byte a at a; EEPROM byte i at 4000h + i while program memory
// stays below 4000h, else at 0F0000h + i (where the HEX reader stores a
// toolchain's F00000h records). For the smaller parts a file whose EEPROM
// loaded only at 0F0000h (a toolchain's) is written and verified from there. The configuration grid shows bit b of byte r (300000h + r) as one
// row "30000r bb"; the first sixteen configuration bytes are kept in the .c48
// side file.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "algo/common/c48.h"
#include "algo/pic/pic18_layer.h"
#include "algo/pic/pic_form.h"

namespace quilla {

namespace pic18 {

struct Row {
    std::string Name;
    int VppPin = 0, VccPin = 0, GndPin = 0;
    std::int32_t ProgramLast = 0, EepromLast = -1;
    int Hold = 0, EepromWait = 0;
    std::uint32_t MaskLo = 0, MaskHi = 0;
};

// The configuration grid's rows: byte r bit b at row 8r + (7 - b).
inline int GridRow(int byte, int bit) { return 8 * byte + (7 - bit); }

}  // namespace pic18

class Pic18Form : public PicForm {
public:
    static constexpr const char* kGrid = "StringGrid1";
    static constexpr int kRows = 20;

    int VariantCount() const override { return kRows; }
    std::string DeviceLineError() const override;
    void OnClose() override;

    void ReadToFileClick();
    void BlankClick();
    // Program memory against the image.
    virtual void VerifyClick();
    virtual void WriteClick() = 0;
    void RdConfigClick();
    virtual void WtConfigClick() = 0;
    virtual void Button1Click() = 0;
    void StringGrid1Click();
    void ConfigToControls() override;
    void ControlsToConfig() override;

    // Bytes 0-15 configuration, 16-23 IDs (after Rd.CFG).
    std::array<std::uint8_t, 64> ConfigBuffer{};
    std::array<pic18::Row, kRows> Table;

protected:
    Pic18Form(Workbench& wb, std::string caption, const C48Form& c48, bool otp);

    const pic18::Row& Row();
    pic18::Pic18Pins Pins() const { return {row_.VppPin, row_.VccPin, row_.GndPin}; }
    void FillVariantTable();
    void Enter() { Layer.EnterProgramMode(Pins(), otp_); }
    void Off() { Layer.SuppliesOff(); }
    // The contact test of the row's masks; masks of 0 test the supply and
    // ground pins, so an empty socket never passes.
    bool CheckContact();
    // What every operation checks first (the flash form: the device ID).
    virtual bool CheckFirst() = 0;
    // Blank's and Verify's block pass: nullptr compares with FFh. `more`, when
    // given, runs after the blocks passed while the chip is still in program
    // mode and returns the image address of a further mismatch, or -1.
    void CheckBlocks(const char* status, const std::uint8_t* image, const char* fail,
                     const std::function<std::int32_t()>& more = nullptr);
    // The window's first controls (the configuration grid, Read, Blank?,
    // Vrfy, Write., Rd.CFG and Wr.CFG) and its foot (type, address, status, progress).
    static ControlRows CommonControls();
    // Their handlers: the grid's click, Read, Blank?, Vrfy, Write., Rd.CFG and Wr.CFG.
    template <class Form>
    static Handlers<Form> CommonClicks() {
        Handlers<Form> h = picwin::ReadFirstClicks<Form>();
        h.insert(h.end(), {{kGrid, &Form::StringGrid1Click},
                           {picwin::kRdCfg.Name, &Form::RdConfigClick},
                           {picwin::kWrCfg.Name, &Form::WtConfigClick}});
        return h;
    }
    static ControlRows FootFields();
    // Setup's first steps: the table, the device line (false: refused), a new image.
    bool SetupStart();
    // Setup's common steps; the package step is the form's.
    void SetupCommon();
    virtual void SetupPackage() = 0;
    // pkg=0: "Bad Package! " (status and message); a listed package shows its
    // picture, loads its design and sets the row's supply and ground pins
    // (false when pkg= names none).
    bool SeatPackage(pic18::Row& r, int pkg);
    // Setup's last steps: the display, the type field, ground, VCC (vcc=,
    // 5000 mV when absent), VPP 12.0 V; the form is ready.
    void SetupEnd();
    // Before the configuration bytes are programmed: the grid into the
    // buffer, and when the configuration bytes the last HEX load found
    // (300000h-30000Dh) differ from the grid's, says so once per click or
    // batch; the grid's bytes are what is programmed.
    void GridToConfigNamingTheFile();

    pic18::Pic18Layer Layer;
    pic18::Row row_;
    bool ready_ = false;
    bool otp_;
    const C48Form& c48_;
};

class TP18fxx2 : public Pic18Form {
public:
    explicit TP18fxx2(Workbench& wb);
    void SetupForDevice() override;
    int ReadIdForSelfCheck() override;

    void WriteClick() override;
    // Program memory and, where the line has a data EEPROM, the EEPROM against
    // its image.
    void VerifyClick() override;
    void EraseClick();
    void IDClick();
    void WtConfigClick() override;
    void RdDataClick();
    void WrDataClick();
    void Button1Click() override;
    void Radio1Click();

    // Where setup put the EEPROM image: 4000h, or 0F0000h where program
    // memory reaches 4000h.
    std::int32_t EepromImage() const { return eeImage_; }

protected:
    bool CheckFirst() override { return CheckDeviceId(); }
    void SetupPackage() override;
    // 1 to go on, 0 to stop (contact, ID read, comparison, question).
    bool CheckDeviceId();
    // The ID read; false when its current check failed.
    bool ReadId();
    // The ID locations from Edit1 (short: FFh padding).
    std::array<std::uint8_t, 8> IdBytes() const;
    // The 64 EEPROM reads of R.Data for the block at byte a (line 3 high per
    // byte, TABLAT shifted out with line 3 low).
    void ShiftEepromBlock(std::int32_t a);
    // In program mode: reads the whole data EEPROM back and returns the image
    // address (source + i) of the first byte that differs, or -1.
    std::int32_t EepromMismatch();
    bool EepromReachable() const { return row_.EepromLast >= 0; }
    // The image address W.Data and Verify take the EEPROM from: the form's
    // image, or 0F0000h for a smaller part whose file loaded its EEPROM only
    // there (said once).
    std::int32_t EepromSource();
    std::vector<std::pair<std::int64_t, std::int64_t>> SideAreas() const override;

private:
    std::int32_t eeImage_ = 0x4000;
};

class TP18cxxx : public Pic18Form {
public:
    explicit TP18cxxx(Workbench& wb);
    void SetupForDevice() override;
    std::string DeviceLineError() const override;

    void WriteClick() override;
    void WtConfigClick() override;
    void Button1Click() override;

protected:
    bool CheckFirst() override { return CheckContact(); }
    void SetupPackage() override;
};

}  // namespace quilla
