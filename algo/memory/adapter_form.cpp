#include "algo/memory/adapter_form.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

#include "algo/common/rows.h"
#include "algo/common/scan.h"

namespace quilla {

using namespace proto;

std::int32_t AdapterSize(int mem) {
    if (mem < 1 || mem > 7) return 0;
    return (0x20000 << (mem - 1)) - 1;
}

ControlRows AdapterForm::ProtectionRegister(const char* group) {
    using namespace win;
    return Join({{Group({group, "Protection Register"})},
                 In(group, {Edit({"R1"}, "ffff"), Edit({"R2"}, "ffff"), Edit({"R3"}, "ffff"), Edit({"R4"}, "ffff"),
                            PushButton({"Button4", "R."}), PushButton({"Button6", "W."}),
                            Box({"LockStatus", "加锁"})})});
}

AdapterRow AdapterRowFields::Build() const {
    AdapterRow r;
    r.BitFile = design;
    r.ShortCommands = shortCommands;
    r.Width = width;
    r.VccPin = vcc;
    r.GndCode = gnd;
    r.VppPin = vpp;
    r.HvPinA = hvA;
    r.HvPinB = hvB;
    r.SmallBlock = smallBlock;
    r.MainBlock = mainBlock;
    for (int m = firstMem; m <= lastMem; ++m) r.Sizes[static_cast<std::size_t>(m)] = AdapterSize(m);
    r.SetMasks(masks);
    return r;
}

std::optional<std::uint16_t> ScanHex4(const std::string& text) {
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos) return std::nullopt;
    unsigned v = 0;
    int digits = 0;
    for (; i < text.size() && digits < 4 && std::isxdigit(static_cast<unsigned char>(text[i])); ++i, ++digits) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
        v = v * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : c - 'a' + 10);
    }
    if (digits == 0) return std::nullopt;
    return static_cast<std::uint16_t>(v);
}

AdapterForm::AdapterForm(Workbench& w, std::string caption) : MemoryForm(w, std::move(caption)) {}

// ---- primitives --------------------------------------------------------------------------

void AdapterForm::SetAddressCounter(std::int32_t a) {
    Ep3.WriteReg(RegAddr0, a & 0xFF);
    Ep3.WriteReg(RegAddr1, (a >> 8) & 0xFF);
    Ep3.WriteReg(RegAddr2, (a >> 16) & 0xFF);
}

void AdapterForm::SendFlashCommand(int k) {
    Ep3.WriteReg(RegControlLines, 16 * k + 7);
    Ep3.ControlLineLow(4);
    Ep3.ControlLineHigh(4);
}

void AdapterForm::BusWrite(std::uint16_t v) {
    Ep3.UsbPut3(OpAdapterBusWord, static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8));
    Ep3.ControlLineLow(4);
    Ep3.ControlLineHigh(4);
}

void AdapterForm::ReadBlock(std::uint8_t* buf, int n) {
    Ep3.UsbPut2(OpAdapterRead, static_cast<std::uint8_t>(n));
    Ep3.UsbFlush();
    Ep3.UsbReadExact(buf, n * 64);
}

void AdapterForm::ReadingState(bool line2) {
    Ep3.ControlLineHigh(1);
    Ep3.ControlLineLow(3);
    if (line2) Ep3.ControlLineLow(2);
}

void AdapterForm::WritingState() {
    Ep3.ControlLineLow(1);
    Ep3.ControlLineHigh(3);
    Ep3.ControlLineLow(2);
}

void AdapterForm::ShowProgress(std::int32_t value) {
    Put(kAddress, Hex6(value));
    SetProgress(kProgress, 0, LastAddress(), value);
}

void AdapterForm::EraseCountdown(int step, int max) {
    SetProgress(kProgress, 0, max, step);
    Put(kAddress, std::to_string(step / 10 + 1) + " Sec");
}

// ---- the device row --------------------------------------------------------------------------

int AdapterForm::VariantCount() const { return FilledRowCount(Table); }

const AdapterRow* AdapterForm::SelectedRow() const { return FilledRow(Table, wb.sel.VariantIndex); }

int AdapterForm::MemIndex() const { return wb.sel.GetParam("mem="); }

