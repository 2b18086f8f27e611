#include "algo/pic/p12f6xx.h"

#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr PicPackage kPackages12f[] = {
    kDip40, kDip28, kDip18, kDip14,
    {.pkg = 8, .label = "PKG:  DIP8", .design = "pic16dip08.bit", .vpp = 20, .vcc = 17, .gnd = 24, .lo = 0x00FF0000},
};

// The PIC16F630 form: no 8-pin package; the 14-pin one shows its placement
// picture after the label, before the design.
constexpr PicPackage kPackages630[] = {
    kDip40, kDip28, kDip18,
    {.pkg = 14, .label = "PKG:  DIP14", .design = "pic16dip14.bit", .picture = "16f630.bmp", .vpp = 30, .vcc = 27,
     .gnd = 14, .lo = 0xDC003F80, .hi = 0x01},
};

constexpr PicFlashTraits kTraits{.blankConfigMask = 0x31FF,
                                 .keepsLastWord = true,
                                 .writeVppOffFirst = false,
                                 .blankSecondEntryChecks = false,
                                 .dataBegin = piccmd::BeginEraseProgram};

}  // namespace

TP12fxxx::TP12fxxx(Workbench& w)
    : TP12fxxx(w, "P12fxxx", picvariant::P12fxxx,
               {.keyword = "PIC12F",
                .captions = ConfigNameForm::P12fxxx,
                .packages = kPackages12f,
                .packageLabel = true,
                .vccFloor = 2500},
               false) {}

TP12fxxx::TP12fxxx(Workbench& w, std::string caption, const PicVariant& variant, Keys keys, bool speedCombo)
    : PicKeyedForm(w, std::move(caption), variant, kTraits, keys) {
    using namespace picwin;
    using namespace win;
    DeclareControls(Join({OperationButtons(true),
                          ConfigBoxes("CFG Config(打勾编程为0)"),
                          EraseAndBatch({"Code  ", "Data  ", "程序+数据"}, 2),
                          IdFields(true),
                          {AddressField("Add ", false), TypeField("Type"), StatusField("Prompt  "),
                           Label({"Package", "Package"}), ProgressBar(), If(speedCombo, WriteSpeed()),
                           If(!speedCombo, Box({"CheckBox17", "Fast写"})), If(!speedCombo, PushButton(kExit))}}),
                    this, KeyedClicks<TP12fxxx>());
    FillVariantTable();
    ReadConFile();
}

// Placeholder rows: sizes and wait always come from the line; the pins and
// masks stay for a line without a known package.
void TP12fxxx::FillVariantTable() {
    const std::uint32_t lo28 = 0xFFFFFF80, hi28 = 0x03, lo40 = 0xFFFFFFFF, hi40 = 0xFF;
    Table.assign(9, PicRow{});
    const PicRow dip28{.VppPin = 7, .VccPin = 26, .GndPin = 25, .ContactLo = lo28, .ContactHi = hi28};
    const PicRow dip40{.VppPin = 1, .VccPin = 32, .GndPin = 31, .ContactLo = lo40, .ContactHi = hi40};
    for (int i : {1, 3, 4, 7}) Table[static_cast<std::size_t>(i)] = dip28;
    for (int i : {2, 5, 8}) Table[static_cast<std::size_t>(i)] = dip40;
}

void TP12fxxx::ToLastWord(const PicRow& r) {
    Pic.PowerOn(r.Pins());
    for (std::int32_t i = 0; i < r.ProgramLast / 2; ++i) Pic.SendCommand(Pic.Codes().increment);
}

// The calibration word is read first and programmed back after every erase
// path, the chip erase of a line without data EEPROM included.
void TP12fxxx::EraseClick() {
    const PicRow& r = Row();
    if (!Check(PicStep::Erase)) return;
    ToLastWord(r);
    Pic.ReadNext();
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
    KeptWord = static_cast<std::uint16_t>(Ep3.UsbReplyBuf[0] | (Ep3.UsbReplyBuf[1] << 8));
    Status("Erasing....");
    if (r.EepromLast <= 0) {
        if (!ChipEraseF(r)) return;
    } else {
        const int item = ItemIndex("RadioGroup2");
        if (item == 0 || item == 2) {
            Pic.PowerOn(r.Pins());
            Pic.BulkEraseProgram09();
            Pic.Leave();
        }
        if (item == 1 || item == 2) {
            Pic.PowerOn(r.Pins());
            Pic.BulkEraseData0B();
            Pic.Leave();
        }
    }
    ToLastWord(r);
    Pic.ProgramWord(KeptWord, Waits());
    Pic.Leave();
    Success("OK");
}

TP16f630x::TP16f630x(Workbench& w)
    : TP12fxxx(w, "P16f630x", picvariant::P16f630x,
               {.keyword = "PIC16F630",
                .captions = ConfigNameForm::P12fxxx,
                .packages = kPackages630,
                .packageLabel = true,
                .vccFloor = 2500},
               true) {}

QUILLA_FORM(TP12fxxx);
QUILLA_FORM(TP16f630x);

}  // namespace quilla
