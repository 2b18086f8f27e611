// The PIC serial programming layer: every PIC12/PIC16 form that programs a
// chip through its serial programming interface queues the chip's six-bit
// commands as three family opcodes of the PIC serial designs, and builds its
// operations from the routines here. The forms differ only in the variant
// they use (PicVariant: command bytes, power-up order, how VPP is raised, the
// programming recipe and its wait count, words per reply), given as data.
//
//   [31h, c]          send command c
//   [32h, c]          send command c, capture the word the chip returns (two
//                     reply bytes, low first)
//   [33h, c, lo, hi]  send command c and the data frame of d: d << 1 (start bit
//                     0, 14 data bits, stop bit), low byte first
//   [34h]             clock and data low before MCLR rises (power-up)
//
// Image layout: program word n at ImageBuffer[2n] (low) and [2n + 1] (high),
// data EEPROM byte i at ImageBuffer[4000h + i]. The configuration area of the
// 14-bit parts (2000h-2007h after load configuration) is not kept in the image:
// words 0-3 are the user IDs, word 6 the device ID, word 7 the configuration
// word.
//
// Nothing here waits on the host: every delay is a programmer wait opcode.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "app/selection.h"
#include "engine/ep3.h"

namespace quilla {

// The chips' six-bit command codes.
namespace piccmd {
inline constexpr std::uint8_t LoadConfig = 0x00;
inline constexpr std::uint8_t EraseSetup1 = 0x01;     // erase step 1
inline constexpr std::uint8_t LoadProgram = 0x02;
inline constexpr std::uint8_t LoadData = 0x03;
inline constexpr std::uint8_t ReadProgram = 0x04;
inline constexpr std::uint8_t ReadData = 0x05;
inline constexpr std::uint8_t Increment = 0x06;
inline constexpr std::uint8_t EraseSetup2 = 0x07;     // erase step 2
inline constexpr std::uint8_t BeginEraseProgram = 0x08;
inline constexpr std::uint8_t BulkEraseProgram = 0x09;
inline constexpr std::uint8_t BulkEraseData = 0x0B;
inline constexpr std::uint8_t EndProgramming = 0x0E;
inline constexpr std::uint8_t EndProgramming87xA = 0x17;
inline constexpr std::uint8_t BeginProgramOnly = 0x18;
inline constexpr std::uint8_t ChipErase87xA = 0x1F;
// The second form some forms send (high nibble Fh): F2h, F4h, F6h, F8h, F9h, FEh.
constexpr std::uint8_t F(std::uint8_t c) { return static_cast<std::uint8_t>(c | 0xF0); }
}  // namespace piccmd

// The two bytes of a data frame: d << 1, low byte first (bits above 15 dropped).
struct PicFrame {
    std::uint8_t lo, hi;
};
constexpr PicFrame PicDataFrame(std::uint32_t d) {
    const std::uint32_t f = (d << 1) & 0xFFFFu;
    return {static_cast<std::uint8_t>(f & 0xFF), static_cast<std::uint8_t>(f >> 8)};
}

// The command bytes a form sends for the commands that exist in both forms.
struct PicCodes {
    std::uint8_t loadConfig, loadProgram, loadData, readProgram, readData, increment;
};
inline constexpr PicCodes kPlainCodes{.loadConfig = 0x00, .loadProgram = 0x02, .loadData = 0x03, .readProgram = 0x04,
                                      .readData = 0x05, .increment = 0x06};
inline constexpr PicCodes kFCodes{.loadConfig = 0xF0, .loadProgram = 0xF2, .loadData = 0xF3, .readProgram = 0xF4,
                                  .readData = 0xF5, .increment = 0xF6};

// How a form's PicPowerOn switches the chip on (ErrorFlag := 0 first in every one).
enum class PicPowerOrder : std::uint8_t {
    VccSettle,        // VCC, wait 27, 34h, flush                     (TP16fEEx)
    GroundVccSettle,  // ground, VCC, wait 27, 34h, flush             (most flash forms)
    GroundVcc,        // ground, VCC, 34h, flush                      (TP16c8x, TP16c6x)
    VccNoFlush,       // VCC, 34h, nothing flushed                    (TP12c508x)
    VppFirst,         // flush, 34h, ground, VPP, 20 := 84h, flush, VCC, flush (TP16f628a1)
};

// How program mode is completed after PicPowerOn routes VPP.
enum class PicVppRaise : std::uint8_t {
    SerialEnable,  // VppPin(VPP), register 20 := 84h          (14-bit forms)
    PinHigh,       // VppPin(VPP), PinHigh(VPP)                (12-bit forms)
    RouteOnly,     // VppPin(VPP) alone                        (TP16cxxx1)
};

// How many wait opcodes follow the begin command of one word.
enum class PicWaitRule : std::uint8_t {
    Fixed,                 // `fixedWaits`
    DelayDoubledWhenSlow,  // max(dly=, 1), twice that when Speed shows "Slow  "
    DelayHalvedWhenFast,   // max(dly=, 1), halved when Speed shows "Fast写" (at least 1)
    SpeedItemPlusOne,      // the speed group's item index + 1
};

// Programming one word: load w, begin, the waits, end (where the form has
// one), increment.
struct PicRecipe {
    std::uint8_t load;
    std::uint8_t begin;
    std::uint8_t waitOp;   // the wait opcode (25, 26 or 27)
    PicWaitRule rule;
    int fixedWaits = 0;    // for PicWaitRule::Fixed
    int end = -1;          // end command, -1 for none
    std::uint8_t increment;
};

struct PicVariant {
    const char* form;       // the form class it belongs to
    PicCodes codes;
    PicPowerOrder power;
    PicVppRaise vpp;
    PicRecipe program;
    int wordsPerReply;      // 16 or 32
};

// The variants of the forms, from their tables.
namespace picvariant {
extern const PicVariant P16fEEx, P16f87x, P16f628x, P16f7x1, P16c8x, P16c6x, P12c508x;  // first part
extern const PicVariant P16fx, P16f87xa1, P16f628a1, P16c505x;                            // later parts
extern const PicVariant P12fxxx, P16f630x, P16cxxx1, P16f5x;
}  // namespace picvariant

// The socket pins of a chip row.
struct PicPins {
    int vpp = 0, vcc = 0, gnd = 0;
    std::uint32_t contactLo = 0, contactHi = 0;
};

// What the speed controls of a form show (for the wait count).
struct PicSpeed {
    int dly = 0;             // the device line's dly= value
    std::string text;        // the Speed combo box's text ("Fast写", "Slow  ")
    int item = 0;            // a speed radio group's index
};

// The user ID in the four ID words: word k = (UserId >> (12 - 4k)) AND FFh.
std::array<std::uint16_t, 4> UserIdWords(std::uint32_t userId);
// The user ID rebuilt from the low nibbles of the four ID words.
std::uint32_t UserIdFromWords(const std::uint16_t* words);
// LastReadId bytes 0 and 1 from the device ID word (revision bits dropped).
std::array<std::uint8_t, 2> DeviceIdBytes(std::uint16_t deviceIdWord);

class PicSerial {
public:
    PicSerial(TEp3& ep3, const PicVariant& variant) : ep3_(ep3), v_(variant) {}