std::int32_t AdapterForm::LastAddress() const {
    const AdapterRow* r = SelectedRow();
    if (!r) return 0;
    if (r->FixedLast) return r->FixedLast;
    const int mem = MemIndex();
    return mem >= 0 && mem < 8 ? r->Sizes[static_cast<std::size_t>(mem)] : 0;
}

std::size_t AdapterForm::MaskIndex() const {
    const int mem = MemIndex();
    return mem >= 0 && mem < 8 ? static_cast<std::size_t>(mem) : 0;
}

const AdapterRow& AdapterForm::Row() {
    const std::string err = DeviceLineError();
    if (!err.empty()) Refuse(err);
    return *SelectedRow();
}

bool AdapterForm::SetupBegin() {
    FillVariantTable();
    const std::string err = DeviceLineError();
    if (!err.empty()) {
        // Nothing is sent for a device line the form cannot take.
        Status(err);
        wb.prompts.ShowMsg(err);
        return false;
    }
    Ep3.ResetPins();
    if (!Ep3.Connected) {
        Status("Comm Err.");
        return false;
    }
    Status("OK ");
    wb.FileNew();
    AlgoForm::Show();
    return true;
}

void AdapterForm::RequireWordAligned(const AdapterRow& r, std::int32_t deviceOffset) {
    if (r.Width == 16 && (deviceOffset & 1))
        Refuse("Device offset " + HexPlain(deviceOffset) + " is odd: the part is 16 bits wide");
}

// ---- the ID checks ---------------------------------------------------------------------------

bool AdapterForm::CheckDeviceIdWithContact(int bytes, const std::string& question) {
    if (BatchFlag) return true;
    const AdapterRow& r = Row();
    const std::size_t mem = MaskIndex();
    Ep3.LoadBitFile("chkpin.bit");
    const int contact = Ep3.CheckPinContact(r.GndCode, 0, r.MaskLo[mem], r.MaskHi[mem], 0);
    Ep3.LoadBitFile(r.BitFile);
    Ep3.GndPin(r.GndCode);
    AfterDesignReload();
    if (contact == 0) {
        StepFailed();
        return false;
    }
    return CheckDeviceIdPlain(bytes, question);
}

bool AdapterForm::CheckDeviceIdPlain(int bytes, const std::string& question) {
    const auto& want = wb.sel.ExpectedId;
    if (want[0] == 0) return true;
    wb.sel.LastReadId = {};  // only this read counts
    if (!ReadId()) {
        StepFailed();
        return false;
    }
    bool same = true;
    for (int i = 0; i < bytes; ++i) same = same && wb.sel.LastReadId[static_cast<std::size_t>(i)] == want[static_cast<std::size_t>(i)];
    if (same || wb.prompts.AskYesNo(question)) return true;
    StepFailed();
    return false;
}

bool AdapterForm::NextChip() {
    const AdapterRow& r = Row();
    const std::size_t mem = MaskIndex();
    return Ep3.WaitNextChip(r.GndCode, 0, r.MaskLo[mem], r.MaskHi[mem], 0) != 0;
}

// ---- the 8 KiB block loops -----------------------------------------------------------------

namespace {
constexpr int kBlock = 8192;
}

AdapterForm::Span AdapterForm::Offsets8K(const AdapterRow& r) {
    if (auto v = ScanHex(Text("Edit1"))) FileOffset = *v;
    if (auto v = ScanHex(Text("Edit2"))) DeviceOffset = *v;
    if (auto v = ScanHex(Text("Edit3"))) EndAddress = *v;
    const std::int32_t last = LastAddress();
    RequireDeviceOffset(DeviceOffset, last);
    RequireWordAligned(r, DeviceOffset);
    if (FileOffset < 0) RequireImageRange(FileOffset, 1, FileOffset);
    // Never past the chip's last byte.
    return {DeviceOffset, FileOffset, std::min(EndAddress, last)};
}

