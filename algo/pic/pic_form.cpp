#include "algo/pic/pic_form.h"

#include <cctype>
#include <cstdio>

#include "algo/common/sidefile.h"

namespace quilla {

std::optional<std::uint16_t> ReadConfigWordFile(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    if (path.empty() || !ReadTextModeFile(path, bytes) || bytes.size() > 2) return std::nullopt;
    const unsigned hi = bytes.size() > 0 ? bytes[0] : 0xFFu;
    const unsigned lo = bytes.size() > 1 ? bytes[1] : 0xFFu;
    return static_cast<std::uint16_t>((hi << 8) | lo);
}

bool WriteConfigWordFile(const std::string& path, std::uint16_t word) {
    if (path.empty()) return false;
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word & 0xFF)};
    return WriteTextModeFile(path, bytes);
}

std::optional<std::uint32_t> ScanHexDigits(const std::string& text, int digits) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    std::uint32_t v = 0;
    int n = 0;
    for (; i < text.size() && n < digits && std::isxdigit(static_cast<unsigned char>(text[i])); ++i, ++n) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
        v = v * 16 + static_cast<std::uint32_t>(c <= '9' ? c - '0' : c - 'a' + 10);
    }
    if (n == 0) return std::nullopt;
    return v;
}

PicForm::PicForm(Workbench& w, std::string caption, const PicVariant& variant)
    : AlgoForm(w, std::move(caption)), Pic(w.Ep3, variant) {}

// ---- the rows the windows share ---------------------------------------------------------------------

namespace picwin {

using namespace win;

std::vector<std::string> OscItems() { return {"LP          ", "XT          ", "HS          ", "RC          "}; }

ControlRow VerifyVoltage(const char* highest, int index) {
    return Combo({"VeriyVolt"}, {std::string("Vrfy电压") + highest, "Vrfy电压3.3V", "Vrfy电压2.5V"}, index);
}

ControlRow AddressField(const char* text, bool red) {
    ControlRow c = ReadOnly(Edit({PicForm::kAddress}, text));
    return red ? Red(c) : c;
}

ControlRow TypeField(const char* text) { return ReadOnly(Edit({PicForm::kType}, text)); }

ControlRow StatusField(const char* text) { return Status(PicForm::kStatus, text); }

ControlRow ProgressBar() { return Progress(PicForm::kProgress); }

ControlRow UserIdField() { return Edit({PicForm::kUserId, "User ID : "}, "ffff"); }

ControlRows Foot(bool redAddress) {
    return {AddressField("Add ", redAddress), TypeField("Type"), StatusField("Prompt  "), ProgressBar()};
}

ControlRows Batch(const std::vector<BatchBox>& boxes, Face run) {
    ControlRows w{Group({"GroupBox2", "Batch   "})};
    for (const BatchBox& b : boxes) w.push_back(Box(b.face, b.ticked, "GroupBox2"));
    w.push_back(PushButton(run, "GroupBox2"));
    return w;
}

ControlRows ConfigBoxes(const char* groupCaption) {
    ControlRows w{Group({"GroupBox1", groupCaption})};
    for (int k = 0; k < 16; ++k) {
        const ControlRow box = Box({kConfigBoxNames[static_cast<std::size_t>(k)]}, false, "GroupBox1");
        w.push_back(k < 14 ? box : Disabled(box));
    }
    w.push_back(Label({PicForm::kConfigLabel, "Config = ffff"}, "GroupBox1"));
    return w;
}

ControlRows OneTimeButtons() {
    return {PushButton(kBlank), PushButton(kWrite), PushButton(kVerify), PushButton(kRead),
            PushButton(kWrtCfg), PushButton(kReadCfg), PushButton(kExit)};
}

ControlRows ReadFirstButtons() {
    return {PushButton(kRead), PushButton(kBlank), PushButton(kVerify), PushButton(kWrite)};
}

}  // namespace picwin

void PicForm::ShowProgress(std::int32_t a, std::int32_t last) {
    SetProgress(kProgress, 0, last < 0 ? 0 : last, a);
    ShowAddress(kAddress, a);
}

