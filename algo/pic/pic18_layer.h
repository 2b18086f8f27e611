// The PIC18 command layer: the 4-bit commands with 16-bit operands of the
// PIC18 serial programming interface, queued on the PIC18 designs' latches and
// control lines (sim/designs/pic_serial.h, "The PIC18 engine"):
//
//   latch 0 the command, latch 1 / latch 3 the operand's low / high byte;
//   control line 1 strobes one command (and, while line 3 is high, its
//   operand); line 4 held high keeps the following command's last clock high
//   (the programming hold); opcode 3 takes the byte the chip shifts out after
//   a table read or the TABLAT shift-out (one reply byte).
//
// Every routine only queues commands; nothing waits on the host.
#pragma once

#include <cstdint>

#include "engine/ep3.h"

namespace quilla::pic18 {

// The chip's 4-bit commands.
inline constexpr int CoreInstruction = 0x0;
inline constexpr int ShiftOutTablat = 0x2;
inline constexpr int TableReadPostInc = 0x9;
inline constexpr int TableWrite = 0xC;
inline constexpr int TableWritePostInc2 = 0xD;
inline constexpr int TableWriteStartProgramming = 0xF;

// Table addresses of the configuration space.
inline constexpr std::uint32_t IdLocations = 0x200000;
inline constexpr std::uint32_t ConfigBytes = 0x300000;
inline constexpr std::uint32_t EraseControl = 0x3C0004;
inline constexpr std::uint32_t WriteMode = 0x3C0006;
inline constexpr std::uint32_t DeviceId = 0x3FFFFE;

// The supply pins and waits of one operation.
struct Pic18Pins {
    int vpp = 0, vcc = 0, gnd = 0;
};

class Pic18Layer {
public:
    explicit Pic18Layer(TEp3& ep3) : ep3_(ep3) {}

    // A command with its 16-bit operand (hi:lo).
    void SendCommand16(int cmd, int hi, int lo);
    // Core instruction `op` (command 0).
    void Core(std::uint16_t op) { SendCommand16(CoreInstruction, op >> 8, op & 0xFF); }
    // A command without operand, then the byte the chip shifts out (one reply byte).
    void SendCommand4(int cmd);
    // Line 3 high; TBLPTRU, TBLPTRH, TBLPTRL := a (MOVLW / MOVWF).
    void SetTablePointer(std::uint32_t a);
    // The held NOP after a start-programming command: `holds` waits 26 (at
    // least one is queued: no waits would hold nothing).
    void ProgramPulse(int holds);
    // VCC off, settle, the lines reset, then VCC and VPP routed (`extraWait`:
    // the one-time form's wait 28 after VPP). ErrorFlag := 0.
    void EnterProgramMode(const Pic18Pins& p, bool extraWait);
    void SuppliesOff();
    // Single-panel writes into program memory: EEPGD, CFGS set, 00h to 3C0006h,
    // then CFGS clear (EEPGD stays set). `bit3`: BSF EECON1, 3 too (Write sends
    // it, the ID write does not).
    void SetSinglePanelWrites(bool bit3);

private:
    TEp3& ep3_;
};

}  // namespace quilla::pic18