void AdapterForm::Read8K(Progress shown) {
    const AdapterRow& r = Row();
    const Span s = Offsets8K(r);
    const std::int32_t last = LastAddress();
    const int blocks = std::max(0, s.end - s.device) / kBlock + 1;
    RequireImageRange(s.file, static_cast<std::int64_t>(blocks) * kBlock, s.file);
    if (!CheckDeviceId()) return;
    Status("Read.");
    if (Ep3.CheckCurrent() == 0 || !FlashPowerUp()) return;
    SetAddressCounter(Unit(r, s.device));
    ReadingState();
    std::int32_t dev = s.device;
    std::int64_t file = s.file;
    std::int32_t done = 0;
    for (int k = 0; k < blocks; ++k) {
        ShowProgress(shown == Progress::Device ? dev : done);
        ReadBlock(Ep3.UsbReplyBuf.data(), kBlock / 64);
        // Bytes past the chip's last address (the counter beyond its address pins) stay out.
        const int n = std::min(kBlock, last - dev + 1);
        std::copy_n(Ep3.UsbReplyBuf.begin(), n, Image(file));
        dev += kBlock;
        file += kBlock;
        done += kBlock;
    }
    Ep3.VccPin(0);
    ShowProgress((shown == Progress::Device ? dev : done) - 1);
    wb.Display();
    Success("OK!");
}

void AdapterForm::Blank8K() {
    const AdapterRow& r = Row();
    const Span s = Offsets8K(r);
    const std::int32_t last = LastAddress();
    if (!CheckDeviceId()) return;
    Status("Blank CHK");
    if (!FlashPowerUp() || Ep3.CheckCurrent() == 0 || !FlashPowerUp()) return;
    ReadingState();
    SetAddressCounter(Unit(r, s.device));
    wb.ErrorFlag() = 0;
    std::int32_t dev = s.device;
    // Whole blocks from the Device offset, never past the chip's last byte.
    for (std::int32_t done = 0; done < last; done += kBlock) {
        ShowProgress(dev);
        ReadBlock(Ep3.UsbReplyBuf.data(), kBlock / 64);
        if (!BlankBytes(done, Ep3.UsbReplyBuf.data(), std::min(kBlock, last - dev + 1))) return;
        dev += kBlock;
        if (dev > s.end) break;
    }
    wb.ErrorFlag() = 0;
    Success("OK");
    ShowProgress(dev - 1);
    Ep3.SetAllPins(0);
    Ep3.VccPin(0);
}

void AdapterForm::Verify8K(Progress shown) {
    const AdapterRow& r = Row();
    const Span s = Offsets8K(r);
    const std::int32_t last = LastAddress();
    RequireImageRange(s.file, static_cast<std::int64_t>(s.end) - s.device + 1, s.file);
    if (!CheckDeviceId()) return;
    Status("Verify.");
    if (!FlashPowerUp()) return;
    ReadingState();
    SetAddressCounter(Unit(r, s.device));
    wb.ErrorFlag() = 0;
    std::int32_t dev = s.device;
    std::int64_t file = s.file;
    for (std::int32_t done = 0; done < last; done += kBlock) {
        ShowProgress(shown == Progress::Device ? dev : done);
        ReadBlock(Ep3.UsbReplyBuf.data(), kBlock / 64);
        if (!MatchesImage(file, Ep3.UsbReplyBuf.data(), std::min(kBlock, s.end - dev + 1))) return;
        dev += kBlock;
        file += kBlock;
        if (dev > s.end) break;
    }
    Success("OK..");
    ShowProgress(shown == Progress::Device ? dev - 1 : static_cast<std::int32_t>(file - 1));
    Ep3.SetAllPins(0);
    Ep3.VccPin(0);
}

// ---- the Length forms ---------------------------------------------------------------------------

namespace {
// Blocks a Length loop reads: while done < last, until a block reaches Device offset + Length.
std::int64_t LengthBlocks(std::int32_t last, std::int32_t length, int block) {
    if (last <= 0) return 0;
    const std::int64_t byLast = (static_cast<std::int64_t>(last) + block - 1) / block;
    const std::int64_t byLength = length <= 0 ? 1 : (static_cast<std::int64_t>(length) + block - 1) / block;
    return std::min(byLast, byLength);
}
}  // namespace

void AdapterForm::RequireLengthSpan(int blockBytes) {
    const AdapterRow& r = Row();
    RequireDeviceOffset(Offsets.DeviceOffset, LastAddress());
    RequireWordAligned(r, Offsets.DeviceOffset);
    RequireImageRange(Offsets.FileOffset, LengthBlocks(LastAddress(), Offsets.Length, blockBytes) * blockBytes,
                      Offsets.FileOffset);
}

