// The command queue: every command to the programmer is appended here and sent
// by one flush in one bulk OUT transfer. No command crosses a 64-byte packet;
// 0x00 fillers go in front of a command that would. Replies land in
// UsbReplyBuf (or a caller's buffer).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/protocol.h"
#include "engine/transport.h"

namespace quilla {

class UsbLink {
public:
    explicit UsbLink(Transport* transport = nullptr) : transport_(transport) {}
    UsbLink(const UsbLink&) = delete;
    UsbLink& operator=(const UsbLink&) = delete;

    void SetTransport(Transport* t) { transport_ = t; }
    Transport* GetTransport() const { return transport_; }
    // How many times the programmer arrived on the link (Transport::Arrivals).
    std::uint32_t LinkArrivals() const { return transport_ ? transport_->Arrivals() : 0; }

    // While not empty, UsbFlush sends nothing: it drops the queue and throws
    // std::runtime_error with this text (an operation refused before it
    // reaches a programmer that is not set up for it).
    std::string RefuseTransfers;

    std::array<std::uint8_t, proto::QueueSize> UsbCmdQueue{};
    std::int32_t UsbCmdCount = 0;
    std::array<std::uint8_t, proto::QueueSize> UsbReplyBuf{};

    // Append a command of 1..4 bytes (fillers first where needed). A queue that
    // cannot take the command ends the program with "usb buffer fill!".
    std::uint8_t UsbPut1(std::uint8_t op);
    void UsbPut2(std::uint8_t op, std::uint8_t a);
    std::uint8_t UsbPut3(std::uint8_t op, std::uint8_t a, std::uint8_t b);
    void UsbPut4(std::uint8_t op, std::uint8_t a, std::uint8_t b, std::uint8_t c);
    // A payload command: op, a, b and the PayloadBytes(op, a) data bytes behind
    // them, kept together inside one packet (the adapter page-buffer load).
    void UsbPutPayload(std::uint8_t op, std::uint8_t a, std::uint8_t b, const std::uint8_t* payload);
    // The adapter page-buffer load as a transfer of its own: what is queued goes
    // first, then [0x0C, hi, lo] and the 32 bytes alone (35 bytes), as the
    // design takes them.
    void UsbSendPageLoad(std::uint8_t hi, std::uint8_t lo, const std::uint8_t* bytes);

    // Send the queue (1..65,535 bytes) in one transfer and empty it. Returns 0.
    // Once an OUT transfer has failed, nothing more is sent (the queue is
    // dropped) until a read notices the failure.
    int UsbFlush();

    // 0x07, flush, 64-byte read; anything but 64 bytes ends the program with
    // "Read USB bad!". Returns buf[0].
    std::uint8_t UsbReadReply(std::uint8_t* buf);
    std::uint8_t UsbReadReply() { return UsbReadReply(UsbReplyBuf.data()); }
    // 0x20, flush, 256-byte read; anything else ends with "Read bad".
    std::uint8_t UsbReadBlock(std::uint8_t* buf);
    std::uint8_t UsbReadBlock() { return UsbReadBlock(UsbReplyBuf.data()); }

    // Read of a block of known size after a block-read opcode (1,024 bytes
    // after 0x27/0x37, n x 64 after 0x41 n): anything but n bytes, or an OUT
    // transfer that failed before it, ends the program with "Read bad".
    void UsbReadExact(std::uint8_t* buf, int n);

    // Raw transfers. UsbRead is one bulk IN transfer of up to n bytes; it
    // returns the bytes read (0 on failure). UsbWrite: one bulk OUT transfer.
    int UsbRead(std::uint8_t* buf, int n);
    int UsbWrite(const std::uint8_t* data, int n);

    // A non-fatal read (identification tries, the "Programmer" button): an OUT
    // failure since the last read counts as a failed try and is cleared.
    int UsbTryRead(std::uint8_t* buf, int n);

    // An OUT transfer failed and no read has noticed it yet.
    bool OutFailed() const { return outFailed_; }
    // Before a success is reported: sends what is queued, then ends the program
    // with "Read USB bad!" when an OUT transfer failed since the last read (the
    // programmer may not have run what the success would promise).
    void RequireDelivered();
    void ClearOutFailed() { outFailed_ = false; }

    // Drop whatever is queued (nothing is sent).
    void DropQueue() { UsbCmdCount = 0; }

    // Before a fatal end while the link may still work: drop the queue and
    // switch the supplies off (VPP 0 V and unrouted, VCC 0 V and unrouted),
    // each system command in a transfer of its own, as the engine's power-off.
    void EmergencyPowerOff();

private:
    void Put(int n, std::uint8_t op, std::uint8_t a, std::uint8_t b, std::uint8_t c);
    // Fillers so that `n` bytes stay inside one packet; ends the program when
    // the queue cannot take them.
    void Reserve(int n);
    [[noreturn]] void Fatal(const char* message);

    Transport* transport_;
    bool outFailed_ = false;
};

}  // namespace quilla
