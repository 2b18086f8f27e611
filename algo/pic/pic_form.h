// The frame of the PIC serial forms: what every form on the PIC serial layer
// (algo/pic/pic_serial.h) shares beside its own window and flows: the
// configuration word and user ID fields, the address and progress display,
// the sixteen captioned configuration boxes and their conversions, and the
// two-byte ".CON" side file.
//
// Configuration controls and the word: a ticked box stands for a programmed
// bit (0). ConfigToControls shows ConfigWord and UserId with the Read CFG
// button (RdConfig) disabled, so the clicks that the box changes raise do not
// rebuild the word from half-set boxes; the boxes' click handler (ConfigClick)
// runs ControlsToConfig only while RdConfig is enabled.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "algo/common/form.h"
#include "algo/common/scan.h"
#include "algo/common/window.h"
#include "algo/pic/config_names.h"
#include "algo/pic/pic_serial.h"

namespace quilla {

// One row of a PIC form's device table; each form uses the columns it needs.
struct PicRow {
    std::string Name{};
    int VppPin = 0, VccPin = 0, GndPin = 0;  // socket pins
    std::int32_t ProgramLast = 0;            // program bytes - 1 (2 x words - 1)
    std::int32_t EepromLast = 0;             // data EEPROM bytes - 1
    int WriteDelay = 0;                      // dly=
    std::uint32_t ContactLo = 0, ContactHi = 0;
    char Revision = 0;                       // 'A' rows of the PIC16C8x form

    bool Filled() const { return VccPin != 0; }
    PicPins Pins() const { return {VppPin, VccPin, GndPin, ContactLo, ContactHi}; }
    // The pins and contact masks of a package (its vpp, vcc, gnd, lo and hi).
    template <class Package>
    void SeatIn(const Package& p) {
        VppPin = p.vpp, VccPin = p.vcc, GndPin = p.gnd;
        ContactLo = p.lo, ContactHi = p.hi;
    }
};

// The two-byte ".CON" file: bits 15-8 of the word, then bits 7-0, in text
// mode. Empty: FFFFh; one byte b: b << 8 | FFh. A file holding more than two
// bytes (after the text-mode translation) is another form's ".CON" and is not
// read (nullopt), nor is a missing one (or an empty path).
std::optional<std::uint16_t> ReadConfigWordFile(const std::string& path);
bool WriteConfigWordFile(const std::string& path, std::uint16_t word);

// The eight-character ".CON" of the forms with three boxes and an oscillator
// group: its boxes, oscillator item and user ID text. Only a file of that
// format is taken: 5 to 8 characters (after the text-mode translation), the
// first three '0' or '1', the fourth a digit below `items`.
struct ConFile8 {
    bool box[3]{};
    int item = 0;
};
std::optional<ConFile8> ReadConFile8(const std::string& path, int items);
bool WriteConFile8(const std::string& path, const ConFile8& c, const std::string& userIdText);

// "%04x" reading: blanks skipped, at most `digits` hexadecimal digits; nullopt
// when the text does not start with one.
std::optional<std::uint32_t> ScanHexDigits(const std::string& text, int digits = 4);

// The index of the first of `words` 14-bit words in a reply that sends each
// as its low seven bits, then its high seven, that differs from the image's
// little-endian words at `image` (masked to 3FFFh; nullptr: erased 3FFFh),
// or -1.
int FirstDifferentWord7(const std::uint8_t* reply, const std::uint8_t* image, int words);

// Where a toolchain's HEX file puts a PIC's configuration word, as an image
// byte address (the file is byte-addressed, each word low byte first).
inline constexpr std::int64_t kFileConfig12 = 0x1FFE;   // word 0FFFh of the 12-bit parts
inline constexpr std::int64_t kFileConfig14 = 0x400E;   // word 2007h of the 14-bit parts
inline constexpr std::int64_t kFileConfig17 = 0x1FC00;  // word FE00h (FE00h-FE0Fh) of the PIC17C4x

class PicForm : public AlgoForm {
public:
    static constexpr const char* kStatus = "Msg";
    static constexpr const char* kAddress = "Edit6";
    static constexpr const char* kProgress = "RdBar";
    static constexpr const char* kType = "Edit7";
    static constexpr const char* kUserId = "Edit1";
    static constexpr const char* kReadConfig = "RdConfig";
    static constexpr const char* kConfigLabel = "Label3";

    PicForm(Workbench& wb, std::string caption, const PicVariant& variant);

    std::uint32_t ConfigWord = 0;  // low 16 bits used
    std::uint32_t UserId = 0;      // low 16 bits used
    PicSerial Pic;

    // RdBar from 0 to `last` at a; a in the address edit.
    void ShowProgress(std::int32_t a, std::int32_t last);
    // Setup's link status ("OK " or "Comm Err.") and a new image whose buffer
    // window ends at `last`, shown with the form.
    void ShowNewImage(std::int32_t last);