bool PicForm::SameWords7(std::int32_t last, const std::uint8_t* image, const char* fail,
                         const std::function<void()>& queueBlock) {
    wb.ErrorFlag() = 0;
    for (std::int32_t a = 0; a < last; a += 64) {
        ShowProgress(a, last);
        queueBlock();
        Ep3.UsbReadReply();
        if (FirstDifferentWord7(Ep3.UsbReplyBuf.data(), image ? image + a : nullptr, 32) >= 0) {
            wb.ErrorFlag() = 1;
            Status(fail);
            return false;
        }
    }
    ShowProgress(last, last);
    return true;
}

void PicForm::ReadWords7(std::int32_t last, const std::function<void()>& queueBlock) {
    std::uint8_t* img = wb.ImageBuffer.data();
    for (std::int32_t a = 0; a < last; a += 64) {
        ShowProgress(a, last);
        queueBlock();
        Ep3.UsbReadReply(img + a);
    }
    for (std::int32_t p = 0; p < last; p += 2) {
        if (img[p + 1] & 1) img[p] |= 0x80;
        img[p + 1] = static_cast<std::uint8_t>(img[p + 1] >> 1);
    }
    ShowProgress(last, last);
}

void PicForm::MaskWordHighBytes(std::int32_t last, std::uint8_t mask) {
    for (std::int32_t a = 1; a <= last; a += 2) wb.ImageBuffer[static_cast<std::size_t>(a)] &= mask;
}

void PicForm::ShowNewImage(std::int32_t last) {
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    wb.FileNew();
    AlgoForm::Show();
    if (wb.FileWin) wb.FileWin->EndAddr = last;
    wb.Display();
}

std::string PicForm::SideFile(const std::string& ext) const { return SideFilePath(wb, ext); }

std::optional<std::uint16_t> PicForm::FileConfigWord() const {
    const std::int64_t at = fileConfig_.at;
    if (at < 0 || !LoadStored(at, at) || !LoadStored(at + 1, at + 1)) return std::nullopt;
    const auto* img = wb.ImageBuffer.data();
    return static_cast<std::uint16_t>(img[at] | img[at + 1] << 8);
}

void PicForm::SayFileConfigWord(std::uint32_t programmed) {
    const auto file = FileConfigWord();
    if (!file || ((*file ^ programmed) & fileConfig_.decided) == 0) return;
    const std::string controls = fileConfig_.controls;
    SayOncePerRun("The file's configuration word " + Hex4(*file & fileConfig_.bits) + " differs from the " + controls +
                  " " + Hex4(programmed & fileConfig_.bits) + ": the " + controls + " word is programmed");
}

std::vector<std::pair<std::int64_t, std::int64_t>> PicForm::SideAreas() const {
    if (fileConfig_.at < 0) return {};
    return {{fileConfig_.at, fileConfig_.at + 1}};
}

bool PicForm::SupplyPinsTouch(int vpp, int vcc, int gnd) {
    std::uint32_t lo = 0, hi = 0;
    for (int pin : {vpp, vcc, gnd}) {
        if (pin >= 1 && pin <= 32) lo |= 1u << (pin - 1);
        else if (pin >= 33 && pin <= 48) hi |= 1u << (pin - 33);
    }
    return Ep3.TestPinContact(gnd, lo, hi) != 0;
}

// ---- configuration controls ------------------------------------------------------------------

void PicForm::ApplyCaptions(const ConfigCaptions& captions) {
    for (int k = 0; k < 16; ++k) {
        FormControl& c = Get("CheckBox" + std::to_string(k + 1));
        c.Caption = captions[static_cast<std::size_t>(k)];
        Repaint(c);
    }
}

void PicForm::SetByCode(const std::string& name, bool on) {
    FormControl& c = Get(name);
    if (c.Checked == on) return;
    c.Checked = on;
    Repaint(c);
    if (c.OnClick) Guarded(c.OnClick);
}

void PicForm::ChooseByCode(const std::string& name, int index) {
    FormControl& c = Get(name);
    if (c.ItemIndex == index) return;
    c.ItemIndex = index;
    Repaint(c);
    if (c.OnClick) Guarded(c.OnClick);
}

void PicForm::UserIdFromField() {
    if (const auto v = ScanHexDigits(Text(kUserId))) UserId = *v;
}

