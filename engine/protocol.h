// The programmer's byte protocol: every opcode, system sub-command, register
// and wait the host sends, as named constants, plus the one table of argument
// counts that both the host and the simulated programmer's parser use.
//
// A command is an opcode byte and 0..3 argument bytes; no command crosses a
// 64-byte USB packet. Two commands carry plain payload bytes behind them in
// the same packet: the design data packet (0E 22 00 00 + 60 bytes) and the
// adapter page-buffer load (0C hi lo + 32 bytes).
#pragma once

#include <array>
#include <cstdint>

namespace quilla::proto {

inline constexpr int PacketSize = 64;
inline constexpr int QueueSize = 65536;

// ---- Engine opcodes (meaning fixed by the firmware) -------------------------
inline constexpr std::uint8_t OpNop = 0x00;         // no operation / filler
inline constexpr std::uint8_t OpReply = 0x07;       // send the 64-byte reply
inline constexpr std::uint8_t OpPinHigh = 0x08;     // p
inline constexpr std::uint8_t OpPinLow = 0x09;      // p
inline constexpr std::uint8_t OpWriteReg = 0x0A;    // r, v
inline constexpr std::uint8_t OpReadReg = 0x0B;     // r   (capture)
inline constexpr std::uint8_t OpSystem = 0x0E;      // s, v, x
inline constexpr std::uint8_t OpLatch0 = 0x10;      // v   latch k = OpLatch0 + k, k 0..5
inline constexpr int LatchCount = 6;
inline constexpr std::uint8_t OpCapturePin = 0x17;  // p   (capture)
inline constexpr std::uint8_t OpWaitShort = 0x18;   // wait 24, ~25 us
inline constexpr std::uint8_t OpWaitPulse = 0x19;   // wait 25, ~10 us
inline constexpr std::uint8_t OpWait1ms = 0x1A;     // wait 26, ~1 ms
inline constexpr std::uint8_t OpWaitSettle = 0x1B;  // wait 27, ~10 ms
inline constexpr std::uint8_t OpWait100ms = 0x1C;   // wait 28, ~100 ms
inline constexpr std::uint8_t OpWait100us = 0x1D;  // wait 29, ~100 us (8051 forms)
inline constexpr std::uint8_t OpBlock = 0x20;       // send a 256-byte block (8051 designs: P0 samples)
inline constexpr std::uint8_t OpBusWrite = 0x2B;    // bus write of latch 2 (design)
inline constexpr std::uint8_t OpShiftOut = 0x35;    // v, n  EM78 shift out (design)
inline constexpr std::uint8_t OpShiftIn = 0x36;     // n     EM78 shift in (design, capture)
inline constexpr std::uint8_t OpSerialCode = 0x3E;  // i   capture serial byte i

// ---- Family opcodes (meaning given by the loaded design) --------------------
inline constexpr std::uint8_t OpCapturePort0 = 0x01;
inline constexpr std::uint8_t OpCapturePort1 = 0x02;
inline constexpr std::uint8_t OpCaptureData = 0x03;
inline constexpr std::uint8_t OpCapturePort4 = 0x04;
inline constexpr std::uint8_t OpCaptureLastTdo = 0x06;
inline constexpr std::uint8_t OpPageBufferLoad = 0x0C;   // hi, lo + 32 payload bytes
inline constexpr std::uint8_t OpI2cStart = 0x1E;
inline constexpr std::uint8_t OpI2cAckClock = 0x1F;
inline constexpr std::uint8_t OpPutData51 = 0x21;        // v
inline constexpr std::uint8_t OpSampleData51 = 0x22;     // capture
inline constexpr std::uint8_t OpSamplePort = 0x25;       // capture
inline constexpr std::uint8_t OpPutPort = 0x26;          // v
inline constexpr std::uint8_t OpRead1K = 0x27;           // 1,024 bytes follow
inline constexpr std::uint8_t OpAddrInc = 0x28;
inline constexpr std::uint8_t OpCmdWrite5555 = 0x29;     // v
inline constexpr std::uint8_t OpCmdWrite2AAA = 0x2A;     // v
inline constexpr std::uint8_t OpStrobe33 = 0x2C;
inline constexpr std::uint8_t OpStrobe45 = 0x2D;
inline constexpr std::uint8_t OpStrobe46 = 0x2E;
inline constexpr std::uint8_t OpWePulse7 = OpStrobe46;  // vex300: 10 ms low on socket 7
inline constexpr std::uint8_t OpLpcFrame = 0x2F;         // v
inline constexpr std::uint8_t OpLpcSample = 0x30;        // capture
inline constexpr std::uint8_t OpPicCommand = 0x31;       // c
inline constexpr std::uint8_t OpPicReadWord = 0x32;      // c   (two capture bytes, low first)
inline constexpr std::uint8_t OpPicWriteWord = 0x33;     // c, d1, d2
inline constexpr std::uint8_t OpPrepare = 0x34;
inline constexpr std::uint8_t OpHubRead1K = 0x37;        // 1,024 bytes follow
inline constexpr std::uint8_t OpSpiOut = 0x38;           // v
inline constexpr std::uint8_t OpSpiIn = 0x39;            // capture
inline constexpr std::uint8_t OpHubProgram3C = 0x3C;     // v
inline constexpr std::uint8_t OpHubProgram3D = 0x3D;     // v
inline constexpr std::uint8_t OpAdapterRead = 0x41;      // n  -> n x 64 bytes follow
inline constexpr std::uint8_t OpAdapterWord = 0x42;      // lo, hi
inline constexpr std::uint8_t OpAdapterByte = 0x43;      // v
inline constexpr std::uint8_t OpAdapterBusWord = 0x45;   // lo, hi
inline constexpr std::uint8_t OpAdapterStep = 0x46;
inline constexpr std::uint8_t OpAdapterWordProg = 0x47;  // lo, hi
inline constexpr std::uint8_t OpAdapterByteProg = 0x48;  // v
inline constexpr std::uint8_t OpAdapterPageProg = 0x49;  // n
inline constexpr std::uint8_t OpSerialSetup4A = 0x4A;    // 8
inline constexpr std::uint8_t OpSerialSetup4B = 0x4B;    // 8
inline constexpr std::uint8_t OpPageWriteByte = 0x53;    // v
// The X28C page-write EEPROM design ("x28c.bit"): the page buffer is loaded with
// OpPageBufferLoad (offset hi, lo + 32 bytes), then written in one burst.
inline constexpr std::uint8_t OpPageProgram = 0x4C;      // we pin, count hi, count lo
inline constexpr std::uint8_t OpReadNext = 0x4D;         // capture the byte, address + 1
inline constexpr std::uint8_t OpBlankQuery = 0x4E;       // capture 1: the next 256 bytes are 0xFF
inline constexpr std::uint8_t OpSumQuery = 0x4F;         // capture the 16-bit sum of 256 bytes, low first
inline constexpr std::uint8_t OpCancelQuery = 0x50;      // capture 1: the user asked to stop

// ---- System sub-commands (second byte of OpSystem) --------------------------
inline constexpr std::uint8_t SysIdentify = 17;
inline constexpr std::uint8_t SysVppLevel = 18;
inline constexpr std::uint8_t SysVccLevel = 19;
inline constexpr std::uint8_t SysVppPin = 20;
inline constexpr std::uint8_t SysVccPin = 21;
inline constexpr std::uint8_t SysGndPin = 22;
inline constexpr std::uint8_t SysClockPin = 23;
inline constexpr std::uint8_t SysVppPinOff = 24;
inline constexpr std::uint8_t SysPortMode = 25;
inline constexpr std::uint8_t SysPinOptionOn = 26;
inline constexpr std::uint8_t SysPinOptionOff = 27;
inline constexpr std::uint8_t SysReadyWait = 29;     // pin, x = 20 (host-driven AVR forms)
inline constexpr std::uint8_t SysOverCurrent = 31;
inline constexpr std::uint8_t SysVppSupplyPath = 32;
inline constexpr std::uint8_t SysDesignStart = 33;
inline constexpr std::uint8_t SysDesignData = 34;    // + 60 payload bytes
inline constexpr std::uint8_t SysDesignEnd = 35;

inline constexpr std::uint8_t ReadyWaitArg = 20;
inline constexpr int DesignDataBytes = 60;
inline constexpr int PageBufferBytes = 32;

// True for the sub-commands the firmware knows (17-27, 29, 31-35).
constexpr bool IsSystemSubCommand(int s) {
    return (s >= 17 && s <= 27) || s == 29 || (s >= 31 && s <= 35);
}

// ---- Registers ---------------------------------------------------------------
inline constexpr std::uint8_t RegContactMode = 4;     // 12 during the contact test
inline constexpr std::uint8_t RegPicLow = 16;
inline constexpr std::uint8_t RegPicHigh = 17;
inline constexpr std::uint8_t RegControlLines = 18;   // n low, n|0x80 high
inline constexpr std::uint8_t Reg19 = 19;
inline constexpr std::uint8_t RegPicSerial = 20;      // PicSerialOn enables the serial path
inline constexpr std::uint8_t RegAddr0 = 21;
inline constexpr std::uint8_t RegAddr1 = 22;
inline constexpr std::uint8_t RegAddr2 = 23;
inline constexpr std::uint8_t RegContactFirst = 22;   // pins 1..8, .. 27: pins 41..48
inline constexpr std::uint8_t RegContactLast = 27;
inline constexpr std::uint8_t RegContactEnable = 27;  // 255 before the test, 0 after
inline constexpr std::uint8_t RegEm78Lines = 29;

inline constexpr std::uint8_t ContactModeOn = 12;
inline constexpr std::uint8_t PicSerialOn = 0x84;     // register 20: the PIC serial engine
inline constexpr std::uint8_t ContactEnableOn = 255;
inline constexpr std::uint8_t LineHighBit = 0x80;

// ---- Port modes --------------------------------------------------------------
inline constexpr std::uint8_t PortModeReset = 15;     // after every reset; writes
inline constexpr std::uint8_t PortModeRead = 12;      // parallel socket reads
inline constexpr std::uint8_t PortMode51Read = 7;     // 8051 forms: reads (P0 released)
inline constexpr std::uint8_t PortMode51Swap = 1;     // MSU2964 reads: 0x21 on P0, socket 1-8 the chip's
inline constexpr std::uint8_t PortMode51SwapWrite = 0;  // MSU2964 writes: latch 0 on 1-8, 0x21 on P0

// ---- Reply sizes ---------------------------------------------------------------
inline constexpr int ReplySize = 64;
inline constexpr int BlockSize = 256;
inline constexpr int Read1KSize = 1024;
inline constexpr int MaxCaptures = 64;

// ---- Argument counts -----------------------------------------------------------
// ArgCount[op] is the number of argument bytes behind opcode op, or -1 when the
// opcode is unknown. PayloadBytes() adds the plain data bytes that follow the
// two payload commands.
struct OpcodeInfo {
    std::array<std::int8_t, 256> args;
};

constexpr OpcodeInfo MakeOpcodeTable() {
    OpcodeInfo t{};
    for (auto& a : t.args) a = -1;
    auto set = [&t](int op, int n) { t.args[static_cast<std::size_t>(op)] = static_cast<std::int8_t>(n); };
    // engine commands
    set(OpNop, 0);
    set(OpReply, 0);
    set(OpPinHigh, 1);
    set(OpPinLow, 1);
    set(OpWriteReg, 2);
    set(OpReadReg, 1);
    set(OpSystem, 3);
    for (int k = 0; k < LatchCount; ++k) set(OpLatch0 + k, 1);
    set(OpCapturePin, 1);
    for (int w = OpWaitShort; w <= OpWait100us; ++w) set(w, 0);
    set(OpBlock, 0);
    set(OpBusWrite, 0);
    set(OpShiftOut, 2);
    set(OpShiftIn, 1);
    set(OpSerialCode, 1);
    // family commands
    set(OpCapturePort0, 0);
    set(OpCapturePort1, 0);
    set(OpCaptureData, 0);
    set(OpCapturePort4, 0);
    set(OpCaptureLastTdo, 0);
    set(OpPageBufferLoad, 2);
    set(OpI2cStart, 0);
    set(OpI2cAckClock, 0);
    set(OpPutData51, 1);
    set(OpSampleData51, 0);
    set(OpSamplePort, 0);
    set(OpPutPort, 1);
    set(OpRead1K, 0);
    set(OpAddrInc, 0);
    set(OpCmdWrite5555, 1);
    set(OpCmdWrite2AAA, 1);
    set(OpStrobe33, 0);
    set(OpStrobe45, 0);
    set(OpStrobe46, 0);
    set(OpLpcFrame, 1);
    set(OpLpcSample, 0);
    set(OpPicCommand, 1);
    set(OpPicReadWord, 1);
    set(OpPicWriteWord, 3);
    set(OpPrepare, 0);
    set(OpHubRead1K, 0);
    set(OpSpiOut, 1);
    set(OpSpiIn, 0);
    set(OpHubProgram3C, 1);
    set(OpHubProgram3D, 1);
    set(OpAdapterRead, 1);
    set(OpAdapterWord, 2);
    set(OpAdapterByte, 1);
    set(OpAdapterBusWord, 2);
    set(OpAdapterStep, 0);
    set(OpAdapterWordProg, 2);
    set(OpAdapterByteProg, 1);
    set(OpAdapterPageProg, 1);
    set(OpSerialSetup4A, 1);
    set(OpSerialSetup4B, 1);
    set(OpPageWriteByte, 1);
    set(OpPageProgram, 3);
    set(OpReadNext, 0);
    set(OpBlankQuery, 0);
    set(OpSumQuery, 0);
    set(OpCancelQuery, 0);
    return t;
}

inline constexpr OpcodeInfo OpcodeTable = MakeOpcodeTable();

// Argument bytes behind op, -1 for an unknown opcode.
constexpr int ArgCount(std::uint8_t op) { return OpcodeTable.args[op]; }

// Whole command length (opcode + arguments), 0 for an unknown opcode.
constexpr int CommandLength(std::uint8_t op) {
    return ArgCount(op) < 0 ? 0 : 1 + ArgCount(op);
}

// Plain data bytes behind a command (design data packet, page-buffer load).
constexpr int PayloadBytes(std::uint8_t op, std::uint8_t firstArg) {
    if (op == OpSystem && firstArg == SysDesignData) return DesignDataBytes;
    if (op == OpPageBufferLoad) return PageBufferBytes;
    return 0;
}

// Millivolts to the wire's 0.1 V units, rounding down.
constexpr std::uint8_t MilliVoltsToWire(int mV) {
    return static_cast<std::uint8_t>(mV / 100);
}

}  // namespace quilla::proto
