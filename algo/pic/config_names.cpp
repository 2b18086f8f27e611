#include "algo/pic/config_names.h"

namespace quilla {

namespace {

// The caption columns, bit 0 first.
const ConfigCaptions kA{"FOSC0", "FOSC1", "WDTEN", "PWRTE", "CP0", "CP1", "BODEN", "LVP",
                        "CPD",   "WRT",   "-",     "RESV",  "CP0", "CP1", "-",     "-"};
const ConfigCaptions kB{"FOSC0", "FOSC1", "WDTEN", "PWRTE", "-", "-", "BODEN", "LVP",
                        "CPD",   "WRT0",  "WRT1",  "DEBUG", "-", "CP", "-",    "-"};
const ConfigCaptions kC{"FOSC0", "FOSC1", "WDTEN", "PWRTE", "CP0", "-", "BODEN", "-",
                        "-",     "-",     "-",     "-",     "-",   "-", "-",     "-"};
const ConfigCaptions kD{"FOSC0", "FOSC1", "WDTEN", "PWRTE", "CP", "CP", "CP", "CP",
                        "CP",    "CP",    "CP",    "CP",    "CP", "CP", "-",  "-"};
const ConfigCaptions kE{"FOSC0", "FOSC1", "WDTEN", "PWRTE", "CP", "CP", "CP", "DP",
                        "CP",    "CP",    "CP",    "CP",    "CP", "CP", "-",  "-"};
const ConfigCaptions kF{"FOSC0", "FOSC1", "WDTEN", "PWRTE", "-", "-",  "BOREN", "BORV",
                        "-",     "-",     "-",     "-",     "-", "CP", "-",     "-"};
const ConfigCaptions kG{"FOSC0", "FOSC1", "WDTEN", "PWRTE", "FOSC2", "MCLRE", "BODEN", "LVP",
                        "CPD",   "-",     "CP0",   "CP1",   "CP0",   "CP1",   "-",     "-"};
const ConfigCaptions kH{"FOSC0", "FOSC1", "WDTEN", "PWRTE", "FOSC2", "MCLRE", "BODEN", "LVP",
                        "CPD",   "-",     "-",     "-",     "-",     "CP",    "-",     "-"};
const ConfigCaptions kJ{"FOSC0", "FOSC1", "WDTEN", "PWRTE", "FOS2",  "MCLRE", "BODEN", "LVP",
                        "CPD",   "WRT0",  "WRT1",  "DEBUG", "CCPMX", "CP",    "-",     "-"};
const ConfigCaptions kK{"FOSC0", "FOSC1", "WDTEN", "PWRTE", "FOSC2", "MCLRE", "BODEN", "LVP",
                        "CPD",   "-",     "-",     "-",     "-",     "CP",    "",      ""};
// The PIC12F6xx word (bandgap bits 13-12).
const ConfigCaptions kL{"FOSC0", "FOSC1", "FOSC2", "WDTEN", "PWRTE", "MCLRE", "BODEN", "CP",
                        "CPD",   "-",     "-",     "-",     "BG0",   "BG1",   "-",     "-"};
const ConfigCaptions kEmpty{};

using Index = std::array<const ConfigCaptions*, 10>;
const Index kP16fEEx{&kA, &kB, &kC, &kB, &kD, &kE, &kG, &kH, &kJ, &kL};
const Index kP16fx{&kA, &kB, &kC, &kB, &kD, &kE, &kF, &kEmpty, &kEmpty, &kEmpty};
const Index kP16f87xa1{&kA, &kB, &kC, &kB, &kD, &kE, &kG, &kH, &kJ, &kEmpty};
const Index kP16f628a1{&kK, &kEmpty, &kEmpty, &kEmpty, &kEmpty, &kEmpty, &kEmpty, &kEmpty, &kEmpty, &kEmpty};
// PIC12F and PIC16F630 (one filled set).
const Index kP12fxxx{&kL, &kEmpty, &kEmpty, &kEmpty, &kEmpty, &kEmpty, &kEmpty, &kEmpty, &kEmpty, &kEmpty};

}  // namespace

const ConfigCaptions& ConfigBitNames(ConfigNameForm form, int cfg) {
    const std::size_t s = cfg >= 0 && cfg <= 9 ? static_cast<std::size_t>(cfg) : 0;
    switch (form) {
        case ConfigNameForm::P16fEEx: return *kP16fEEx[s];
        case ConfigNameForm::P16fx: return *kP16fx[s];
        case ConfigNameForm::P16f87xa1: return *kP16f87xa1[s];
        case ConfigNameForm::P16f628a1: return *kP16f628a1[s];
        case ConfigNameForm::P12fxxx: return *kP12fxxx[s];
    }
    return kEmpty;
}

}  // namespace quilla