    const PicVariant& Variant() const { return v_; }
    const PicCodes& Codes() const { return v_.codes; }

    // ---- the opcodes ------------------------------------------------------------
    void SendCommand(std::uint8_t c);
    void ReadWord(std::uint8_t c);
    void SendCommandData(std::uint8_t c, std::uint32_t d);
    void SerialEnable();  // register 20 := 84h, queued
    // Read the word at the counter into the next reply, then step on.
    void ReadNext();

    // ---- power ---------------------------------------------------------------------
    void PowerOn(const PicPins& p);
    // The power-up sequence: PicPowerOn, VPP routed and raised as the variant
    // does, then (with `check`) the over-current check. False when the check
    // failed (the engine has switched off, told and set ErrorFlag).
    bool Enter(const PicPins& p, bool check);
    // Leaving program mode: VPP off, then VCC off.
    void Leave();

    // ---- programming ---------------------------------------------------------------
    // The wait count of one word by the variant's rule; never 0.
    int WaitCount(const PicSpeed& s) const;
    // Load w, begin, `waits` waits, end, increment (nothing flushed).
    void ProgramWord(std::uint16_t w, int waits);

    // ---- reads ------------------------------------------------------------------------
    // n x ReadNext and one reply: word k at dest[2k], dest[2k + 1]. Only the 2n
    // captured bytes are stored.
    void ReadBlock(int n, std::uint8_t* dest);
    // Load configuration with d, then 8 x ReadNext (queued, no reply yet).
    void QueueConfigRead(std::uint32_t d);
    // The reply of queued reads: words 0..7.
    std::array<std::uint16_t, 8> ReplyWords();
    // n x (read data memory, increment) and one reply: byte k at dest[k].
    void ReadEepromBlock(int n, std::uint8_t* dest);
    // One data EEPROM byte: load data, begin (18h), wait 27, increment (the
    // piece of the forms of the older parts).
    void WriteEepromByte(std::uint8_t b);

