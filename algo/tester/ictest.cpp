#include "algo/tester/ictest.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "algo/common/window.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kGround = 20;
constexpr int kFlushAbove = 61440;
constexpr std::uint8_t kIcReg = 21;
const std::vector<std::string> kVoltageItems{"测试电压=5.0V", "测试电压=4.2V", "测试电压=3.3V", "测试电压=2.5V"};
constexpr int kVoltageMv[] = {5000, 4400, 3300, 2500};

// Takes bit 3 out of a 16-bit pattern word: bits 0-2 stay, 4-15 move down one.
void DropBit3(std::uint8_t& hi, std::uint8_t& lo) {
    const unsigned w = static_cast<unsigned>(hi) << 8 | lo;
    const unsigned r = (w & 0x7u) | ((w >> 1) & 0x7FF8u);
    hi = static_cast<std::uint8_t>(r >> 8);
    lo = static_cast<std::uint8_t>(r);
}

// Every record inside the data, an 'E' after the last, no repeat vector before
// a record's third vector, at most MaxTypes records.
bool LibraryWellFormed(const std::vector<std::uint8_t>& d) {
    std::size_t off = 0;
    int types = 0;
    while (off < d.size()) {
        if (d[off] == 'E') return true;
        if (++types > ictest::MaxTypes) return false;
        if (off + ictest::HeaderBytes > d.size()) return false;
        const std::size_t count = d[off + 5];
        const std::size_t end = off + ictest::HeaderBytes + ictest::VectorBytes * count;
        if (end > d.size()) return false;
        for (std::size_t k = 0; k < count; ++k)
            if ((d[off + ictest::HeaderBytes + ictest::VectorBytes * k] & ictest::FlagRepeat) && k < 2) return false;
        off = end;
    }
    return false;
}

ControlRows Window() {
    using namespace win;
    return {Radio({"RadioGroup1", "Type:   "}, {"74xxx    ", "40xxx    ", "45xxx    "}, 0),
            ListBox({"ListBox1", ""}),
            ListBox({"ListBox2", "搜索结果:"}),
            ReadOnly(Edit({"Number"}, "74xx00")),
            Combo({"ComboBox1", ""}, kVoltageItems, 0),
            Status("Message", "Prompt  "),
            PushButton({"Test1", "Test "}),
            PushButton({"Button1", "Detect type "}),
            PushButton({"CancelBtn", "Exit"})};
}

}  // namespace

TICTestx::TICTestx(Workbench& w) : AlgoForm(w, "Test  IC (74,40,45)") {
    using F = TICTestx;
    DeclareControls(Window(), this,
                    {{"RadioGroup1", &F::Gr1OnClick},
                     {"ListBox1", &F::LBox1OnClick},
                     {"Test1", &F::Test1Click},
                     {"Button1", &F::Button1Click},
                     {"CancelBtn", &F::Close}});
    Gr1OnClick();
}

int TICTestx::Series() const {
    const int i = ItemIndex("RadioGroup1");
    return i >= 0 && i <= 2 ? i : 0;
}

std::string TICTestx::TypeText(std::int32_t type) const {
    static const char* const formats[3] = {"74xx%02d", "40%02d", "45%02d"};
    char buf[32];
    std::snprintf(buf, sizeof buf, formats[seriesOfList_], static_cast<int>(type));
    return buf;
}

std::string TICTestx::DeviceLineError() const {
    const int v = wb.sel.VariantIndex;
    if (v < 0 || v > 2) return VariantNotInTable();
    return {};
}

void TICTestx::SetupForDevice() {
    if (!AcceptDeviceLine()) return;
    Ep3.ResetPins();
    if (!Ep3.Connected) {
        Status("Comm Err.");
        return;
    }
    Status("OK ");
    Ep3.LoadBitFile("ictest.bit");
    Ep3.SetVpp(0);
    Ep3.SetVcc(5000);
    Ep3.InitBitReverse();
    Get("RadioGroup1").ItemIndex = wb.sel.VariantIndex;
    Repaint(Get("RadioGroup1"));
    Gr1OnClick();
    AlgoForm::Show();
}

void TICTestx::Gr1OnClick() { LoadIcLibrary(LibraryFiles[Series()]); }

