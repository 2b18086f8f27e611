#include "algo/avr/atmega162.h"

#include <cstdio>

#include "algo/common/c48.h"
#include "algo/common/scan.h"
#include "algo/common/sidefile.h"
#include "app/workbench.h"
#include "catalog/form.h"
#include "engine/protocol.h"

namespace quilla {

using namespace proto;
using namespace hvline;

namespace {

constexpr const char* kGrid = "StringGrid1";
constexpr HvVariant kVariant{.settled = true, .prepareBeforeDirection = true, .flushPerWord = false,
                             .entry = HvVariant::Entry::Mega161, .longWriteWait = true};

}  // namespace

const std::array<const char*, 32> TAtmega162x::FuseLabelTable = {
    "CKSEL0", "CKSEL1",    "CKSEL2",    "CKSEL3",    "SUT0",  "SUT1",  "CKOUT", "CKDIV8",
    "BOOTRST", "BOOTSZ0",  "BOOTSZ1",   "EESAVE",    "WDTON", "SPIEN", "JTAGEN", "OCDEN",
    "-",      "BODLEVER0", "BODLEVER1", "BODLEVER2", "M161C", "-",     "-",     "-",
    "LB1",    "LB2",       "BLB01",     "BLB02",     "BLB11", "BLB12", "-",     "-"};

TAtmega162x::TAtmega162x(Workbench& w) : TAtmega16xForm(w, "ATmeg161/L", kVariant) {
    const std::vector<std::string> names(FuseLabelTable.begin(), FuseLabelTable.end());
    // Every bit unprogrammed but LB1, LB2, BLB01 and BLB02.
    std::vector<std::string> cells;
    for (int i = 0; i < 32; ++i) cells.emplace_back(i >= 24 && i <= 27 ? "0" : "1");
    DeclareControls(win::Join({WindowHead("ReadID"),
                               {win::Grid({kGrid, "CFG ："}, names, cells),
                                avr::SpeedBox()},
                               avr::MegaReadouts()}),
                    this,
                    avr::Operations(this, {{"ReadID", &TAtmega162x::ReadIDClick},
                                           {kGrid, &TAtmega162x::StringGrid1Click}}));
    FillRows();
    // The grid of the last run on this image. A byte the file does not hold is
    // an unprogrammed bit, never a programmed one.
    if (auto settings = ReadC48(SideFilePath(wb, C48Extension), C48Atmega162x)) {
        for (int i = 0; i < 32; ++i) {
            const auto& b = (*settings)[static_cast<std::size_t>(i)];
            PutCell(kGrid, i, b ? std::to_string(*b) : std::string("1"));
        }
    }
}

void TAtmega162x::FillRows() {
    TAtmega16xForm::FillRows();
    Rows[2].EepromPage = 4;  // the ATmega162 EEPROM is programmed through its page buffer
}

void TAtmega162x::OnClose() {
    Ep3.PowerOff();
    std::vector<std::uint8_t> bytes(32);
    const auto& cells = Get(kGrid).Items;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(ScanDec(cells[i]).value_or(-1) & 0xFF);
    WriteC48(SideFilePath(wb, C48Extension), C48Atmega162x, bytes);
}

void TAtmega162x::StringGrid1Click() {
    const int row = ItemIndex(kGrid);
    const std::string& cell = Get(kGrid).Items[static_cast<std::size_t>(row)];
    PutCell(kGrid, row, cell == "0" ? "1" : "0");
}

std::uint32_t TAtmega162x::ConfigWord() const {
    std::uint32_t w = 0;
    const auto& cells = Get(kGrid).Items;
    for (std::size_t i = 0; i < 32; ++i)
        if (cells[i] == "1") w |= 1u << i;
    return w;
}

int TAtmega162x::FirstNonBit(int first, int count) const {
    const auto& cells = Get(kGrid).Items;
    for (int i = first; i < first + count; ++i) {
        const std::string& c = cells[static_cast<std::size_t>(i)];
        if (c != "0" && c != "1") return i;
    }
    return -1;
}

void TAtmega162x::RefuseCell(int row) {
    const std::string text = std::string("CFG ") + FuseLabelTable[static_cast<std::size_t>(row)] + " = \"" +
                             Get(kGrid).Items[static_cast<std::size_t>(row)] +
                             "\": not 0 or 1, nothing written";
    Status(text);
    wb.prompts.ShowMsg(text);
    StepFailed();
}

void TAtmega162x::SetupForDevice() {
    FillRows();
    if (!AcceptDeviceLine()) return;
    Ep3.ResetPins();
    SetupPlcc44OrDip40();
    SetupCommon(false);
}

void TAtmega162x::WtFuseClick() {
    if (const int bad = FirstNonBit(0, 24); bad >= 0) return RefuseCell(bad);
    const std::uint32_t word = ConfigWord();
    if (!WriteFuseByte(static_cast<std::uint8_t>(word), false, false, true, false)) return;
    if (!WriteFuseByte(static_cast<std::uint8_t>(word >> 8), true, false, true, false)) return;
    if (!WriteFuseByte(static_cast<std::uint8_t>(word >> 16), false, true, false, true)) return;
    Success("OK!");
}

void TAtmega162x::ReadFuseClick() {
    if (!BeginFuseRead()) return;
    const std::pair<bool, bool> selects[4] = {{false, false}, {true, true}, {true, false}, {false, true}};
    for (int k = 0; k < 4; ++k) {
        if (k > 0) {
            selects[k].first ? LineHigh(BS1) : LineLow(BS1);
            selects[k].second ? LineHigh(BS2) : LineLow(BS2);
        }
        Ep3.UsbFlush();
        ReadLatch();  // fuse low, fuse high, lock, extended fuse
    }
    LineHigh(OE);
    SuppliesOff();
    Ep3.UsbReadReply();
    const auto& b = Ep3.UsbReplyBuf;
    char buf[80];
    std::snprintf(buf, sizeof buf, "Fuse low=%02x,Fuse Hi=%02x,Lock=%02x,Ext Fuse=%02x", b[0], b[1], b[2], b[3]);
    Status(buf);
}

bool TAtmega162x::LockByte(std::uint8_t& lock) {
    if (const int bad = FirstNonBit(24, 6); bad >= 0) {
        RefuseCell(bad);
        return false;
    }
    lock = static_cast<std::uint8_t>((ConfigWord() >> 24) & 0x3F);
    if ((lock & 0x03) == 0x03) wb.prompts.ShowMessage("没有CFG LockMode！");
    return true;
}

QUILLA_FORM(TAtmega162x);

}  // namespace quilla
