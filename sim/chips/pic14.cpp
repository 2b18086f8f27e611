#include "sim/chips/pic14.h"

#include <algorithm>
#include <string>
#include <tuple>

namespace quilla::sim {

namespace {

constexpr Tenths kPowerOnReset = 15;  // below 1.5 V the chip holds nothing

// Command tables. The PIC16F87X programming sheet marks the top two bits of the
// loads, reads and the increment as don't-care ("x x 0 0 1 0"); the
// PIC16F83/84/84A table gives all six bits.
constexpr std::uint8_t kAll = 0x3F, kLow4 = 0x0F;

std::vector<PicCommandCode> Table16F8x() {
    return {{kAll, 0x00, PicOp::LoadConfig},        {kAll, 0x02, PicOp::LoadProgram},
            {kAll, 0x03, PicOp::LoadData},          {kAll, 0x04, PicOp::ReadProgram},
            {kAll, 0x05, PicOp::ReadData},          {kAll, 0x06, PicOp::Increment},
            {kAll, 0x08, PicOp::BeginEraseProgram}, {kAll, 0x18, PicOp::BeginProgramOnly},
            {kAll, 0x09, PicOp::BulkEraseProgram},  {kAll, 0x0B, PicOp::BulkEraseData},
            {kAll, 0x01, PicOp::EraseSetup1},       {kAll, 0x07, PicOp::EraseSetup2}};
}

std::vector<PicCommandCode> Table16F87x() {
    return {{kLow4, 0x00, PicOp::LoadConfig},       {kLow4, 0x02, PicOp::LoadProgram},
            {kLow4, 0x03, PicOp::LoadData},         {kLow4, 0x04, PicOp::ReadProgram},
            {kLow4, 0x05, PicOp::ReadData},         {kLow4, 0x06, PicOp::Increment},
            {kAll, 0x08, PicOp::BeginEraseProgram}, {kAll, 0x18, PicOp::BeginProgramOnly},
            {kAll, 0x01, PicOp::EraseSetup1},       {kAll, 0x07, PicOp::EraseSetup2}};
}

// PIC16F83/84/84A: CP is bits 13-4, all programmed together; any of them
// programmed protects the whole program memory.
int ProtectAllByCp13to4(std::uint16_t config, int words) {
    return (config & 0x3FF0) == 0x3FF0 ? words : 0;
}

// PIC16F87X: CP1:CP0 (bits 13-12, repeated at 5-4): 11 none, 10 the top 256
// words, 01 the upper half, 00 all. The stricter of the two copies counts.
int ProtectByCp1Cp0(std::uint16_t config, int words) {
    const int cp = ((config >> 12) & 3) & ((config >> 4) & 3);
    switch (cp) {
        case 3: return words;
        case 2: return words - 256;
        case 1: return words / 2;
        default: return 0;
    }
}

// PIC16C84: CP is bit 4 alone; bits 13-5 are not implemented.
int ProtectAllByBit4(std::uint16_t config, int words) { return (config & 0x0010) ? words : 0; }

// PIC16F627/628: CP1:CP0 (bits 13-12, repeated at 11-10): 11 none, 10 the upper
// half, 01 the upper three quarters, 00 all.
int ProtectBy62x(std::uint16_t config, int words) {
    const int cp = ((config >> 12) & 3) & ((config >> 10) & 3);
    switch (cp) {
        case 3: return words;
        case 2: return words / 2;
        case 1: return words / 4;
        default: return 0;
    }
}

std::vector<PicCommandCode> Table16F62x() {
    auto t = Table16F87x();
    t.push_back({kAll, 0x09, PicOp::BulkEraseProgram});
    t.push_back({kAll, 0x0B, PicOp::BulkEraseData});
    return t;
}

// PIC16F7X: every code with the top two bits don't-care ("x x 1 0 0 0"), so
// the F-form bytes of the forms reach the same commands; begin programming is
// externally timed and bulk erase self-timed. No data memory commands.
std::vector<PicCommandCode> Table16F7x() {
    return {{kLow4, 0x00, PicOp::LoadConfig},    {kLow4, 0x02, PicOp::LoadProgram},
            {kLow4, 0x04, PicOp::ReadProgram},   {kLow4, 0x06, PicOp::Increment},
            {kLow4, 0x08, PicOp::BeginExternal}, {kLow4, 0x0E, PicOp::EndProgramming},
            {kLow4, 0x09, PicOp::BulkEraseSelfTimed}};
}

// PIC16F87XA (DS39589): loads, reads and the increment with the top two bits
// don't-care; begin erase/programming (internally timed), begin programming
// only (externally timed, closed by end programming), the self-timed bulk
// and chip erases.
std::vector<PicCommandCode> Table16F87xA() {
    return {{kLow4, 0x00, PicOp::LoadConfig},         {kLow4, 0x02, PicOp::LoadProgram},
            {kLow4, 0x03, PicOp::LoadData},           {kLow4, 0x04, PicOp::ReadProgram},
            {kLow4, 0x05, PicOp::ReadData},           {kLow4, 0x06, PicOp::Increment},
            {kAll, 0x08, PicOp::BeginEraseProgram},   {kAll, 0x18, PicOp::BeginExternal},
            {kAll, 0x17, PicOp::EndProgramming},      {kAll, 0x1F, PicOp::ChipEraseNow},
            {kAll, 0x09, PicOp::BulkEraseProgramNow}, {kAll, 0x0B, PicOp::BulkEraseDataNow}};
}

// PIC16F627A/628A/648A (DS41196) and PIC12F629/675, PIC16F630/676 (DS41191):
// every code with the top two bits don't-care; begin programming (x x 1 0 0 0)
// is internally timed, the bulk erases are self-timed.
std::vector<PicCommandCode> TableVppFirst() {
    return {{kLow4, 0x00, PicOp::LoadConfig},          {kLow4, 0x02, PicOp::LoadProgram},
            {kLow4, 0x03, PicOp::LoadData},            {kLow4, 0x04, PicOp::ReadProgram},
            {kLow4, 0x05, PicOp::ReadData},            {kLow4, 0x06, PicOp::Increment},
            {kLow4, 0x08, PicOp::BeginEraseProgram},   {kLow4, 0x09, PicOp::BulkEraseProgramNow},
            {kLow4, 0x0B, PicOp::BulkEraseDataNow}};
}

// CP in bit 13 alone (PIC16F87XA, PIC16F627A/628A/648A): programmed protects all.
int ProtectAllByBit13(std::uint16_t config, int words) { return (config & 0x2000) ? words : 0; }
// CP in bit 7 (PIC12F629/675, PIC16F630/676).
int ProtectAllByBit7(std::uint16_t config, int words) { return (config & 0x0080) ? words : 0; }

// The internal oscillator (FOSC 100 or 101) with MCLR as an input (MCLRE 0):
// FOSC2 in bit 4 on the PIC16F62xA, in bit 2 on the PIC12F6xx/PIC16F630.
bool IntOscNoMclr62xA(std::uint16_t c) {
    const int fosc = ((c >> 2) & 4) | (c & 3);
    return (fosc == 4 || fosc == 5) && !(c & 0x20);
}
bool IntOscNoMclr675(std::uint16_t c) {
    const int fosc = c & 7;
    return (fosc == 4 || fosc == 5) && !(c & 0x20);
}

// PIC16C6X/7X/62X one-time-programmable parts (DS30228): load configuration,
// load data, read data, increment, begin programming and end programming,
// all six bits given; no erase, no data memory commands.
std::vector<PicCommandCode> Table16COtp() {
    return {{kAll, 0x00, PicOp::LoadConfig},    {kAll, 0x02, PicOp::LoadProgram},
            {kAll, 0x04, PicOp::ReadProgram},   {kAll, 0x06, PicOp::Increment},
            {kAll, 0x08, PicOp::BeginExternal}, {kAll, 0x0E, PicOp::EndProgramming}};
}

// CP1:CP0 in bits 5-4 only (PIC16C62/64/65/73/74): 11 none, 10 the upper
// half, 01 the upper three quarters, 00 all.
int ProtectByCp54(std::uint16_t config, int words) {
    switch ((config >> 4) & 3) {
        case 3: return words;
        case 2: return words / 2;
        case 1: return words / 4;
        default: return 0;
    }
}

std::vector<Pic14Part> BuildParts() {
    std::vector<Pic14Part> v;
    // PIC16C84 (DS30189) and PIC16F83/84 (DS30262): no device ID (2006h reads
    // 3FFFh). Erase/program cycle 10 ms (the PIC16C84 form waits 10 or 20 ms),
    // bulk erase 8 ms (10 ms waited), data EEPROM write 10 ms (10 ms waited).
    v.push_back({"PIC16C84", 18, {14}, {5}, 4, 12, 13, 1024, 1, 64, 0x3FFF, 0x001F, Table16F8x(), &ProtectAllByBit4,
                 -1, 0x0010, 120, 140, false, 45, 55, 20, 10 * Millisecond, 8 * Millisecond, 10 * Millisecond, 75,
                 75, 140});
    for (auto [name, words] : {std::pair{"PIC16F83", 512}, {"PIC16F84", 1024}})
        v.push_back({name, 18, {14}, {5}, 4, 12, 13, words, 1, 64, 0x3FFF, 0x3FFF, Table16F8x(), &ProtectAllByCp13to4, -1,
                     0x3FF0, 120, 140, false, 45, 55, 20, 10 * Millisecond, 8 * Millisecond, 10 * Millisecond, 75,
                     75, 140});
    // PIC16F84A (DS30262; ratings DS35007): VIHH 12-14 V, program VDD
    // 4.5-5.5 V, reads from 2.0 V. Erase/program and program-only cycles 4 ms
    // typical (the forms wait 10 ms and more), bulk erase 8 ms (10 ms waited),
    // data EEPROM write 4 ms.
    v.push_back({"PIC16F84A", 18, {14}, {5}, 4, 12, 13, 1024, 1, 64, 0x0560, 0x3FFF, Table16F8x(),
                 &ProtectAllByCp13to4, -1, 0x3FF0, 120, 140, false, 45, 55, 20, 4 * Millisecond, 8 * Millisecond,
                 4 * Millisecond, 75, 75, 140});
    // PIC16F870-877 (DS39025; ratings DS30292): VIHH from VDD + 3.5 V to 13.5 V,
    // program VDD 4.5-5.5 V, reads from 2.0 V. The program-only cycle is 4 ms
    // typical, lowered to 1 ms: the PIC16FEE form waits dly= x 1 ms per word
    // without polling. Bulk erase 8 ms (10 ms waited), data EEPROM write 4 ms
    // (10 ms waited). CPD is bit 8, bit 10 is not implemented.
    struct F87x {
        const char* name;
        int pins, words, ee;
        std::uint16_t id;
    };
    for (const F87x& f : {F87x{"PIC16F870", 28, 2048, 64, 0x0D00}, F87x{"PIC16F871", 40, 2048, 64, 0x0D20},
                          F87x{"PIC16F872", 28, 2048, 64, 0x08E0}, F87x{"PIC16F873", 28, 4096, 128, 0x0960},
                          F87x{"PIC16F874", 40, 4096, 128, 0x0920}, F87x{"PIC16F876", 28, 8192, 256, 0x09E0},
                          F87x{"PIC16F877", 40, 8192, 256, 0x09A0}}) {
        const bool dip40 = f.pins == 40;
        v.push_back({f.name, f.pins, dip40 ? std::vector<int>{11, 32} : std::vector<int>{20},
                     dip40 ? std::vector<int>{12, 31} : std::vector<int>{8, 19}, 1, dip40 ? 39 : 27,
                     dip40 ? 40 : 28, f.words, 1, f.ee, f.id, 0x3BFF, Table16F87x(), &ProtectByCp1Cp0, 8, 0x3130, 35,
                     135, true, 45, 55, 20, 1 * Millisecond, 8 * Millisecond, 4 * Millisecond, 75, 75, 140});
    }
    // PIC16F627/628 (DS30034): VIHH from VDD + 3.5 V to 13.5 V (the P16F628
    // form sets 10 V), program VDD 4.5-5.5 V. Program-only cycle 4 ms (the form
    // waits 4 ms), bulk erase 8 ms and data EEPROM write 4 ms (10 ms waited).
    // CPD is bit 8.
    for (auto [name, words, id] : {std::tuple{"PIC16F627", 1024, 0x07A0}, {"PIC16F628", 2048, 0x07C0}})
        v.push_back({name, 18, {14}, {5}, 4, 12, 13, words, 1, 128, static_cast<std::uint16_t>(id), 0x3DFF,
                     Table16F62x(), &ProtectBy62x, 8, 0x3D00, 35, 135, true, 45, 55, 20, 4 * Millisecond,
                     8 * Millisecond, 4 * Millisecond, 75, 75, 140});
    // PIC16F72/73/74/76/77 (DS30324; data sheet DS30325 for the configuration
    // word and the ratings: VDD -0.3..6.5 V, MCLR 0..13.5 V, other pins VDD + 0.3 V).
    // Configuration: bits 1-0 FOSC, 2 WDTEN, 3 PWRTEN, 4 CP0 (all program memory),
    // 6 BOREN; bits 5 and 13-7 read 1. Two write latches: begin programming
    // (externally timed, at least 1 ms; the forms wait 3 ms) programs the pair of
    // the address, end programming closes it. Bulk erase 30 ms (the forms wait
    // 300 ms). VIHH from VDD + 3.5 V to 13.5 V; program VDD 4.5-5.5 V, and 4.4 V
    // is accepted (family rule 8: the PIC16F form programs at 4.4 V).
    struct F7x {
        const char* name;
        int pins, words;
        std::uint16_t id;
    };
    for (const F7x& f : {F7x{"PIC16F72", 28, 2048, 0x00A0}, F7x{"PIC16F73", 28, 4096, 0x0600},
                         F7x{"PIC16F74", 40, 4096, 0x0620}, F7x{"PIC16F76", 28, 8192, 0x0640},
                         F7x{"PIC16F77", 40, 8192, 0x0660}}) {
        const bool dip40 = f.pins == 40;
        v.push_back({f.name, f.pins, dip40 ? std::vector<int>{11, 32} : std::vector<int>{20},
                     dip40 ? std::vector<int>{12, 31} : std::vector<int>{8, 19}, 1, dip40 ? 39 : 27,
                     dip40 ? 40 : 28, f.words, 2, 0, f.id, 0x005F, Table16F7x(), &ProtectAllByBit4, -1, 0x0010, 35,
                     135, true, 44, 55, 20, 1 * Millisecond, 30 * Millisecond, 0, 68, 65, 135});
    }
    // PIC16F873A/874A/876A/877A (DS39589; ratings DS39582): eight write latches
    // chosen by the address's low three bits. Begin programming only is
    // externally timed (1 ms; the forms wait dly= ms), closed by end programming
    // (17h); the PIC1687XA form steps the counter before it ends a data EEPROM
    // write, and the cycle goes on (accepted as the form sends it). Chip erase
    // (1Fh) 8 ms, 10 ms waited; EEPROM 4 ms. Configuration: bits 1-0 FOSC,
    // 2 WDTE, 3 PWRTE, 6 BOREN, 7 LVP, 8 CPD, 10-9 WRT, 11 DEBUG, 13 CP; bits 5-4
    // and 12 read 1. VIHH from VDD + 3.5 V to 13.5 V, program VDD 4.5-5.5 V.
    for (const F87x& f : {F87x{"PIC16F873A", 28, 4096, 128, 0x0E40}, F87x{"PIC16F874A", 40, 4096, 128, 0x0E60},
                          F87x{"PIC16F876A", 28, 8192, 256, 0x0E00}, F87x{"PIC16F877A", 40, 8192, 256, 0x0E20}}) {
        const bool dip40 = f.pins == 40;
        Pic14Part p{f.name, f.pins, dip40 ? std::vector<int>{11, 32} : std::vector<int>{20},
                    dip40 ? std::vector<int>{12, 31} : std::vector<int>{8, 19}, 1, dip40 ? 39 : 27,
                    dip40 ? 40 : 28, f.words, 8, f.ee, f.id, 0x2FCF, Table16F87xA(), &ProtectAllByBit13, 8, 0x2100, 35,
                    135, true, 45, 55, 20, 1 * Millisecond, 8 * Millisecond, 4 * Millisecond, 75, 75, 140};
        p.externalTakesIncrement = true;
        v.push_back(std::move(p));
    }
    // PIC16F627A/628A/648A (DS41196; ratings DS40044: VDD 6.5 V, MCLR 14.0 V,
    // other pins VDD + 0.3 V): entered VPP first, or VDD first unless the
    // configuration selects the internal oscillator with MCLR off.
    // Configuration: bits 1-0 and 4 FOSC, 2 WDTE, 3 PWRTE, 5 MCLRE, 6 BOREN,
    // 7 LVP, 8 CPD, 13 CP; bits 12-9 read 1. Programming 4 ms (the form waits
    // dly= ms), bulk erase 6 ms and EEPROM writes 6 ms (10 ms waited).
    // VIHH from 10 V; the form's 12.7 V is accepted up to 13.5 V (family rule 8),
    // as is its program VDD of 4.4 V (the window is 4.5-5.5 V).
    for (auto [name, words, ee, id] : {std::tuple{"PIC16F627A", 1024, 128, 0x1040}, {"PIC16F628A", 2048, 128, 0x1060},
                                       {"PIC16F648A", 4096, 256, 0x1100}}) {
        Pic14Part p{name, 18, {14}, {5}, 4, 12, 13, words, 1, ee, static_cast<std::uint16_t>(id), 0x21FF,
                    TableVppFirst(), &ProtectAllByBit13, 8, 0x2100, 100, 135, false, 44, 55, 20, 4 * Millisecond,
                    6 * Millisecond, 6 * Millisecond, 68, 65, 140};
        p.vppFirst = true;
        p.refusesVddFirst = &IntOscNoMclr62xA;
        v.push_back(std::move(p));
    }
    // PIC12F629/675 and PIC16F630/676 (DS41191; ratings DS41190/DS40039: VDD
    // 6.5 V, MCLR 13.5 V): entered as the PIC16F62xA. The last program word
    // holds the factory oscillator calibration (RETLW 34xxh at 3FFh), erased by
    // a bulk erase like any word. Configuration: bits 2-0 FOSC, 3 WDTE, 4 PWRTE,
    // 5 MCLRE, 6 BODEN, 7 CP, 8 CPD, 13-12 the factory bandgap calibration
    // (shipped 11b here: the word reads 31FFh); bits 11-9 read 0. Programming
    // 2.5 ms typical, lowered to 1 ms (family rule 8: the PIC12F form's dly=1
    // with "Fast写" waits one 1 ms); bulk erase and EEPROM writes 6 ms (10 ms
    // waited). The 14-pin parts sit as "16f630.bmp" shows: chip pins 1-7 on
    // socket pins 27-33, 8-14 on 8-14.
    struct F675 {
        const char* name;
        int pins;
        std::uint16_t id;
    };
    for (const F675& f : {F675{"PIC12F629", 8, 0x0F80}, F675{"PIC12F675", 8, 0x0FC0}, F675{"PIC16F630", 14, 0x10C0},
                          F675{"PIC16F676", 14, 0x10E0}}) {
        const bool p8 = f.pins == 8;
        Pic14Part p{f.name, f.pins, {1}, {p8 ? 8 : 14}, 4, p8 ? 6 : 12, p8 ? 7 : 13, 1024, 1, 128, f.id, 0x31FF,
                    TableVppFirst(), &ProtectAllByBit7, 8, 0x0180, 100, 135, false, 45, 55, 20, 1 * Millisecond,
                    6 * Millisecond, 6 * Millisecond, 68, 65, 135};
        p.vppFirst = true;
        p.refusesVddFirst = &IntOscNoMclr675;
        p.configZeros = 0x0E00;
        p.factoryLastWord = 0x3480;
        if (!p8) p.placement = {27, 28, 29, 30, 31, 32, 33, 8, 9, 10, 11, 12, 13, 14};
        v.push_back(std::move(p));
    }
    // PIC16C61-77 and PIC16C620-622, one-time programmable (DS30228; ratings
    // of their data sheets: VDD 7.5 V, MCLR 14.0 V, other pins VDD + 0.3 V): no
    // erase, no data EEPROM, no device ID (2006h reads 3FFFh). Begin programming
    // (08h) and end programming (0Eh) frame a pulse; the cells AND the loaded
    // word once the pulses add up to the minimum time. The programming sheet asks
    // 100 us pulses at VPP 13.0 V +- 0.25 V and VDD 4.75-5.25 V; the OTP forms
    // give one to three waits of 10 us at 12.0 V and 4.4 V, accepted (family
    // rule 8): 10 us, MCLR 12.0-13.5 V, program VDD 4.4-5.5 V. Configuration:
    // FOSC 1-0, WDTE 2, PWRTE 3; CP in bit 4 (PIC16C61/71), CP1:CP0 in bits 5-4
    // (PIC16C62/64/65/73/74), or repeated in bits 13-12, 11-10, 9-8, 5-4 with
    // BODEN in bit 6 (the A parts, PIC16C72/76/77 and PIC16C62x).
    struct COtp {
        const char* name;
        int pins, words;
        std::uint16_t configMask;
        int (*protect)(std::uint16_t, int);
    };
    for (const COtp& c : {COtp{"PIC16C61", 18, 1024, 0x001F, &ProtectAllByBit4},
                          COtp{"PIC16C71", 18, 1024, 0x001F, &ProtectAllByBit4},
                          COtp{"PIC16C620", 18, 512, 0x3F7F, &ProtectByCp1Cp0},
                          COtp{"PIC16C621", 18, 1024, 0x3F7F, &ProtectByCp1Cp0},
                          COtp{"PIC16C622", 18, 2048, 0x3F7F, &ProtectByCp1Cp0},
                          COtp{"PIC16C62", 28, 2048, 0x003F, &ProtectByCp54},
                          COtp{"PIC16C72", 28, 2048, 0x3F7F, &ProtectByCp1Cp0},
                          COtp{"PIC16C73", 28, 4096, 0x003F, &ProtectByCp54},
                          COtp{"PIC16C76", 28, 8192, 0x3F7F, &ProtectByCp1Cp0},
                          COtp{"PIC16C64", 40, 2048, 0x003F, &ProtectByCp54},
                          COtp{"PIC16C64A", 40, 2048, 0x3F7F, &ProtectByCp1Cp0},
                          COtp{"PIC16C65", 40, 4096, 0x003F, &ProtectByCp54},
                          COtp{"PIC16C65A", 40, 4096, 0x3F7F, &ProtectByCp1Cp0},
                          COtp{"PIC16C74", 40, 4096, 0x003F, &ProtectByCp54},
                          COtp{"PIC16C74A", 40, 4096, 0x3F7F, &ProtectByCp1Cp0},
                          COtp{"PIC16C77", 40, 8192, 0x3F7F, &ProtectByCp1Cp0}}) {
        const bool dip40 = c.pins == 40, dip28 = c.pins == 28;
        const std::vector<int> vdd = dip40 ? std::vector<int>{11, 32} : dip28 ? std::vector<int>{20} : std::vector<int>{14};
        const std::vector<int> vss = dip40 ? std::vector<int>{12, 31} : dip28 ? std::vector<int>{8, 19} : std::vector<int>{5};
        const int mclr = c.pins == 18 ? 4 : 1;
        const int clock = dip40 ? 39 : dip28 ? 27 : 12;
        v.push_back({c.name, c.pins, vdd, vss, mclr, clock, clock + 1, c.words, 1, 0, 0x3FFF, c.configMask,
                     Table16COtp(), c.protect, -1, 0x3F30, 120, 135, false, 44, 55, 20, 10 * Microsecond, 0, 0, 75,
                     75, 140});
    }
    return v;
}

}  // namespace

const std::vector<Pic14Part>& Pic14Parts() {
    static const std::vector<Pic14Part> parts = BuildParts();
    return parts;
}

const Pic14Part* FindPic14Part(std::string_view name) {
    for (const auto& p : Pic14Parts())
        if (name == p.name) return &p;
    return nullptr;
}

Pic14Chip::Pic14Chip(const Pic14Part& part)
    : PicWordChip(part), eeprom_(static_cast<std::size_t>(part.eeBytes), 0xFF) {
    for (auto& w : config_) w = ErasedWord;
    config_[6] = part.deviceId;
    config_[7] = part.factoryConfig & ErasedWord;
    if (part.factoryLastWord != 0) SetWord(part.words - 1, part.factoryLastWord);
}

bool Pic14Chip::ProgramProtected(int address) const {
    return address >= part_.protectedFrom(ConfigWord(), part_.words);
}

bool Pic14Chip::DataProtected() const {
    return part_.cpdBit >= 0 && !((ConfigWord() >> part_.cpdBit) & 1u);
}

std::uint16_t Pic14Chip::ReadProgramWord() const {
    if (pc_ >= ConfigBase) {
        const int k = pc_ & 7;
        if (pc_ >= ConfigBase + 8) return ErasedWord;
        if (k == 7)
            return static_cast<std::uint16_t>((ConfigWord() | ~part_.configMask) & ~part_.configZeros & ErasedWord);
        return ConfigArea(k);
    }
    const int a = pc_ % part_.words;
    return ProgramProtected(a) ? 0 : Word(a);
}

void Pic14Chip::PowerDown(ChipPins& pins) { Leave(pins); }

void Pic14Chip::Enter() {
    programMode_ = true;
    pc_ = 0;
    loaded_ = Loaded::None;
    latchLoaded_ = 0;
    eraseSetup_ = 0;
    armedErase_ = PicOp::EraseSetup2;
    shift_ = Shift::Command;
    bits_ = 0;
    shiftReg_ = 0;
}

void Pic14Chip::Leave(ChipPins& pins) {
    if (programMode_ && shift_ == Shift::DataOut) pins.Release(part_.data);
    programMode_ = false;
    busy_ = Busy::None;  // a cycle still running is cut short: nothing changes
    external_ = false;
    shift_ = Shift::Command;
}

void Pic14Chip::OnPinsChanged(ChipPins& pins) {
    Tenths vdd = 0;
    for (int p : part_.vdd) vdd = std::max(vdd, pins.SupplyVoltage(p));
    bool grounded = false;
    for (int p : part_.vss) grounded = grounded || pins.Grounded(p);
    const Tenths mclr = pins.SupplyVoltage(part_.mclr);
    const Tenths low = part_.vihhAboveVdd ? vdd + part_.vihhMin : part_.vihhMin;
    const bool vihh = mclr >= low && mclr <= part_.vihhMax;
    const bool rose = vihh && !vihh_;
    vihh_ = vihh;  // followed with VDD off too: MCLR that rose before VDD enters nothing
    if (!grounded || vdd < kPowerOnReset) {
        powered_ = false;
        PowerDown(pins);
        return;
    }
    const bool poweredUp = !powered_;
    powered_ = true;
    vdd_ = vdd;
    if (!programMode_) {
        // MCLR rising into the window with VDD up and clock and data held low
        // (VDD first), or, on the VPP-first parts, VDD rising with MCLR already
        // inside the window.
        const bool vddFirst = rose && !poweredUp &&
                              !(part_.refusesVddFirst && part_.refusesVddFirst(ConfigWord()));
        const bool vppFirst = part_.vppFirst && vihh && poweredUp;
        if ((vddFirst || vppFirst) && vdd >= part_.readVddMin && !pins.High(part_.clock) && !pins.High(part_.data)) {
            Enter();
            clock_ = false;
        }
        return;
    }
    if (!vihh || vdd < part_.readVddMin) {
        Leave(pins);
        return;
    }
    const bool clk = pins.High(part_.clock);
    if (clk && !clock_) {
        clock_ = true;
        Rising(pins);
    } else if (!clk && clock_) {
        clock_ = false;
        Falling(pins);
    }
}

void Pic14Chip::Rising(ChipPins& pins) {
    // The next command cuts an internally timed cycle short; an externally
    // timed one waits for its end command, a self-timed bulk erase runs on.
    if (shift_ == Shift::Command && bits_ == 0 && busy_ != Busy::None && !external_ && busy_ != Busy::BulkErase &&
        busy_ != Busy::EraseNow)
        busy_ = Busy::None;
    if (shift_ == Shift::DataOut) pins.Drive(part_.data, (frameOut_ >> bits_) & 1u);
}

void Pic14Chip::Falling(ChipPins& pins) {
    const unsigned bit = pins.High(part_.data) ? 1u : 0u;
    switch (shift_) {
        case Shift::Command:
            shiftReg_ |= bit << bits_;
            if (++bits_ == 6) {
                const auto code = static_cast<std::uint8_t>(shiftReg_);
                bits_ = 0;
                shiftReg_ = 0;
                Decode(pins, code);
            }
            break;
        case Shift::DataIn:
            shiftReg_ |= bit << bits_;
            if (++bits_ == 16) {
                const auto data = static_cast<std::uint16_t>((shiftReg_ >> 1) & ErasedWord);
                shift_ = Shift::Command;
                bits_ = 0;
                shiftReg_ = 0;
                Execute(pendingOp_, data);
            }
            break;
        case Shift::DataOut:
            if (++bits_ == 16) {
                pins.Release(part_.data);
                shift_ = Shift::Command;
                bits_ = 0;
            }
            break;
    }
}

void Pic14Chip::Decode(ChipPins& pins, std::uint8_t code) {
    (void)pins;
    const PicCommandCode* hit = nullptr;
    for (const auto& c : part_.commands)
        if ((code & c.mask) == c.value) {
            hit = &c;
            break;
        }
    if (!hit) {  // not in the part's table: ignored
        NoteRefusal(static_cast<std::uint32_t>(pc_), "command code " + std::to_string(code) + " not in the part's table");
        return;
    }
    if (busy_ != Busy::None && external_) {
        if (hit->op == PicOp::EndProgramming) {
            EndExternal();
            return;
        }
        if (hit->op == PicOp::Increment && part_.externalTakesIncrement) {
            pc_ = pc_ >= ConfigBase ? std::min(pc_ + 1, 0x3FFF) : (pc_ + 1) % ConfigBase;
            return;
        }
        busy_ = Busy::None;  // any other command ends the cycle: nothing is programmed
        external_ = false;
        NoteRefusal(static_cast<std::uint32_t>(pc_), "programming cycle ended by another command than end programming");
    }
    pendingOp_ = hit->op;
    switch (hit->op) {
        case PicOp::LoadConfig:
        case PicOp::LoadProgram:
        case PicOp::LoadData:
            shift_ = Shift::DataIn;
            break;
        case PicOp::ReadProgram:
            frameOut_ = static_cast<unsigned>(ReadProgramWord()) << 1;
            shift_ = Shift::DataOut;
            break;
        case PicOp::ReadData: {
            const int i = part_.eeBytes ? pc_ % part_.eeBytes : 0;
            const unsigned b = part_.eeBytes == 0 || DataProtected() ? 0u : eeprom_[static_cast<std::size_t>(i)];
            frameOut_ = b << 1;
            shift_ = Shift::DataOut;
            break;
        }
        default:
            Execute(hit->op, 0);
            break;
    }
}

void Pic14Chip::Execute(PicOp op, std::uint16_t data) {
    if (busy_ == Busy::BulkErase || busy_ == Busy::EraseNow) {  // taken, without effect, while the erase runs
        NoteRefusal(static_cast<std::uint32_t>(pc_), "load while an erase runs");
        return;
    }
    const auto latch = static_cast<std::size_t>(pc_ & (part_.latchWords - 1));
    switch (op) {
        case PicOp::LoadConfig:
            pc_ = ConfigBase;
            latch_[0] = data;
            latchLoaded_ |= 1u;
            loaded_ = Loaded::Config;
            break;
        case PicOp::LoadProgram:
            latch_[latch] = data;
            latchLoaded_ |= 1u << latch;
            loaded_ = Loaded::Program;
            break;
        case PicOp::LoadData:
            dataLatch_ = static_cast<std::uint8_t>(data & 0xFF);
            loaded_ = Loaded::Data;
            break;
        case PicOp::Increment:
            pc_ = pc_ >= ConfigBase ? std::min(pc_ + 1, 0x3FFF) : (pc_ + 1) % ConfigBase;
            break;
        case PicOp::EraseSetup1:
            eraseSetup_ = 1;
            break;
        case PicOp::EraseSetup2:
            eraseSetup_ = eraseSetup_ == 1 ? 2 : 0;
            break;
        case PicOp::BulkEraseProgram:
        case PicOp::BulkEraseData:
            armedErase_ = op;
            break;
        case PicOp::BeginEraseProgram:
        case PicOp::BeginProgramOnly:
        case PicOp::BeginExternal:
            StartCycle(op);
            break;
        case PicOp::BulkEraseSelfTimed:
            StartBulkErase();
            break;
        case PicOp::ChipEraseNow:
        case PicOp::BulkEraseProgramNow:
        case PicOp::BulkEraseDataNow:
            StartEraseNow(op);
            break;
        default:
            break;
    }
}

void Pic14Chip::StartBulkErase() {
    busy_ = Busy::None;
    external_ = false;
    if (vdd_ < part_.progVddMin || vdd_ > part_.progVddMax) return;
    busy_ = Busy::BulkErase;
    bulkWithIds_ = pc_ >= ConfigBase;
    busyTime_ = 0;
    busyNeeded_ = part_.eraseTime;
}

namespace {
constexpr unsigned kScopeProgram = 1, kScopeData = 2, kScopeConfig = 4, kScopeIds = 8;
}  // namespace

void Pic14Chip::StartEraseNow(PicOp op) {
    busy_ = Busy::None;
    external_ = false;
    if (vdd_ < part_.progVddMin || vdd_ > part_.progVddMax) return;
    const bool inConfig = pc_ >= ConfigBase;
    switch (op) {
        case PicOp::ChipEraseNow:
            eraseScope_ = kScopeProgram | kScopeData;
            if (inConfig && loaded_ == Loaded::Config) eraseScope_ |= kScopeConfig | kScopeIds;
            break;
        case PicOp::BulkEraseProgramNow:
            eraseScope_ = kScopeProgram;
            if (inConfig) eraseScope_ |= kScopeConfig | kScopeIds;
            break;
        default:
            eraseScope_ = kScopeData;
            break;
    }
    busy_ = Busy::EraseNow;
    busyTime_ = 0;
    busyNeeded_ = part_.eraseTime;
}

void Pic14Chip::StartCycle(PicOp begin) {
    const bool eraseFirst = begin == PicOp::BeginEraseProgram;
    const bool erase = eraseFirst && (eraseSetup_ == 2 || armedErase_ != PicOp::EraseSetup2);
    const PicOp armed = armedErase_;
    eraseSetup_ = 0;
    armedErase_ = PicOp::EraseSetup2;
    busy_ = Busy::None;
    external_ = false;
    busyTime_ = 0;
    if (vdd_ < part_.progVddMin || vdd_ > part_.progVddMax) {  // outside the programming window
        NoteRefusal(static_cast<std::uint32_t>(pc_), "begin with VDD outside the programming window");
        return;
    }
    if (erase) {
        if (armed == PicOp::BulkEraseData || (armed == PicOp::EraseSetup2 && loaded_ == Loaded::Data)) {
            busy_ = Busy::EraseData;
        } else if (pc_ == ConfigBase + 7 && loaded_ == Loaded::Config) {
            busy_ = Busy::EraseAll;
        } else if (armed == PicOp::BulkEraseProgram || loaded_ == Loaded::Program) {
            busy_ = pc_ >= ConfigBase ? Busy::EraseAll : Busy::EraseProgram;
        } else {
            NoteRefusal(static_cast<std::uint32_t>(pc_), "erase cycle with nothing it applies to loaded");
            return;
        }
        busyNeeded_ = part_.eraseTime;
        return;
    }
    if (loaded_ == Loaded::Data) {
        if (part_.eeBytes == 0) {
            NoteRefusal(static_cast<std::uint32_t>(pc_), "data memory write on a part without data memory");
            return;
        }
        busy_ = Busy::EepromByte;
        external_ = begin == PicOp::BeginExternal;
        busyAddress_ = pc_ % part_.eeBytes;
        busyValue_ = dataLatch_;
        busyNeeded_ = part_.eeWriteTime;
        return;
    }
    if (loaded_ == Loaded::None) {
        NoteRefusal(static_cast<std::uint32_t>(pc_), "begin programming with nothing loaded");
        return;
    }
    // One-latch rows program their latch as often as asked; latch blocks only
    // the latches loaded since the last cycle.
    const unsigned latches = part_.latchWords == 1 ? 1u : latchLoaded_;
    if (latches == 0) return;
    busy_ = Busy::Word;
    andOnly_ = !eraseFirst;
    external_ = begin == PicOp::BeginExternal;
    const int address = pc_ >= ConfigBase ? pc_ : pc_ % part_.words;
    busyAddress_ = address & ~(part_.latchWords - 1);
    busyLatch_ = latch_;
    busyLatches_ = latches;
    if (part_.latchWords > 1) latchLoaded_ = 0;
    busyNeeded_ = part_.programTime;
}

void Pic14Chip::EndExternal() {
    const bool done = static_cast<double>(busyTime_) >= static_cast<double>(busyNeeded_) * SlowFactor();
    if (done) Finish();
    else NoteRefusal(static_cast<std::uint32_t>(busyAddress_), "end programming before the programming time");
    busy_ = Busy::None;
    external_ = false;
}

void Pic14Chip::OnElapsed(ChipPins& pins, Nanos dt) {
    (void)pins;
    if (busy_ == Busy::None || !programMode_) return;
    if (vdd_ < part_.progVddMin || vdd_ > part_.progVddMax) return;
    busyTime_ += dt;
    if (external_) return;  // completed by its end command
    if (static_cast<double>(busyTime_) >= static_cast<double>(busyNeeded_) * SlowFactor()) Finish();
}

void Pic14Chip::Finish() {
    const Busy what = busy_;
    busy_ = Busy::None;
    ++programEvents_;
    switch (what) {
        case Busy::Word:
            if (part_.latchWords == 1) {
                ProgramOne(busyAddress_, busyLatch_[0]);
                return;
            }
            for (int i = 0; i < part_.latchWords; ++i)
                if ((busyLatches_ >> i) & 1u) ProgramOne(busyAddress_ + i, busyLatch_[static_cast<std::size_t>(i)]);
            return;
        case Busy::BulkErase:
            for (int a = 0; a < part_.words; ++a) SetWord(a, ErasedWord);
            std::fill(eeprom_.begin(), eeprom_.end(), 0xFF);
            SetConfigArea(7, ErasedWord);
            if (bulkWithIds_)
                for (int k = 0; k < 4; ++k) SetConfigArea(k, ErasedWord);
            return;
        case Busy::EraseNow: {
            const bool config = (eraseScope_ & kScopeConfig) != 0;
            // Without the configuration a chip erase clears program and data
            // memory whatever the protection; a bulk erase of one of them
            // leaves a protected chip alone.
            const bool chip = (eraseScope_ & (kScopeProgram | kScopeData)) == (kScopeProgram | kScopeData);
            if (!config && !chip && (ConfigWord() & part_.cpMask) != part_.cpMask) return;
            if (eraseScope_ & kScopeProgram)
                for (int a = 0; a < part_.words; ++a) SetWord(a, ErasedWord);
            if (eraseScope_ & kScopeData) std::fill(eeprom_.begin(), eeprom_.end(), 0xFF);
            if (config) SetConfigArea(7, ErasedWord);
            if (eraseScope_ & kScopeIds)
                for (int k = 0; k < 4; ++k) SetConfigArea(k, ErasedWord);
            return;
        }
        case Busy::EepromByte:
            if (!DataProtected()) eeprom_[static_cast<std::size_t>(busyAddress_)] = static_cast<std::uint8_t>(busyValue_);
            return;
        case Busy::EraseAll:
            for (int a = 0; a < part_.words; ++a) SetWord(a, ErasedWord);
            std::fill(eeprom_.begin(), eeprom_.end(), 0xFF);
            for (int k = 0; k < 8; ++k)
                if (k != 6) SetConfigArea(k, ErasedWord);
            return;
        case Busy::EraseProgram:
            // A protected chip is erased only with its configuration.
            if ((ConfigWord() & part_.cpMask) != part_.cpMask) return;
            for (int a = 0; a < part_.words; ++a) SetWord(a, ErasedWord);
            return;
        case Busy::EraseData:
            if ((ConfigWord() & part_.cpMask) != part_.cpMask) return;
            std::fill(eeprom_.begin(), eeprom_.end(), 0xFF);
            return;
        case Busy::None:
            return;
    }
}

void Pic14Chip::ProgramOne(int address, std::uint16_t value) {
    if (address >= ConfigBase) {
        const int k = address - ConfigBase;
        if (k >= 8 || k == 4 || k == 5 || k == 6) {  // unused words and the device ID take nothing
            if (k >= 8 || (value & ErasedWord) != ErasedWord)
                NoteRefusal(static_cast<std::uint32_t>(address), "program at a configuration-area address that takes nothing");
            return;
        }
        const std::uint16_t old = ConfigArea(k);
        std::uint16_t w = andOnly_ ? static_cast<std::uint16_t>(old & value) : value;
        // Programmed protection bits stay programmed until an erase.
        if (k == 7) w = static_cast<std::uint16_t>(w & (old | ~part_.cpMask));
        SetConfigArea(k, w);
        return;
    }
    if (ProgramProtected(address)) {
        NoteRefusal(static_cast<std::uint32_t>(address), "program on code-protected memory");
        return;
    }
    const std::uint16_t old = Word(address);
    SetWord(address, andOnly_ ? static_cast<std::uint16_t>(old & value) : value);
}

void Pic14Chip::OnRemoved() {
    programMode_ = false;
    busy_ = Busy::None;
    vihh_ = false;
}

SeatedPart MakePic14(std::string_view name) {
    const Pic14Part* p = FindPic14Part(name);
    if (!p) return {};
    if (!p->placement.empty()) return {std::make_unique<Pic14Chip>(*p), Placement::Custom(p->name, p->placement)};
    return {std::make_unique<Pic14Chip>(*p), Placement::Dip(p->pins)};
}

// The 44-pin PLCC adapter of the PIC forms ("p44b.bmp", the pic16plcc44 and
// pic18plcc44 designs) wires five nets of the chip: MCLR/VPP to socket pin 22,
// VDD to 11, VSS to 10, RB6 (clock) to 16 and RB7 (data) to 19; the other
// package pins meet nothing. Given in the 40-pin numbering of the part's row.
Placement Plcc44IcspBoard(const Pic14Part& p) {
    std::vector<int> pins(static_cast<std::size_t>(p.pins), 0);
    auto put = [&](int chipPin, int socket) { pins[static_cast<std::size_t>(chipPin - 1)] = socket; };
    put(p.mclr, 22);
    for (int v : p.vdd) put(v, 11);
    for (int v : p.vss) put(v, 10);
    put(p.clock, 16);
    put(p.data, 19);
    return Placement::Custom(std::string(p.name) + "*P44", std::move(pins));
}

void RegisterPic14(ChipRegistry& registry) {
    for (const auto& p : Pic14Parts()) {
        const std::string name = p.name;
        registry.Add(name, [name] { return MakePic14(name); });
        if (p.pins != 40) continue;
        // The same part in its 44-pin PLCC package on the adapter.
        registry.Add(name + "*P44", [name] {
            const Pic14Part* part = FindPic14Part(name);
            return SeatedPart{std::make_unique<Pic14Chip>(*part), Plcc44IcspBoard(*part)};
        });
    }
}

}  // namespace quilla::sim