bool TICTestx::LoadIcLibrary(const std::string& name) {
    std::ifstream in(wb.ProgramDir + name, std::ios::binary);
    std::vector<std::uint8_t> data;
    if (in) {
        data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (data.size() > static_cast<std::size_t>(ictest::MaxLibraryBytes) || !LibraryWellFormed(data)) data.clear();
    }
    if (data.empty()) {
        Status("No lib..");
        return false;
    }
    IcLibraryBuffer = std::move(data);
    seriesOfList_ = Series();
    Entries.assign(1, IcLibraryEntry{});
    EntryCount = 0;
    std::vector<std::string> items;
    std::size_t off = 0;
    while (IcLibraryBuffer[off] != 'E') {
        IcLibraryEntry e;
        e.Type = std::atoi(std::string(reinterpret_cast<const char*>(&IcLibraryBuffer[off]),
                                       strnlen(reinterpret_cast<const char*>(&IcLibraryBuffer[off]), 5))
                               .c_str());
        e.Offset = static_cast<std::int32_t>(off);
        e.Count = IcLibraryBuffer[off + 5];
        if (off + 9 < IcLibraryBuffer.size())
            e.VccPin = static_cast<std::uint8_t>(ictest::VccPinOfPackage(IcLibraryBuffer[off + 8], IcLibraryBuffer[off + 9]));
        Entries[static_cast<std::size_t>(EntryCount)] = e;
        Entries.emplace_back();
        ++EntryCount;
        items.push_back(TypeText(e.Type));
        off += ictest::HeaderBytes + ictest::VectorBytes * static_cast<std::size_t>(e.Count);
    }
    // A type without vectors borrows the record and VCC pin of the one after it
    // (its count stays 0, so it never passes); the last one borrows the end.
    Entries[static_cast<std::size_t>(EntryCount)].Offset = static_cast<std::int32_t>(off);
    for (int i = EntryCount - 1; i >= 0; --i) {
        IcLibraryEntry& e = Entries[static_cast<std::size_t>(i)];
        if (e.Count != 0) continue;
        e.Offset = Entries[static_cast<std::size_t>(i) + 1].Offset;
        e.VccPin = Entries[static_cast<std::size_t>(i) + 1].VccPin;
    }
    // The library's pattern words have one position more than the latches
    // (socket pin 20, the ground): it goes.
    for (int i = 0; i < EntryCount; ++i) {
        const IcLibraryEntry& e = Entries[static_cast<std::size_t>(i)];
        for (int k = 0; k < e.Count; ++k) {
            std::uint8_t* v = &IcLibraryBuffer[static_cast<std::size_t>(e.Offset + ictest::HeaderBytes + ictest::VectorBytes * k)];
            if (v[0] & ictest::FlagRepeat) continue;
            DropBit3(v[3], v[4]);
            DropBit3(v[6], v[7]);
        }
    }
    FormControl& list = Get("ListBox1");
    list.Items = std::move(items);
    list.ItemIndex = -1;
    Repaint(list);
    if (SelectedType >= EntryCount) SelectedType = 0;
    return true;
}

void TICTestx::LBox1OnClick() {
    const int i = ItemIndex("ListBox1");
    if (i < 0 || i >= EntryCount) return;
    SelectedType = i;
    Put("Number", TypeText(Entries[static_cast<std::size_t>(i)].Type));
}

int TICTestx::RunVector(std::int32_t offset, int k) {
    std::uint8_t* v = &IcLibraryBuffer[static_cast<std::size_t>(offset + ictest::HeaderBytes + ictest::VectorBytes * k)];
    if (++VectorCounter % 16 == 0) Status(std::to_string(VectorCounter));
    Ep3.WriteLatch(2, v[4]);
    Ep3.WriteLatch(1, v[5]);
    Ep3.WriteLatch(3, v[3]);
    Ep3.WriteReg(kIcReg, 255);
    if (Ep3.UsbCmdCount > kFlushAbove) Ep3.UsbFlush();
    if (v[0] & (ictest::FlagRepeat | ictest::FlagDriveOnly)) return 1;
    v[6] = static_cast<std::uint8_t>(v[6] | 0xC0);
    Ep3.UsbPut1(OpCapturePort4);
    Ep3.UsbPut1(OpCaptureData);
    Ep3.UsbPut1(OpCapturePort1);
    Ep3.UsbReadReply();
    const auto& r = Ep3.UsbReplyBuf;
    return v[6] == (r[0] | 0xC0) && v[7] == r[1] && v[8] == r[2] ? 1 : 0;
}

