#include "catalog/dispatch.h"

#include <iterator>

#include "app/workbench.h"
#include "catalog/params.h"

namespace quilla {

namespace {

// Keyword -> form class, tested in this order. Constant-initialised, so forms
// may register during static initialisation. Two classes are reached by two
// keywords each (TSst29eex, TDsRAM).
constexpr DispatchRow Table[] = {
    {"ICTEST", "TICTestx"},
    {"AT49F", "TAt49fx"},
    {"P89C51", "TAt89c5x"},
    {"P89C5WD", "TAt89c5xwd"},
    {"P2051", "TP2051x"},
    {"W7851", "TPW785x"},
    {"P97C2051", "TP97c205x"},
    {"PW27", "TPW27x"},
    {"PI28F001", "TPi28f001x"},
    {"P27", "TP27x"},
    {"PI28F", "TPi28fxxx"},
    {"P29F", "TP29fxxx"},
    {"MX29F", "TMx29fxxx1"},
    {"P24C310", "TP24c0x310"},
    {"P24", "TP24c0x"},
    {"AT29CX", "TP29cx"},
    {"AT29C256", "TP29c256"},
    {"AT28CX", "TP28cx"},
    {"P2816", "TP2816x"},
    {"P22V10", "TP22V10x"},
    {"GAL3M", "TGALx"},
    {"PHI89C51", "TPhi89c5x"},
    {"P16C84", "TP16c8x"},
    {"P16C54", "TP16c54x"},
    {"P16C57", "TP16c57x"},
    {"P16C61", "TP16c6x"},
    {"P93", "TP93cxx"},
    {"P93C310", "TP93cxx310"},
    {"P93X16", "TP93x16"},
    {"P93C310X16", "TP93x16x310x"},
    {"MDT2000", "TMdt20xx"},
    {"MDT2051", "TMdt2051x"},
    {"PHI87LP", "TPhi87lpx"},
    {"SST89C5X", "TSST89c5x1"},
    {"P12C508", "TP12c508x"},
    {"EMC78P156E", "TEm78p156"},
    {"EMC78P447", "TEm78p447"},
    {"PHI8758", "TPhi875x"},
    {"DSRAM", "TDsRAM"},
    {"TESTRAM", "TDsRAM"},
    {"MSU2958", "TMsu2958x"},
    {"PSM2952", "TSm2952"},
    {"MSU2964", "TMsu2964x"},
    {"W78E516", "TW78e516x"},
    {"AMI22CV10", "TAmi22cv10x"},
    {"PALCEGAL", "TPalceGALx"},
    {"X28C", "TX28cx1"},
    {"AT89X8252", "TAt89x8252x"},
    {"P16F87X", "TP16f87x"},
    {"P29EEX", "TSst29eex"},
    {"SST29EE", "TSst29eex"},
    {"SST27SF", "TP27sfx"},
    {"PHI89RX2", "TPhi89c51rx2"},
    {"PHI89NEW", "TPhi89new"},
    {"PHI87591", "TPhi87c591x"},
    {"V87C58", "TV87c58x"},
    {"P16F7X", "TP16f7x1"},
    {"SST29XF", "Tsst29xf1"},
    {"V29C51004", "Tv29c51004x"},
    {"SM8951", "TSm8951x"},
    {"SM89516", "TSm89516x"},
    {"SM59064", "TSm59064x"},
    {"SM59264", "TSm59264x"},
    {"W29C", "TW29cx"},
    {"CR80PX00", "TCr80px00x"},
    {"P16F628", "TP16f628x"},
    {"AT28C256", "TAt28c256x"},
    {"I82802", "TI82802ax"},
    {"AT90S", "TAT90sx"},
    {"AT90S8515", "TAt90s8515x"},
    {"AT90S8515S", "TAt90s8515x_vex310"},
    {"AT90S8535", "TAt90s8535x"},
    {"AT90S2333", "TAt90s2333x"},
    {"ATINY28", "TAtiny28x"},
    {"ATINY1", "TAtiny1x"},
    {"ATINY2", "TAtiny2x"},
    {"ATMEGAX", "TAtmegax"},
    {"ATMEGA163", "TAtmega163x"},
    {"ATMEGA162", "TAtmega162x"},
    {"ATMEGA161", "TAtmega161x"},
    {"AT90S2323", "TAt90s2323x"},
    {"AT90S2323HI", "TAt90s2323Hix"},
    {"IS89C52", "TIS89c52ax"},
    {"SST49LF008", "TSst49lf008x"},
    {"PIC16FEE", "TP16fEEx"},
    {"PIC16F", "TP16fx"},
    {"PIC1687XA", "TP16f87xa1"},
    {"AT89S5X", "TAt89s5x1"},
    {"AT89C51RD2", "TAt89c51rd2x"},
    {"AT89C51RC2", "TAt89c51rc2x"},
    {"P16C505", "TP16c505x"},
    {"PIC12F", "TP12fxxx"},
    {"PIC16F630", "TP16f630x"},
    {"SST89E554", "TSST89e554x"},
    {"SST89E564", "TSST89e564x"},
    {"P89C51RX2XX", "TPhi89c51rx2xx1"},
    {"F640", "TF640x"},
    {"MX29X161X", "TMx29x161x1"},
    {"I27CX", "Ti27cx"},
    {"P29F640", "TP29f640x"},
    {"HN29AND", "THn29w25611x"},
    {"AT25SPI", "TAt25spi1"},
    {"ACTRANS25", "TActrans25x"},
    {"P89LPC932", "TP89lpc932"},
    {"P89LPCSPI", "TP89lpc9xxSPI"},
    {"P16F628A", "TP16f628a1"},
    {"P18FXX2", "TP18fxx2"},
    {"P18CXXX", "TP18cxxx"},
    {"P17C4X", "TP17c4x"},
    {"EMC78P153", "TEm78p153x"},
    {"EMC78P458", "TEm78p458x"},
    {"P16CXXX", "TP16cxxx1"},
    {"AMD29f040", "TAMD29f040x"},
    {"X5045", "TX5045x"},
    {"HTOTP", "THoltekOTP1"},
    {"DS89C4X0", "TDs89c4xx"},
    {"DS87C520", "TDs87c520x"},
    {"XC95X", "TXc95x"},
    {"SST28VF040", "TSst28vf040"},
    {"PIC16F5X", "TP16f5x"},
};

}  // namespace

const std::vector<DispatchRow>& DispatchTable() {
    static const std::vector<DispatchRow> rows(std::begin(Table), std::end(Table));
    return rows;
}

bool IsDispatchClass(const std::string& className) {
    for (const auto& row : Table)
        if (className == row.ClassName) return true;
    return false;
}

const char* ClassForKeyword(const std::string& keyword) {
    for (const auto& row : Table)
        if (keyword == row.Keyword) return row.ClassName;
    return nullptr;
}

FormRegistry& FormRegistry::Global() {
    static FormRegistry registry;
    return registry;
}

bool FormRegistry::Add(const std::string& className, FormFactory factory) {
    if (!factory || !IsDispatchClass(className) || Lookup(className)) {
        refused_.push_back(className);
        return false;
    }
    factories_.emplace_back(className, std::move(factory));
    return true;
}

const FormFactory* FormRegistry::Lookup(const std::string& className) const {
    for (const auto& f : factories_)
        if (f.first == className) return &f.second;
    return nullptr;
}

std::vector<std::string> FormRegistry::Names() const {
    std::vector<std::string> names;
    for (const auto& f : factories_) names.push_back(f.first);
    return names;
}

std::vector<std::string> FormRegistry::RefusedNames() const { return refused_; }

std::string FormDispatch::WhyNoForm(const std::string& paramString) const {
    // "---" is what a device line without a comma gets.
    if (paramString.empty() || paramString == "---") return "no parameters";
    const ParsedParams p = ParseParamString(paramString);
    if (p.HasBlank && p.DeviceKeyword.empty()) return "no keyword in front of the variant number";
    const std::string keyword = ShortForMessage(p.HasBlank ? p.DeviceKeyword : paramString, 40);
    if (!p.HasBlank || !p.HasVariant) return "no variant number after the keyword " + keyword;
    for (const auto& row : Table)
        if (p.DeviceKeyword == row.Keyword && registry_.Lookup(row.ClassName)) return {};
    return "the keyword " + keyword + " names no form";
}

AlgorithmForm* FormDispatch::OpenAlgorithmForm() {
    Selection& sel = wb_.sel;
    const std::string params = sel.ParamString;  // work on a copy
    if (!WhyNoForm(params).empty()) return nullptr;
    sel.AdapterLabel.clear();
    ParsedParams p = ParseParamString(params);
    sel.VariantIndex = p.VariantIndex;
    sel.DeviceKeyword = p.DeviceKeyword;
    sel.ExpectedId = p.ExpectedId;

    AlgorithmForm* opened = nullptr;
    for (const auto& row : Table) {
        if (sel.DeviceKeyword != row.Keyword) continue;
        const FormFactory* factory = registry_.Lookup(row.ClassName);
        if (!factory) continue;  // the class is not built: like a keyword without a row
        auto& slot = forms_[row.ClassName];
        if (!slot) {
            slot = (*factory)(wb_);
            if (!slot) {
                forms_.erase(row.ClassName);
                continue;
            }
            slot->Host = Host;
            slot->ClassName = row.ClassName;
        }
        // The programmer as the previous form left it is not what this one
        // expects: what it switched on goes off first.
        if (!lastSetUp_.empty() && lastSetUp_ != row.ClassName) wb_.Ep3.ReleaseOutputs();
        lastSetUp_ = row.ClassName;
        slot->Show();
        slot->SetupForDevice();
        slot->DeviceSetUp();
        opened = slot.get();
    }
    sel.AdapterLabel = AdapterFor(params, sel.TypeText);
    return opened;
}

void FormDispatch::ReleaseBeforeOpening(const std::string& paramString) {
    const ParsedParams p = ParseParamString(paramString);
    if (!p.HasBlank) return;
    for (const auto& row : Table) {
        if (p.DeviceKeyword != row.Keyword || !registry_.Lookup(row.ClassName)) continue;
        if (!lastSetUp_.empty() && lastSetUp_ != row.ClassName) {
            wb_.Ep3.ReleaseOutputs();
            lastSetUp_.clear();
        }
        return;
    }
}

AlgorithmForm* FormDispatch::Open(const std::string& paramString) {
    wb_.sel.ParamString = paramString;
    return OpenAlgorithmForm();
}

AlgorithmForm* FormDispatch::Form(const std::string& className) const {
    auto it = forms_.find(className);
    return it == forms_.end() ? nullptr : it->second.get();
}

}  // namespace quilla