void PicForm::ConfigToControls() {
    SetEnabled(kReadConfig, false);
    for (int k = 0; k < 16; ++k) SetByCode("CheckBox" + std::to_string(k + 1), !((ConfigWord >> k) & 1u));
    FormControl& l = Get(kConfigLabel);
    l.Caption = "Config = " + Hex4(ConfigWord) + " ";
    Repaint(l);
    Put(kUserId, Hex4(UserId));
    SetEnabled(kReadConfig, true);
}

void PicForm::ControlsToConfig() {
    ConfigWord = 0;
    for (int k = 0; k < 16; ++k)
        if (!Checked("CheckBox" + std::to_string(k + 1))) ConfigWord |= 1u << k;
    const std::string text = "Config = " + Hex4(ConfigWord) + " ";
    FormControl& l = Get(kConfigLabel);
    l.Caption = text;
    Repaint(l);
    Status(text);
    UserIdFromField();
}

void PicForm::ConfigClick() {
    if (Get(kReadConfig).Enabled) ControlsToConfig();
}

// ---- the two-byte side file ---------------------------------------------------------------------

void PicForm::ReadConFile() {
    if (const auto w = ReadConfigWordFile(SideFile(".CON"))) {
        ConfigWord = *w;
        ConfigToControls();
    }
}

std::optional<ConFile8> ReadConFile8(const std::string& path, int items) {
    std::vector<std::uint8_t> b;
    if (path.empty() || !ReadTextModeFile(path, b)) return std::nullopt;
    if (b.size() < 5 || b.size() > 8) return std::nullopt;
    ConFile8 c;
    for (int k = 0; k < 3; ++k) {
        if (b[static_cast<std::size_t>(k)] != '0' && b[static_cast<std::size_t>(k)] != '1') return std::nullopt;
        c.box[k] = b[static_cast<std::size_t>(k)] == '1';
    }
    const int item = b[3] - '0';
    if (item < 0 || item >= items) return std::nullopt;
    c.item = item;
    return c;
}

bool WriteConFile8(const std::string& path, const ConFile8& c, const std::string& userIdText) {
    if (path.empty()) return false;
    std::vector<std::uint8_t> b;
    for (bool on : c.box) b.push_back(on ? '1' : '0');
    b.push_back(static_cast<std::uint8_t>('0' + c.item));
    for (std::size_t k = 0; k < 4; ++k) b.push_back(k < userIdText.size() ? SideFileTextByte(userIdText[k]) : ' ');
    return WriteTextModeFile(path, b);
}

void PicForm::ReadConBoxes(const std::array<std::string, 3>& boxes, int items) {
    if (const auto c = ReadConFile8(SideFile(".CON"), items)) {
        for (int k = 0; k < 3; ++k) SetByCode(boxes[static_cast<std::size_t>(k)], c->box[k]);
        ChooseByCode("RadioGroup1", c->item);
    }
}

void PicForm::WriteConBoxes(const std::array<std::string, 3>& boxes) {
    ConFile8 c;
    for (int k = 0; k < 3; ++k) c.box[k] = Checked(boxes[static_cast<std::size_t>(k)]);
    c.item = ItemIndex("RadioGroup1");
    WriteConFile8(SideFile(".CON"), c, Text(kUserId));
}

void PicForm::WriteConFile() { WriteConfigWordFile(SideFile(".CON"), static_cast<std::uint16_t>(ConfigWord)); }

bool PicForm::AcceptDeviceLine() {
    if (const std::string err = DeviceLineError(); !err.empty()) {
        Status(err);
        wb.prompts.ShowMsg(err);
        return false;
    }
    Ep3.ResetPins();
    return true;
}

int FirstDifferentWord7(const std::uint8_t* reply, const std::uint8_t* image, int words) {
    for (int i = 0; i < words; ++i) {
        const unsigned want = image ? (image[2 * i] | (image[2 * i + 1] << 8)) & 0x3FFFu : 0x3FFFu;
        if (static_cast<unsigned>(reply[2 * i] | (reply[2 * i + 1] << 7)) != want) return i;
    }
    return -1;
}

void PicForm::RefuseUnlessReady(bool ready) {
    if (ready) return;
    const std::string err = DeviceLineError();
    Refuse(err.empty() ? std::string("Comm Err.") : err);
}

}  // namespace quilla