    // The reads of 14-bit words that come back as 7-bit halves, from address 0
    // while below `last`, a block of 32 words a reply (`queueBlock` queues
    // their reads), progress at each block and at `last` at the end.
    // Blank's and Verify's check: ErrorFlag 0 first; at a block with a word
    // unlike the image (nullptr: erased, FirstDifferentWord7) ErrorFlag 1,
    // `fail` shown and false; the caller switches the supplies off.
    bool SameWords7(std::int32_t last, const std::uint8_t* image, const char* fail,
                    const std::function<void()>& queueBlock);
    // Read's: the replies into the image, each word's halves then joined.
    void ReadWords7(std::int32_t last, const std::function<void()>& queueBlock);
    // Clears the bits above the word width in the high byte of every image word
    // up to `last` (mask 3Fh for 14-bit words, 0Fh for 12-bit ones).
    void MaskWordHighBytes(std::int32_t last, std::uint8_t mask);

    // ---- configuration controls ----------------------------------------------------
    virtual void ConfigToControls();
    virtual void ControlsToConfig();
    // The click of the configuration controls: ControlsToConfig while RdConfig
    // is enabled, nothing otherwise.
    void ConfigClick();

    // The side file of the current image under `ext` (empty when the image has
    // no file of its own).
    std::string SideFile(const std::string& ext) const;

    // The contact test on a row's VPP, VCC and ground pins (socket pins; 0 for
    // none), whatever the options say: the check of the forms that run no
    // contact test of their own, so that an empty socket never passes.
    bool SupplyPinsTouch(int vpp, int vcc, int gnd);

