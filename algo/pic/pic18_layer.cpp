#include "algo/pic/pic18_layer.h"

#include "engine/protocol.h"

namespace quilla::pic18 {

using namespace proto;

void Pic18Layer::SendCommand16(int cmd, int hi, int lo) {
    ep3_.ControlLineLow(1);
    ep3_.WriteLatch(0, cmd);
    ep3_.WriteLatch(1, lo & 0xFF);
    ep3_.WriteLatch(3, hi & 0xFF);
    ep3_.ControlLineHigh(1);
    ep3_.UsbPut1(OpNop);
    ep3_.ControlLineLow(1);
}

void Pic18Layer::SendCommand4(int cmd) {
    ep3_.ControlLineLow(1);
    ep3_.WriteLatch(0, cmd);
    ep3_.ControlLineHigh(1);
    ep3_.UsbPut1(OpNop);
    ep3_.UsbPut1(OpCaptureData);
    ep3_.ControlLineLow(1);
}

void Pic18Layer::SetTablePointer(std::uint32_t a) {
    ep3_.ControlLineHigh(3);
    Core(static_cast<std::uint16_t>(0x0E00 | ((a >> 16) & 0xFF)));
    Core(0x6EF8);
    Core(static_cast<std::uint16_t>(0x0E00 | ((a >> 8) & 0xFF)));
    Core(0x6EF7);
    Core(static_cast<std::uint16_t>(0x0E00 | (a & 0xFF)));
    Core(0x6EF6);
}

void Pic18Layer::ProgramPulse(int holds) {
    ep3_.ControlLineHigh(4);
    ep3_.ControlLineLow(1);
    ep3_.WriteLatch(0, 0);
    ep3_.WriteLatch(1, 0);
    ep3_.WriteLatch(3, 0);
    ep3_.ControlLineHigh(1);
    for (int i = 0; i < (holds < 1 ? 1 : holds); ++i) ep3_.UsbPut1(OpWait1ms);
    ep3_.ControlLineLow(4);
    ep3_.ControlLineLow(1);
    ep3_.UsbPut1(OpNop);
}

void Pic18Layer::EnterProgramMode(const Pic18Pins& p, bool extraWait) {
    ep3_.ErrorFlag = 0;
    ep3_.VccPin(0);
    ep3_.UsbPut1(OpWaitSettle);
    ep3_.ControlLineLow(3);
    ep3_.ControlLineHigh(3);
    Core(0x0000);
    ep3_.ControlLineLow(3);
    ep3_.ControlLineLow(1);
    ep3_.ControlLineLow(4);
    ep3_.VccPin(p.vcc);
    ep3_.VppPin(p.vpp);
    if (extraWait) ep3_.UsbPut1(OpWait100ms);
}

void Pic18Layer::SuppliesOff() {
    ep3_.VppPin(0);
    ep3_.VccPin(0);
}

void Pic18Layer::SetSinglePanelWrites(bool bit3) {
    ep3_.ControlLineHigh(3);
    Core(0x8EA6);  // BSF EECON1, EEPGD
    Core(0x8CA6);  // BSF EECON1, CFGS
    if (bit3) Core(0x86A6);  // BSF EECON1, 3
    SetTablePointer(WriteMode);
    SendCommand16(TableWrite, 0x00, 0x00);
    Core(0x8EA6);
    Core(0x9CA6);  // BCF EECON1, CFGS
}

}  // namespace quilla::pic18
