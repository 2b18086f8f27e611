// The operations shared by the PIC16 forms with program memory, data EEPROM,
// configuration word and user ID on the serial layer (PIC16FEE, P16F87X,
// P16F628, P16C84): Read, Blank, Write, Verify, Read CFG, Write CFG, R.Data,
// W.Data and the batch, over the chosen row (Row()). A form gives its window,
// rows, setup, erase, the checks before each operation and the few points
// where its flows differ (PicFlashTraits).
#pragma once

#include <array>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "algo/pic/pic_form.h"

namespace quilla {

// The operations, for a form's checks before each.
enum class PicStep : std::uint8_t { Read, Blank, Write, Verify, Erase, ReadConfig, WriteConfig, ReadData, WriteData };

struct PicFlashTraits {
    const char* readStatus = "Read.";
    bool readFlushesFirst = true;      // Read sends the power-up before its first block
    bool readResetsView = true;        // Read scrolls a window past 3FFFh back to 0
    const char* blankStatus = "Blank CHK";
    const char* configNotBlank = "CONFIG No!!!";
    const char* blankDone = "OK";
    bool writeKeepsVcc = false;        // Write ends with VPP off only (VCC stays on)
    const char* writeDone = "End.";
    bool verifyChecksCurrent = false;  // Verify checks the current after raising VPP
    bool readDataInclusive = false;    // R.Data reads while b <= 2 x eepromLast
    std::uint16_t deviceIdMask = 0x3FF0;  // of the device ID word shown by Read CFG
    std::uint32_t readConfigLoad = 0xFF;  // data of Read CFG's load configuration
    bool writeConfigChecks = true;     // Write CFG: its status text and the form's checks first
    const char* writeConfigDone = nullptr;  // status after Write CFG, or none
    // Later forms:
    std::uint16_t blankConfigMask = 0x3FFF;  // Blank: (word 7 AND mask) must equal mask
    bool keepsLastWord = false;        // Write, Blank and Verify leave the last program word alone
    bool writeVppOffFirst = true;      // Write routes VPP off before its power-up
    bool blankSecondEntryChecks = true;  // Blank's second power-up checks the current
    std::uint8_t dataBegin = 0x18;     // W.Data: the begin command of each byte
    int dataEnd = -1;                  // W.Data: the end command after the increment, -1 for none
    const char* writeConfigStatus = "烧CFG 位...";
    bool writeConfigThenWord = false;  // Write CFG: IDs, three increments, then 02h/08h at 2007h
};

// A package of the key-driven forms (pkg=): its label text, design, the
// placement picture shown before the design (or none) and the row's pins and
// contact masks.
struct PicPackage {
    int pkg = 0;
    const char* label = nullptr;
    const char* design = nullptr;
    const char* picture = nullptr;
    int vpp = 0, vcc = 0, gnd = 0;
    std::uint32_t lo = 0, hi = 0;
};
// The DIP packages of those forms. Socket pins 41-48 hold no pin of a 40-pin
// part: its high contact mask is 0xFF, not 0xFFFF (the contact test would
// never pass); the built-in 40-pin rows have 0xFF.
inline constexpr PicPackage kDip40{.pkg = 40, .label = "PKG:  DIP40", .design = "pic16dip40.bit", .vpp = 1, .vcc = 32,
                                   .gnd = 31, .lo = 0xFFFFFFFF, .hi = 0xFF};
inline constexpr PicPackage kDip28{.pkg = 28, .label = "PKG:  DIP28", .design = "pic16dip28.bit", .vpp = 7, .vcc = 26,
                                   .gnd = 25, .lo = 0xFFFFFF80, .hi = 0x03};
inline constexpr PicPackage kDip18{.pkg = 18, .label = "PKG:  DIP18", .design = "pic16dip18.bit", .vpp = 15, .vcc = 25,
                                   .gnd = 16, .lo = 0x1FFFF800, .hi = 0};
inline constexpr PicPackage kDip14{.pkg = 14, .label = "PKG:  DIP14", .design = "pic16dip14.bit", .vpp = 30, .vcc = 27,
                                   .gnd = 14, .lo = 0xDC003F80, .hi = 0x01};
// 44 PLCC, 45 QFP, 40, 28 and 18 DIP (PIC16FEE, PIC1687XA, PIC16F).
extern const PicPackage kPicPackages44to18[5];
const PicPackage* FindPicPackage(const PicPackage* table, std::size_t n, int pkg);

// The names of rows 1 to 8 of the PIC16F87x-style device tables.
using F87xNames = std::array<const char*, 8>;
inline constexpr F87xNames kF87xNames{"1: PIC16F870 2k", "2: PIC16F871 2k", "3: PIC16F872 2k", "4: PIC16F873 4k",
                                      "5: PIC16F874 4k", "6: PIC16F875 ???", "7: PIC16F876 8k", "8: PIC16F877 8k"};
inline constexpr F87xNames kF7xNames{"1: PIC16F70 2k", "2: PIC16F71 2k", "3: PIC16F72 2k", "4: PIC16F73 4k",
                                     "5: PIC16F74 4k", "6: PIC16F75 ???", "7: PIC16F76 8k", "8: PIC16F77 8k"};

// The nine rows of those tables: Exit, the 2k parts (rows 1 to 3), the 4k
// ones (4, 5), an empty row 6 and the 8k ones (7, 8); the 40-pin package on
// rows 2, 5 and 8, the 28-pin one on the others; with `eeprom` 64, 128 and 256
// bytes of data EEPROM by size.
std::vector<PicRow> F87xRows(const F87xNames& names, bool eeprom);

class PicFlashForm : public PicForm {
public:
    static constexpr int EepromImage = 0x4000;
    static constexpr int MaxEeprom = 32768;  // W.Data gathers one reply per 32 bytes in the 64 KiB reply buffer
    // A toolchain's layout of the area above program memory (word address
    // 2000h on, two bytes a word): user IDs 4000h-4007h, configuration word at
    // 400Eh (word 2007h), data EEPROM byte i at 4200h + 2i (word 2100h + i).
    static constexpr int kConfigWordAddress = 7;       // words above 2000h
    static constexpr int kToolchainGapFirst = 0x4010;  // nothing loads here in that layout
    static constexpr int kToolchainEeprom = 0x4200;
    static constexpr int kToolchainEepromMax = 256;    // the largest PIC16 data EEPROM

