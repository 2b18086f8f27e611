#include "algo/pic/em78_layer.h"

#include "engine/protocol.h"

namespace quilla::em78 {

void Clock(TEp3& ep3) {
    for (int k = 0; k < 2; ++k) {
        ep3.SetReg29Flag(LineClock);
        ep3.SetReg29(LineClock);
    }
}

void ShiftOutWord(TEp3& ep3, std::uint32_t w) {
    ep3.QueueOp53(static_cast<int>((w >> 5) & 0xFF), 5);
    ep3.QueueOp53(static_cast<int>(w & 0xFF), 8);
    ep3.SetReg29(LinePulse);
    ep3.UsbPut1(proto::OpWaitPulse);
    ep3.SetReg29Flag(LinePulse);
    Clock(ep3);
}

void ShiftInWord(TEp3& ep3) {
    ep3.SetReg29(LineDirection);
    ep3.QueueOp54(5);
    ep3.QueueOp54(8);
    ep3.SetReg29Flag(LineDirection);
    Clock(ep3);
}

}  // namespace quilla::em78