AdapterForm::LengthSpan AdapterForm::LengthWriteSpan(int unitBytes, int extraBytes) {
    const std::int32_t last = LastAddress();
    RequireDeviceOffset(Offsets.DeviceOffset, last);
    const std::int32_t chip0 = Offsets.DeviceOffset & ~0xFF;
    const std::int64_t file0 = Offsets.FileOffset & ~0xFF;
    const std::int64_t end = std::min<std::int64_t>(static_cast<std::int64_t>(Offsets.DeviceOffset) + Offsets.Length, last);
    const std::int64_t units = std::max<std::int64_t>(1, (end - chip0) / unitBytes + 1);
    RequireImageRange(file0, units * unitBytes + extraBytes, Offsets.FileOffset);
    return {chip0, file0, units};
}

void AdapterForm::ReadLength(int blockBytes) {
    const AdapterRow& r = Row();
    RequireLengthSpan(blockBytes);
    const std::int64_t blocks = LengthBlocks(LastAddress(), Offsets.Length, blockBytes);
    if (!CheckDeviceId()) return;
    Status("Read.");
    if (Ep3.CheckCurrent() == 0 || !FlashPowerUp()) return;
    SetAddressCounter(Unit(r, Offsets.DeviceOffset));
    ReadingState();
    std::int64_t file = Offsets.FileOffset;
    std::int32_t done = 0;
    for (std::int64_t k = 0; k < blocks; ++k) {
        ShowProgress(done);
        ReadBlock(Image(file), blockBytes / 64);
        file += blockBytes;
        done += blockBytes;
    }
    Ep3.VccPin(0);
    ShowProgress(done - 1);
    wb.Display();
    Success("OK!");
}

void AdapterForm::BlankLength() {
    const AdapterRow& r = Row();
    RequireLengthSpan(kBlock);
    const std::int64_t blocks = LengthBlocks(LastAddress(), Offsets.Length, kBlock);
    if (!CheckDeviceId()) return;
    Status("Blank CHK");
    if (!FlashPowerUp() || Ep3.CheckCurrent() == 0 || !FlashPowerUp()) return;
    ReadingState();
    std::int32_t chip = Offsets.DeviceOffset;
    SetAddressCounter(Unit(r, chip));
    wb.ErrorFlag() = 0;
    for (std::int64_t k = 0; k < blocks; ++k) {
        ShowProgress(chip);
        ReadBlock(Ep3.UsbReplyBuf.data(), kBlock / 64);
        if (!BlankBytes(k * kBlock, Ep3.UsbReplyBuf.data(), kBlock)) return;
        chip += kBlock;
    }
    wb.ErrorFlag() = 0;
    Success("OK");
    ShowProgress(LastAddress());
    Ep3.SetAllPins(0);
    Ep3.VccPin(0);
}

void AdapterForm::VerifyLength() {
    const AdapterRow& r = Row();
    RequireLengthSpan(kBlock);
    const std::int64_t blocks = LengthBlocks(LastAddress(), Offsets.Length, kBlock);
    if (!CheckDeviceId()) return;
    Status("Verify.");
    if (!FlashPowerUp()) return;
    ReadingState();
    SetAddressCounter(Unit(r, Offsets.DeviceOffset));
    wb.ErrorFlag() = 0;
    std::int64_t file = Offsets.FileOffset;
    for (std::int64_t k = 0; k < blocks; ++k) {
        ShowProgress(static_cast<std::int32_t>(k * kBlock));
        ReadBlock(Ep3.UsbReplyBuf.data(), kBlock / 64);
        if (!MatchesImage(file, Ep3.UsbReplyBuf.data(), kBlock)) return;
        file += kBlock;
    }
    Success("OK..");
    ShowProgress(static_cast<std::int32_t>(file - 1));
    Ep3.SetAllPins(0);
    Ep3.VccPin(0);
}

// ---- what the End-address forms and I27CX share --------------------------------------------

std::string AdapterForm::RowSizeVccError() const {
    if (!SelectedRow()) return VariantNotInTable();
    const std::string line = "Bad device line: ";
    if (LastAddress() <= 0)
        return line + "mem=" + std::to_string(MemIndex()) + " names no size of row " +
               std::to_string(wb.sel.VariantIndex);
    const int vcc = wb.sel.GetParam("vcc=");
    if (vcc <= 0 || vcc > 6500) return line + "vcc=" + std::to_string(vcc) + " is not a supply level (mV)";
    return {};
}