    // ---- configuration area ----------------------------------------------------------
    // Load configuration 3FFFh; the four ID words, three words 3FFFh and the
    // configuration word, each with ProgramWord.
    void WriteConfigArea(std::uint32_t userId, std::uint32_t configWord, int waits);
    // Load configuration 3FFFh; the four ID words with ProgramWord; three
    // increments; 02h with the configuration word, 08h, one wait 27.
    void WriteConfigAreaThenWord(std::uint32_t userId, std::uint32_t configWord, int waits);

    // ---- erase sequences, named by what they send --------------------------------------
    // 01h, 07h, 08h, wait 27, 01h, 07h.
    void Erase0107();
    // Load program data FFFFh, then Erase0107: program memory.
    void EraseProgram0107();
    // Load data memory FFFFh, then Erase0107: data memory.
    void EraseData0107();
    // Load configuration FFFFh, 7 increments (to 2007h), then Erase0107:
    // everything, code protection included.
    void EraseAll0107();
    // F9h, F2h FFFFh, F8h, 3 x wait 28.
    void ChipEraseF9();
    // 00h 2000h, 09h, 3 x wait 28.
    void BulkEraseWithConfig09();
    // c 3FFFh, 1Fh, 08h, wait 27 (c = 02h: program and data, 00h: also the
    // configuration area).
    void ChipErase1F(std::uint8_t c);
    // 09h, 08h, wait 27.
    void BulkEraseProgram09();
    // 0Bh, 08h, wait 27.
    void BulkEraseData0B();

    // ---- device ID ---------------------------------------------------------------------
    // Power-up with check, configuration read with d, supplies off: LastReadId
    // := the device ID bytes (the others 0). False when the current check failed.
    bool ReadDeviceId(Selection& sel, const PicPins& p, std::uint32_t d = 0xFF);
    // The check before each operation of the 14-bit flash forms: contact test
    // (unless `skipContact`), power-up with check, configuration read with d,
    // supplies off. LastReadId := the device ID bytes. With an ExpectedId of 0
    // or 1, or equal bytes: true. Else "Wrong type, OK ??" (Yes/No): No sets
    // ErrorFlag := 1 and gives false.
    bool CheckDeviceId(Selection& sel, const PicPins& p, std::uint32_t d = 0xFF, bool skipContact = false);
    // The configuration area words of the last CheckDeviceId.
    const std::array<std::uint16_t, 8>& LastConfigArea() const { return lastArea_; }

private:
    TEp3& ep3_;
    const PicVariant& v_;
    std::array<std::uint16_t, 8> lastArea_{};
};

}  // namespace quilla