int TICTestx::RunIcType(int i) {
    if (i < 0 || i >= EntryCount) return 0;
    const IcLibraryEntry& e = Entries[static_cast<std::size_t>(i)];
    if (e.Count == 0) return 0;
    VectorCounter = 0;
    for (int k = 0; k < e.Count; ++k) {
        const std::uint8_t* v = &IcLibraryBuffer[static_cast<std::size_t>(e.Offset + ictest::HeaderBytes + ictest::VectorBytes * k)];
        if (v[0] & ictest::FlagRepeat) {
            const int n = v[4] * 256 + v[5];
            for (int r = 0; r < n; ++r) {
                RunVector(e.Offset, k - 2);
                RunVector(e.Offset, k - 1);
            }
        } else if (!RunVector(e.Offset, k)) {
            return 0;
        }
    }
    Status(std::to_string(e.Count));
    return 1;
}

void TICTestx::SetVccFromCombo() {
    const std::string& text = Get("ComboBox1").Text;
    for (std::size_t i = 0; i < kVoltageItems.size(); ++i)
        if (text == kVoltageItems[i]) Ep3.SetVcc(kVoltageMv[i]);
}

void TICTestx::Test1Click() {
    if (EntryCount == 0 || SelectedType < 0 || SelectedType >= EntryCount) Refuse("No lib..");
    const IcLibraryEntry& e = Entries[static_cast<std::size_t>(SelectedType)];
    SetVccFromCombo();
    Ep3.SetAllPins(1);
    Ep3.GndPin(kGround);
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    Ep3.VccPin(e.VccPin);
    for (int k = 1; k <= 3; ++k) Ep3.WriteLatch(k, 0);
    Ep3.VccPin(e.VccPin);
    Ep3.UsbPut1(OpWaitSettle);
    if (RunIcType(SelectedType)) {
        Success("OK!");
        wb.prompts.Beep();
    } else {
        Status("Error");
        StepFailed();
    }
    Ep3.VccPin(0);
    Ep3.SetAllPins(1);
}

void TICTestx::Button1Click() {
    if (EntryCount == 0) Refuse("No lib..");
    SetVccFromCombo();
    Ep3.SetAllPins(1);
    Ep3.GndPin(kGround);
    Ep3.VccPin(27);
    for (int k = 1; k <= 3; ++k) Ep3.WriteLatch(k, 0);
    int powered = 27;
    FormControl& found = Get("ListBox2");
    found.Items.clear();
    Repaint(found);
    if (SelectedType >= EntryCount) SelectedType = 0;
    DetectCount = 0;
    // Every entry that holds vectors is tried, the first and the last two included.
    for (int i = 0; i < EntryCount; ++i) {
        const IcLibraryEntry& e = Entries[static_cast<std::size_t>(i)];
        if (e.Count == 0) continue;
        if (e.VccPin != powered) {
            Ep3.VccPin(0);
            Ep3.VccPin(e.VccPin);
            powered = e.VccPin;
        }
        if (!RunIcType(i)) continue;
        found.Items.push_back(TypeText(e.Type));
        Repaint(found);
        if (DetectCount == 0) Put("Number", TypeText(e.Type));
        SelectedType = i;
        Get("ListBox1").ItemIndex = i;
        Repaint(Get("ListBox1"));
        ++DetectCount;
    }
    if (DetectCount == 0) {
        Status("Empty!!");
        found.Items.clear();
        Repaint(found);
        Put("Number", " ");
    } else if (DetectCount == 1) {
        Success("One type found...");
        wb.prompts.Beep();
    } else {
        char buf[48];
        std::snprintf(buf, sizeof buf, "Found %d same logic chip..", DetectCount);
        Success(buf);
        wb.prompts.Beep();
    }
    Ep3.VccPin(0);
    Ep3.SetAllPins(1);
}

void TICTestx::OnClose() { Ep3.PowerOff(); }

QUILLA_FORM(TICTestx);

}  // namespace quilla
