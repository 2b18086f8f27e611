#include "algo/memory/page_sdp.h"

namespace quilla {

using namespace proto;

namespace {
constexpr int kBlock = 1024;
constexpr std::uint16_t k5555 = 0x5555, k2AAA = 0x2AAA;
constexpr int kClearMv = 12000;  // VPP of the EEPROM chip clear (12 V on OE)
}  // namespace

PageSdpForm::PageSdpForm(Workbench& w, std::string caption) : SocketForm(w, std::move(caption), 16) {
    LoopInclusive = true;
    ReadLikeLaterForms = true;
    BlankFromZero = true;
    SeatedChipCheck = true;
    UsesVpp = false;
    UsesVccKey = true;
    Texts.Read = "Reading";
    Texts.ReadDone = "OK!!!!!";
}

void PageSdpForm::UsePage(const VariantRecord& r, std::int32_t readBackEvery) {
    Offsets.SetPage(Page(r));
    Writing = {.Block = Page(r), .Align = Page(r), .ReadBackEvery = readBackEvery};
}

void PageSdpForm::ShowRow(const VariantRecord& r) {
    ShowVariant(r);
    if (KeepCaption) SetCaption(KeepCaption);
    Offsets.Length = r.LastAddress;
    Offsets.ShowAll();
    Put(kType, wb.sel.SelectedDevice);
}

void PageSdpForm::SetupFlash(const VariantRecord& r, bool bitReverse) {
    LoadDesign(LineVcc(2500));
    UsePage(r, 1024);
    Ep3.SetVpp(0);
    if (bitReverse) {
        Ep3.InitBitReverse();
    } else {
        Ep3.GndPin(20);
    }
    ShowRow(r);
}

void PageSdpForm::SetupEeprom(const VariantRecord& r) {
    LoadDesign(LineVcc(2500));
    Ep3.GndPin(20);
    Ep3.SetVpp(kClearMv);
    UsePage(r, 256);
    ShowRow(r);
}

// ---- address routing ------------------------------------------------------------------

std::vector<int> PageSdpForm::HighAddressPins() const {
    const VariantRecord* r = SelectedRow();
    switch (Route) {
        case Routing::Flash:
            if (r && r->VccPin == 34) return {31, 30, 27, 29, 8, 32, 33};
            break;
        case Routing::Eeprom:
            if (r && r->ProgramPin == 33) return {31, 30, 27, 29, 8, 32, 7};
            break;
        case Routing::Eeprom28Only:
            return {31, 30, 27, 29, 8, 32, 7};
    }
    return FlashHighPins32();
}

void PageSdpForm::AfterHighAddressPins() {
    const VariantRecord* r = SelectedRow();
    switch (Route) {
        case Routing::Flash:
            if (r && r->VccPin == 34) {
                Ep3.PinHigh(34);
                Ep3.PinHigh(7);
                return;
            }
            break;
        case Routing::Eeprom:
            if (r && r->ProgramPin == 33) {
                Ep3.PinHigh(33);
                return;
            }
            break;
        case Routing::Eeprom28Only:
            return;
    }
    Ep3.PinHigh(35);  // WE of the 32-pin parts
}

// ---- the shared operations, ground per handler -------------------------------------------

bool PageSdpForm::PowerUp(const VariantRecord& r) {
    if (LongWaitInBlank && running_ == kBlank)
        Put1(OpWait100ms);
    else if (GroundIn & running_)
        Ep3.GndPin(kGround);
    Ep3.VccPin(r.VccPin);
    return Ep3.CheckCurrent() != 0;
}

void PageSdpForm::ReadClick() {
    running_ = kRead;
    SocketForm::ReadClick();
}

void PageSdpForm::BlankClick() {
    running_ = kBlank;
    SocketForm::BlankClick();
}

void PageSdpForm::VerifyClick() {
    running_ = kVerify;
    SocketForm::VerifyClick();
}

void PageSdpForm::WriteClick() {
    running_ = kWrite;
    SocketForm::WriteClick();
}

// ---- page write -------------------------------------------------------------------------------

bool PageSdpForm::WriteBegin(const VariantRecord& r) {
    if (VccOffBeforeWrite) Ep3.VccPin(0);
    if (!PowerUp(r)) return false;
    Ep3.SetPortMode(WriteMode);
    if (PreLoopAddress) {
        const std::int32_t mask = ~(Page(r) - 1);
        SetAddressParallel(Offsets.DeviceOffset & mask);
        if (PreLoopLongWait) Put1(OpWait100ms);
        if (!ByteLatched) Flush();
    }
    return true;
}

bool PageSdpForm::WriteBlockBegin(const VariantRecord& r) {
    if (ByteLatched) {
        Ep3.PinLow(kCE);
        Ep3.PinHigh(kOE);
        return true;
    }
    Ep3.PinHigh(kCE);
    Ep3.PinHigh(kOE);
    Ep3.PinLow(r.ProgramPin);
    Flush();
    return true;
}

void PageSdpForm::ProgramBlock(const VariantRecord& r, const Block& b) {
    if (ByteLatched) {
        for (int i = 0; i < b.count; ++i) {
            Ep3.WriteLatch(2, *Image(b.file + i));
            Put1(OpBusWrite);
            Put1(OpAddrInc);
        }
        return;
    }
    // One transfer of page loads (CE pulses, WE held low), then WE high.
    for (int i = 0; i < b.count; ++i) Ep3.UsbPut2(OpPageWriteByte, *Image(b.file + i));
    Flush();
    Ep3.PinHigh(r.ProgramPin);
    Flush();
}

void PageSdpForm::WriteBlockEnd(const VariantRecord&, const Block&) {
    const int waits = FixedWaits > 0 ? FixedWaits : ItemIndex("Speed") + 2;
    for (int i = 0; i < waits; ++i) Put1(OpWaitSettle);
}

bool PageSdpForm::ReadBack(const VariantRecord& r, const Block& b) {
    if (EepromReadBack || ByteLatched) {
        Ep3.SetPortMode(ReadMode);
        SetAddressParallel(b.chip);
        if (EepromReadBack) {
            Ep3.PinLow(kOE);
            Ep3.PinLow(kCE);
        } else {
            Ep3.PinLow(kCE);
            Ep3.PinLow(kOE);
        }
    } else {
        Ep3.PinHigh(r.ProgramPin);
        Ep3.PinLow(kOE);
        Ep3.PinLow(kCE);
        Ep3.SetPortMode(ReadMode);
        SetAddressParallel(b.chip);
    }
    Put1(OpRead1K);
    Flush();
    Ep3.UsbReadExact(Ep3.UsbReplyBuf.data(), kBlock);
    if (!MatchesImage(b.file, Ep3.UsbReplyBuf.data(), b.count)) return false;
    if (!ByteLatched) Ep3.PinHigh(kCE);
    if (EepromReadBack) Ep3.PinLow(kOE);
    return true;
}

// ---- protection -------------------------------------------------------------------------------

std::uint8_t PageSdpForm::Strobe(const VariantRecord& r) const { return r.ProgramPin == 33 ? OpStrobe33 : OpBusWrite; }

void PageSdpForm::WriteAtAddress(std::int32_t address, std::uint8_t data) {
    SetAddressParallel(address);
    Ep3.WriteLatch(2, data);
    const VariantRecord* r = SelectedRow();
    Put1(r ? Strobe(*r) : OpBusWrite);
}

void PageSdpForm::CommandCycle(std::uint16_t address, std::uint8_t data) {
    if (CyclesByAddress)
        WriteAtAddress(address, data);
    else
        Ep3.UsbPut2(address == k5555 ? OpCmdWrite5555 : OpCmdWrite2AAA, data);
}

// The prologue of Unlock and Lock: seated chip, power, and page 0 read.
bool PageSdpForm::LockStart(const VariantRecord& r, std::array<std::uint8_t, 1024>& page0) {
    if (ContactInLock && !ContactTest(r)) return false;
    running_ = kLock;
    if (!PowerUp(r)) return false;
    Ep3.PinLow(kOE);
    Ep3.PinLow(kCE);
    Ep3.SetPortMode(ReadMode);
    ReadBlock(0, page0.data());
    return true;
}

void PageSdpForm::RewritePageZero(const VariantRecord& r, const std::uint8_t* bytes, std::uint8_t strobe) {
    for (int i = 0; i < Page(r); ++i) {
        Ep3.WriteLatch(2, bytes[i]);
        Put1(strobe);
        Put1(OpAddrInc);
    }
}

void PageSdpForm::UnprotectClick() {
    const VariantRecord& r = Row();
    std::array<std::uint8_t, 1024> page0{};
    if (!LockStart(r, page0)) return;
    Ep3.SetPortMode(WriteMode);
    Ep3.PinHigh(kOE);
    Ep3.PinLow(kCE);
    if (PageZeroInReply) Put1(OpWait100ms);
    for (auto [a, d] : {std::pair{k5555, 0xAA}, {k2AAA, 0x55}, {k5555, 0x80}, {k5555, 0xAA}, {k2AAA, 0x55},
                        {k5555, 0x20}})
        CommandCycle(a, static_cast<std::uint8_t>(d));
    Ep3.PinLow(kCE);
    SetAddressParallel(0);
    RewritePageZero(r, page0.data(), PageZeroInReply ? OpStrobe33 : (CyclesByAddress ? Strobe(r) : OpBusWrite));
    Ep3.PinHigh(kCE);
    Put1(OpWaitSettle);
    Put1(OpWaitSettle);
    Ep3.PinLow(kOE);
    Flush();
    Ep3.VccPin(0);
    Success("Unlocked...");
}

void PageSdpForm::ProtectClick() {
    const VariantRecord& r = Row();
    std::array<std::uint8_t, 1024> page0{};
    if (PageZeroInReply) {
        // One more long wait before the read of page 0.
        running_ = kLock;
        if (!PowerUp(r)) return;
        Put1(OpWait100ms);
        Ep3.PinLow(kOE);
        Ep3.PinLow(kCE);
        Ep3.SetPortMode(ReadMode);
        ReadBlock(0, page0.data());
    } else if (!LockStart(r, page0)) {
        return;
    }
    Ep3.PinHigh(kOE);
    Ep3.SetPortMode(WriteMode);
    if (PageZeroInReply) Put1(OpWait100ms);
    for (auto [a, d] : {std::pair{k5555, 0xAA}, {k2AAA, 0x55}, {k5555, 0xA0}})
        CommandCycle(a, static_cast<std::uint8_t>(d));
    SetAddressParallel(0);
    Ep3.PinLow(kCE);
    RewritePageZero(r, page0.data(), PageZeroInReply ? OpStrobe33 : (CyclesByAddress ? Strobe(r) : OpBusWrite));
    Ep3.PinHigh(kCE);
    Put1(OpWaitSettle);
    Put1(OpWaitSettle);
    Ep3.PinLow(kOE);
    SetAddressParallel(0);
    Ep3.VccPin(0);
    Success("Locked...");
}

// ---- erase ------------------------------------------------------------------------------------

void PageSdpForm::EraseClick() { CommandErase(); }

// Unlock (its outcome not tested), then the six erase cycles from a socket
// whose pins all stand high, and one long wait for the erase.
void PageSdpForm::CommandErase() {
    const VariantRecord& r = Row();
    if (!ContactTest(r)) return;
    Status("Erasing");
    UnprotectClick();
    Ep3.GndPin(kGround);
    Ep3.SetPortMode(WriteMode);
    Ep3.VccPin(0);
    Ep3.SetAllPins(0);
    Ep3.SetAllPins(255);
    Ep3.PinHigh(36);
    Ep3.VccPin(r.VccPin);
    if (!Ep3.CheckCurrent()) return;
    Ep3.PinHigh(kOE);
    SetAddressParallel(0);
    for (auto [a, d] : {std::pair{k5555, 0xAA}, {k2AAA, 0x55}, {k5555, 0x80}, {k5555, 0xAA}, {k2AAA, 0x55},
                        {k5555, 0x10}})
        CommandCycle(a, static_cast<std::uint8_t>(d));
    Put1(OpWait100ms);
    Flush();
    Ep3.VccPin(0);
    Ep3.SetAllPins(0);
    Success("OK");
}

// CHIP CLEAR: Unlock, then 12 V (set by setup) on OE with CE low and a WE pulse
// of two long waits.
void PageSdpForm::HighVoltageClear() {
    const VariantRecord& r = Row();
    if (!ContactTest(r)) return;
    UnprotectClick();
    Status("Erasing");
    Ep3.VccPin(0);
    Put1(OpWaitSettle);
    Ep3.PinHigh(kCE);
    Ep3.VccPin(r.VccPin);
    Ep3.VppPin(kOE);
    if (!Ep3.CheckCurrent()) return;
    Put1(OpWait100ms);
    Ep3.SetPortMode(WriteMode);
    Ep3.PinHigh(kOE);
    Ep3.PinLow(kCE);
    Ep3.PinLow(r.ProgramPin);
    Put1(OpWait100ms);
    Put1(OpWait100ms);
    Ep3.PinHigh(r.ProgramPin);
    Put1(OpWait100ms);
    Put1(OpWait100ms);
    Ep3.PinHigh(kCE);
    Ep3.PinLow(kCE);
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    Success("OK");
}

// ---- batch --------------------------------------------------------------------------------------

std::vector<AlgoForm::BatchStep> PageSdpForm::BatchSteps() {
    return {{"CheckBox5", [this] { UnprotectClick(); }}, {"CheckBox1", [this] { EraseClick(); }},
            {"CheckBox2", [this] { BlankClick(); }},     {"CheckBox3", [this] { WriteClick(); }},
            {"CheckBox4", [this] { VerifyClick(); }},    {"CheckBox6", [this] { ProtectClick(); }}};
}

void PageSdpForm::Button1Click() {
    const VariantRecord& r = Row();
    if (MassProduction) {
        SocketForm::Button1Click();
        return;
    }
    (void)r;
    if (!FileWindowForWrite("CheckBox3")) return;
    RunBatch(BatchSteps(), nullptr, false);
}

}  // namespace quilla
