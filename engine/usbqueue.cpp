#include "engine/usbqueue.h"

#include <stdexcept>

#include "engine/fatal.h"

namespace quilla {

using namespace proto;

void UsbLink::Fatal(const char* message) { FatalLinkEnd(message, 1); }

void UsbLink::Reserve(int n) {
    // Fillers needed so the command stays inside one packet.
    int fill = 0;
    while ((UsbCmdCount + fill) % PacketSize > PacketSize - n) ++fill;
    // The full test counts the fillers and the command, so nothing is ever
    // stored beyond the queue. A queue holding 65,536 bytes is never sent; the
    // next put ends here.
    if (UsbCmdCount > QueueSize - 1 || UsbCmdCount + fill + n > QueueSize) {
        EmergencyPowerOff();
        Fatal("usb buffer fill!");
    }
    for (int i = 0; i < fill; ++i) UsbCmdQueue[static_cast<std::size_t>(UsbCmdCount++)] = OpNop;
}

void UsbLink::Put(int n, std::uint8_t op, std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    Reserve(n);
    const std::uint8_t bytes[4] = {op, a, b, c};
    for (int i = 0; i < n; ++i) UsbCmdQueue[static_cast<std::size_t>(UsbCmdCount++)] = bytes[i];
}

void UsbLink::UsbPutPayload(std::uint8_t op, std::uint8_t a, std::uint8_t b, const std::uint8_t* payload) {
    const int pay = PayloadBytes(op, a);
    Reserve(3 + pay);
    for (std::uint8_t v : {op, a, b}) UsbCmdQueue[static_cast<std::size_t>(UsbCmdCount++)] = v;
    for (int i = 0; i < pay; ++i) UsbCmdQueue[static_cast<std::size_t>(UsbCmdCount++)] = payload[i];
}

void UsbLink::UsbSendPageLoad(std::uint8_t hi, std::uint8_t lo, const std::uint8_t* bytes) {
    if (UsbCmdCount > 0) UsbFlush();
    UsbPutPayload(proto::OpPageBufferLoad, hi, lo, bytes);
    UsbFlush();
}

std::uint8_t UsbLink::UsbPut1(std::uint8_t op) {
    Put(1, op, 0, 0, 0);
    return op;
}
void UsbLink::UsbPut2(std::uint8_t op, std::uint8_t a) { Put(2, op, a, 0, 0); }
std::uint8_t UsbLink::UsbPut3(std::uint8_t op, std::uint8_t a, std::uint8_t b) {
    Put(3, op, a, b, 0);
    return b;
}
void UsbLink::UsbPut4(std::uint8_t op, std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    Put(4, op, a, b, c);
}

int UsbLink::UsbFlush() {
    if (UsbCmdCount == 0) return 0;
    if (!RefuseTransfers.empty()) {
        UsbCmdCount = 0;
        throw std::runtime_error(RefuseTransfers);
    }
    if (UsbCmdCount > QueueSize - 1) return 0;
    // After a lost transfer the programmer's state is unknown: nothing more is
    // sent (a later command could make the lost one's absence dangerous, such as
    // ground routed onto a pin whose supply was never released); the next read
    // ends the program.
    if (outFailed_) {
        UsbCmdCount = 0;
        return 0;
    }
    UsbWrite(UsbCmdQueue.data(), UsbCmdCount);
    UsbCmdCount = 0;
    return 0;
}

int UsbLink::UsbWrite(const std::uint8_t* data, int n) {
    int sent = transport_ ? transport_->BulkWrite(data, n) : 0;
    if (sent != n) outFailed_ = true;
    return sent;
}

int UsbLink::UsbRead(std::uint8_t* buf, int n) {
    return transport_ ? transport_->BulkRead(buf, n) : 0;
}

int UsbLink::UsbTryRead(std::uint8_t* buf, int n) {
    if (outFailed_) {
        outFailed_ = false;
        return 0;
    }
    return UsbRead(buf, n);
}

std::uint8_t UsbLink::UsbReadReply(std::uint8_t* buf) {
    UsbPut1(OpReply);
    UsbFlush();
    if (outFailed_) Fatal("Read USB bad!");
    if (UsbRead(buf, ReplySize) != ReplySize) Fatal("Read USB bad!");
    return buf[0];
}

std::uint8_t UsbLink::UsbReadBlock(std::uint8_t* buf) {
    UsbPut1(OpBlock);
    UsbFlush();
    UsbReadExact(buf, BlockSize);
    return buf[0];
}

void UsbLink::RequireDelivered() {
    UsbFlush();
    if (outFailed_) Fatal("Read USB bad!");
}

void UsbLink::UsbReadExact(std::uint8_t* buf, int n) {
    if (outFailed_) Fatal("Read bad");
    if (UsbRead(buf, n) != n) Fatal("Read bad");
}

void UsbLink::EmergencyPowerOff() {
    UsbCmdCount = 0;
    if (outFailed_ || transport_ == nullptr) return;
    auto sys = [this](std::uint8_t s) {
        const std::uint8_t cmd[4] = {OpSystem, s, 0, 0};
        UsbWrite(cmd, 4);
    };
    const std::uint8_t settle = OpWaitSettle;
    sys(SysVppLevel);
    UsbWrite(&settle, 1);
    sys(SysVppPin);
    sys(SysVccLevel);
    UsbWrite(&settle, 1);
    sys(SysVccPin);
    UsbWrite(&settle, 1);
}

}  // namespace quilla