void AdapterForm::ShowLengthSetup(std::int32_t last) {
    Put("Edit7", wb.sel.TypeText);
    if (wb.FileWin) wb.FileWin->EndAddr = last;
    wb.Display();
    AlgoForm::Show();
    Offsets.Length = last;
    Offsets.ShowAll();
}

std::string AdapterForm::RangeCaption(std::int32_t last) {
    char text[32];
    std::snprintf(text, sizeof text, "0 to %x", static_cast<unsigned>(last));
    return text;
}

void AdapterForm::EndAddressSetupTail(const AdapterRow& r) {
    SetCaption(wb.sel.TypeText);
    const std::int32_t last = LastAddress();
    if (wb.FileWin) wb.FileWin->EndAddr = last;
    wb.Display();
    AlgoForm::Show();
    // The File offset restarts at 0; the Device offset is the one last confirmed.
    Offsets.FileOffset = 0;
    Offsets.Length = last;
    Offsets.ShowAll();
    FileOffset = 0;
    DeviceOffset = Offsets.DeviceOffset;
    EndAddress = last;
    Ep3.SetVcc(wb.sel.GetParam("vcc="));
    Ep3.GndPin(r.GndCode);
    BatchFlag = false;
}

AdapterForm::Span AdapterForm::WriteSpan(const AdapterRow& r, std::int64_t& steps) {
    const Span s = Offsets8K(r);
    steps = std::max<std::int64_t>(1, (static_cast<std::int64_t>(s.end) - s.device) / 2 + 1);
    RequireImageRange(s.file, steps * 2, s.file);
    return s;
}

void AdapterForm::ShowMfgId(int shown) {
    auto& id = wb.sel.LastReadId;
    for (std::size_t i = 0; i < 4; ++i) id[i] = Ep3.UsbReplyBuf[i];
    char text[48];
    if (shown == 4) {
        std::snprintf(text, sizeof text, "MFG ID=%02x,%02x,%02x,%02x", id[0], id[1], id[2], id[3]);
    } else {
        std::snprintf(text, sizeof text, "MFG ID=%02x,%02x", id[0], id[1]);
    }
    Status(text);
}

void AdapterForm::PowerDownAfterWrite() {
    Ep3.VccPin(0);
    Ep3.VccPin(0);
    Ep3.PinLow(28);
    Ep3.PinLow(26);
}

std::array<std::uint16_t, 4> AdapterForm::ProtectionWordsFromEdits() {
    std::array<std::uint16_t, 4> words{};
    for (std::size_t k = 0; k < 4; ++k) {
        const std::string name = "R" + std::to_string(k + 1);
        const auto v = ScanHex4(Text(name));
        if (!v) Refuse(name + " \"" + Text(name) + "\" is not a hexadecimal number");
        words[k] = *v;
    }
    return words;
}

void AdapterForm::WriteProtectionWords(const AdapterRow& r, const std::array<std::uint16_t, 4>& words,
                                       std::uint16_t lockWord,
                                       const std::function<void(std::int32_t, std::uint16_t)>& write) {
    for (int k = 0; k < 4; ++k) {
        const std::uint16_t v = words[static_cast<std::size_t>(k)];
        if (r.Width == 16) {
            write(0x85 + k, v);
        } else {
            write(0x85 + 2 * k, v & 0xFF);
            write(0x86 + 2 * k, v >> 8);
        }
    }
    if (Ticked("LockStatus")) write(0x80, lockWord);
}

bool AdapterForm::PowerUpIdle(std::uint8_t vccPin) {
    Ep3.VccPin(0);
    Ep3.UsbPut1(OpWaitSettle);
    Ep3.VccPin(vccPin);
    Ep3.UsbPut1(OpWaitSettle);
    if (Ep3.CheckCurrent() == 0) return false;
    SendFlashCommand(0);
    for (int line : {2, 4, 3, 5}) Ep3.ControlLineHigh(line);
    Ep3.ControlLineLow(6);
    SetAddressCounter(0);
    Ep3.ControlLineHigh(1);
    Ep3.ControlLineLow(3);
    Ep3.UsbFlush();
    return true;
}

void AdapterForm::RunLengthBatch(const std::vector<BatchStep>& steps) {
    Row();
    if (Ticked("CheckBox3") && !wb.FileWin) {
        wb.prompts.ShowMsg("Must open a file to write...");
        StepFailed();
        return;
    }
    RunBatch(steps, [] { return false; }, false);
}

}  // namespace quilla