    // ---- the configuration word of a toolchain's file ------------------------------
    // The word the last load stored at the form's file place (both bytes
    // loaded there), else none; none on a form without a known place.
    virtual std::optional<std::uint16_t> FileConfigWord() const;
    // Before the configuration word is programmed: when the file's word and
    // `programmed` (the controls' word) differ in the bits the controls
    // decide, says so once per click or batch; the controls' word is what is
    // programmed.
    void SayFileConfigWord(std::uint32_t programmed);
    // The file's configuration word is not past the chip.
    std::vector<std::pair<std::int64_t, std::int64_t>> SideAreas() const override;

protected:
    // The batch steps Blank?, Write., Vrfy and Wrt.CFG. on `f`'s click handlers.
    template <class Form>
    static std::vector<BatchStep> OneTimeSteps(Form& f);
    void ApplyCaptions(const ConfigCaptions& captions);
    // A change made by the form's own code raises the control's click like a
    // user's click (disabled controls included).
    void SetByCode(const std::string& name, bool on);
    void ChooseByCode(const std::string& name, int index);
    // UserId from Edit1 ("%04x"); unchanged when Edit1 does not start with a digit.
    void UserIdFromField();
    // ConfigWord from the two-byte ".CON" file, then ConfigToControls (nothing
    // when the file is missing or not this form's).
    void ReadConFile();
    void WriteConFile();
    // The eight-character ".CON" into the three boxes named and RadioGroup1
    // (below `items`), each set by code (SetByCode, ChooseByCode); nothing
    // when the file is missing or not of that format.
    void ReadConBoxes(const std::array<std::string, 3>& boxes, int items);
    // The three boxes, RadioGroup1's item and Edit1 into the eight-character ".CON".
    void WriteConBoxes(const std::array<std::string, 3>& boxes);
    // Where a toolchain's file holds this form's configuration word (`at`: the
    // image address of its low byte, -1 where none is known), the bits of the
    // word as programmed, the bits the controls decide (only these are
    // compared), and the controls' name in the message.
    struct FileConfigPlace {
        std::int64_t at = -1;
        std::uint16_t bits = 0xFFFF;
        std::uint16_t decided = 0xFFFF;
        const char* controls = "boxes'";
    };
    FileConfigPlace fileConfig_;
    // Setup's line check: a line the form cannot serve (DeviceLineError) shows
    // its message in the status field and a message box and sends nothing
    // (false); otherwise the pins are reset (true).
    bool AcceptDeviceLine();
    // The start of an operation on a form whose setup did not finish (`ready`
    // false): refused with the device line's error, or "Comm Err." when the
    // line is good (the programmer was not there).
    void RefuseUnlessReady(bool ready);

private:
};

// What the PIC windows share, as data on the common row builders
// (algo/common/window.h): the faces of the buttons and batch boxes, the foot,
// the batch group, the configuration boxes, and the button runs of several
// windows with their handler tables (bound by name: BindHandlers).
namespace picwin {

using win::Face;

// The operation buttons the windows share.
inline constexpr Face kRead{"ReadToFile", "Read  "}, kBlank{"Blank", "Blank?  "}, kVerify{"Verify", "Vrfy"},
    kWrite{"Write", "Write."}, kErase{"Erase", "Erase "}, kWrtCfg{"WtConfig", "Wrt.CFG."}, kWrCfg{"WtConfig", "Wr.CFG"},
    kReadCfg{PicForm::kReadConfig, "Read CFG"}, kRdCfg{PicForm::kReadConfig, "Rd.CFG"}, kWrData{"WrData", "W.Data"},
    kRdData{"RdData", "R.Data"}, kLock{"Security", "Lock"}, kExit{"CancelBtn", "Exit "};
// The batch group's boxes and its run buttons.
inline constexpr Face kEraseBox{"CheckBoxErase", "Ers."}, kBlankBox{"CheckBoxBlank", "Blank?  "},
    kWriteBox{"CheckBoxWrite", "Write."}, kVerifyBox{"CheckBoxVer", "Vrfy"}, kDataBox{"CheckBoxrWrData", "W.Data"},
    kWrtCfgBox{"CheckBoxConfig", "Wrt.CFG."}, kWrCfgBox{"CheckBoxConfig", "Wr.CFG"}, kLockBox{"CheckBoxSec", "Lock"},
    kRun1{"Button1", " Run "}, kRun2{"Button2", " Run "};

// The oscillator items LP, XT, HS and RC of the one-time forms' radio groups.
std::vector<std::string> OscItems();
// The combo VeriyVolt: Vrfy电压 `highest`, 3.3V, 2.5V, at item `index`.
ControlRow VerifyVoltage(const char* highest, int index);
// The foot: the address field (Edit6, red when `red`), the type field
// (Edit7), the status field (Msg), all read-only, and the progress bar (RdBar).
ControlRow AddressField(const char* text, bool red);
ControlRow TypeField(const char* text);
ControlRow StatusField(const char* text);
ControlRow ProgressBar();
// The user ID edit (Edit1) "User ID : " at "ffff".
ControlRow UserIdField();
// The foot in the order most windows show it: the address field ("Add "),
// the type field ("Type"), the status field ("Prompt  ") and the progress bar.
ControlRows Foot(bool redAddress);

// The batch group GroupBox2 "Batch   ": its boxes, then the run button.
struct BatchBox {
    Face face;
    bool ticked = true;
};
ControlRows Batch(const std::vector<BatchBox>& boxes, Face run);

// GroupBox1 with CheckBox1..CheckBox16 (15 and 16 disabled) and Label3
// "Config = ffff"; ConfigBoxClicks binds the group and every box to ConfigClick.
ControlRows ConfigBoxes(const char* groupCaption);
inline constexpr std::array<const char*, 16> kConfigBoxNames{
    "CheckBox1",  "CheckBox2",  "CheckBox3",  "CheckBox4",  "CheckBox5",  "CheckBox6",  "CheckBox7",  "CheckBox8",
    "CheckBox9",  "CheckBox10", "CheckBox11", "CheckBox12", "CheckBox13", "CheckBox14", "CheckBox15", "CheckBox16"};
template <class Form>
Handlers<Form> ConfigBoxClicks() {
    Handlers<Form> h{{"GroupBox1", &Form::ConfigClick}};
    for (const char* box : kConfigBoxNames) h.push_back({box, &Form::ConfigClick});
    return h;
}

// The buttons Blank?, Write., Vrfy, Read, Wrt.CFG., Read CFG and Exit, in the
// one-time forms' order, and their handlers.
ControlRows OneTimeButtons();
template <class Form>
Handlers<Form> OneTimeClicks() {
    return {{kBlank.Name, &Form::BlankClick},    {kWrite.Name, &Form::WriteClick},
            {kVerify.Name, &Form::VerifyClick},  {kRead.Name, &Form::ReadToFileClick},
            {kWrtCfg.Name, &Form::WtConfigClick}, {kReadCfg.Name, &Form::RdConfigClick},
            {kExit.Name, &Form::Close}};
}

// The buttons Read, Blank?, Vrfy and Write., in that order, and their handlers.
ControlRows ReadFirstButtons();
template <class Form>
Handlers<Form> ReadFirstClicks() {
    return {{kRead.Name, &Form::ReadToFileClick},
            {kBlank.Name, &Form::BlankClick},
            {kVerify.Name, &Form::VerifyClick},
            {kWrite.Name, &Form::WriteClick}};
}

// The one-time batch boxes Blank?, Write., Vrfy and Wrt.CFG. and their steps.
template <class Form>
Handlers<Form> OneTimeBoxes() {
    return {{kBlankBox.Name, &Form::BlankClick},
            {kWriteBox.Name, &Form::WriteClick},
            {kVerifyBox.Name, &Form::VerifyClick},
            {kWrtCfgBox.Name, &Form::WtConfigClick}};
}

}  // namespace picwin

template <class Form>
std::vector<AlgoForm::BatchStep> PicForm::OneTimeSteps(Form& f) {
    return BatchSteps(&f, picwin::OneTimeBoxes<Form>());
}

}  // namespace quilla