    PicFlashForm(Workbench& wb, std::string caption, const PicVariant& variant, PicFlashTraits traits);

    int VariantCount() const override { return static_cast<int>(Table.size()); }
    // The device ID read of the checks before each operation (no contact
    // test, no question): LastReadId bytes 0 and 1.
    int ReadIdForSelfCheck() override;

    virtual void ReadToFileClick();
    virtual void BlankClick();
    virtual void WriteClick();
    virtual void VerifyClick();
    virtual void EraseClick() = 0;
    virtual void RdConfigClick();
    virtual void WtConfigClick();
    virtual void RdDataClick();
    virtual void WrDataClick();

    // The last load was a file in the toolchain's layout with data EEPROM
    // bytes for a part of `ee` bytes: nothing stored at 4010h-41FFh, something
    // at 4200h .. 4200h + 2ee - 1. (A file this program saved after R.Data
    // holds the EEPROM at 4000h + i, contiguous over 4010h.)
    bool ToolchainLayout(int ee) const;
    // The configuration word of a file in the toolchain's layout (both bytes
    // loaded at 400Eh-400Fh, nothing at 4010h-41FFh), else none.
    std::optional<std::uint16_t> FileConfigWord() const override;

    std::vector<PicRow> Table;
    int SetupVcc = 5000;  // the VCC level of setup, restored after Verify

protected:
    // The chosen row as setup left it; refuses (nothing sent) before a valid setup.
    const PicRow& Row();
    // The form's checks before an operation (contact test, device ID); false stops.
    virtual bool Check(PicStep op) = 0;
    // Wait opcodes per programmed word.
    virtual int Waits() const = 0;
    // The device ID check of the layer with the row's pins.
    bool DeviceIdCheck(bool skipContact = false);
    // The erase routines of the radio group "Erasing " (items Code, Data,
    // program + data, everything + data); false after an over-current stop.
    bool EraseProgram(const PicRow& r);
    bool EraseData(const PicRow& r);
    bool EraseAll(const PicRow& r);
    bool EraseByItem(const PicRow& r, int item);
    // A one-command erase after a fresh power-up: VCC and VPP routed, serial
    // enable, the current check, `erase`, supplies off; false when the check
    // stopped it.
    bool EraseAfterPowerUp(const PicRow& r, void (PicSerial::*erase)());
    // The F-form chip erase that way: F9h, F2h FFFFh, F8h, 3 x wait 28.
    bool ChipEraseF(const PicRow& r) { return EraseAfterPowerUp(r, &PicSerial::ChipEraseF9); }
    // The Erase button of a form whose erase is that one command: the form's
    // checks, "Erasing....", the erase, then "End.".
    void OneCommandEraseClick(void (PicSerial::*erase)());
    // The last program byte offset an operation covers: the row's, or with
    // keepsLastWord the one before the last word.
    std::int32_t CheckedLast(const PicRow& r) const { return traits_.keepsLastWord ? r.ProgramLast - 2 : r.ProgramLast; }
    // Blank's and Verify's read of program memory (wordsPerReply words a reply,
    // progress at each block, words up to CheckedLast): the address of the
    // first word whose low byte or low six bits of the high byte differ from
    // the image (nullptr: erased 3FFFh), or -1. The chip stays in program mode.
    std::int32_t FirstDifferentWord(const PicRow& r, const std::uint8_t* image);
    // Setup's start: a line the form cannot serve (DeviceLineError) shows one
    // message and sends nothing (false); else the pins reset, the hex window
    // and the form shown, and the chosen row copied.
    bool SetupBegin();
    // Setup's reading of a line that gives the sizes and the package: ee= (with
    // `eeprom`; the data controls there enabled by it, else no data EEPROM),
    // fla=, dly=, the boxes' captions of `captions` by cfg=, and pkg= (0: "Bad
    // Package! ") from `packages`: its label on "Package" (with `label`), its
    // placement picture, design and pins. Then the user ID field at the
    // buffer's checksum, VPP off, the link status and the type field. Gives pkg=.
    int SetupFromLine(bool eeprom, ConfigNameForm captions, std::span<const PicPackage> packages, bool label);
    // The IDs, configuration and data EEPROM above program memory, in both
    // layouts: file data there is not past the chip.
    std::vector<std::pair<std::int64_t, std::int64_t>> SideAreas() const override;
    // The operation buttons, in window order (R.Data and W.Data with `data`),
    // and their handlers.
    static ControlRows OperationButtons(bool data = true);
    template <class Form>
    static Handlers<Form> OperationClicks() {
        using namespace picwin;
        return {{kErase.Name, &Form::EraseClick},     {kWrite.Name, &Form::WriteClick},
                {kVerify.Name, &Form::VerifyClick},   {kRead.Name, &Form::ReadToFileClick},
                {kWrData.Name, &Form::WrDataClick},   {kRdData.Name, &Form::RdDataClick},
                {kWrtCfg.Name, &Form::WtConfigClick}, {kReadCfg.Name, &Form::RdConfigClick},
                {kBlank.Name, &Form::BlankClick}};
    }
    // The batch group: Ers., Blank?, Write., Vrfy, W.Data (with `data`) and
    // Wrt.CFG., all ticked, and its run button Button1.
    static ControlRows FlashBatch(bool data);
    // The batch steps Ers., Blank?, Write., Vrfy, W.Data (with `data`) and Wrt.CFG.
    std::vector<BatchStep> FlashSteps(bool data);
    // The user ID edit with the maker ID edit beside it (read-only with `makerReadOnly`).
    static ControlRows IdFields(bool makerReadOnly);
    // The radio group "Erasing " (Code, Data, both, everything) at everything.
    static ControlRow EraseChoice();
    // The combo Speed at "Fast写".
    static ControlRow WriteSpeed();

    PicFlashTraits traits_;
    PicRow row_;
    bool ready_ = false;
};

}  // namespace quilla
