// Walking the OUT command stream: the bytes of a transfer split into 64-byte
// packets, each packet a run of commands (opcode + arguments, see ArgCount)
// and, behind the two payload commands, their plain data bytes. Fillers
// (OpNop) are one-byte commands like any other; the caller decides whether
// they count. No command or payload runs on into the next packet.
#pragma once

#include <algorithm>
#include <cstdint>

#include "engine/protocol.h"

namespace quilla::proto {

// One command of the stream.
struct StreamCommand {
    std::uint8_t op;
    const std::uint8_t* bytes;  // the opcode, then ArgCount(op) argument bytes
    int length;                 // opcode + arguments
    int payloadLength;          // data bytes right behind the arguments
    int offset;                 // where the opcode stands in its packet

    const std::uint8_t* Args() const { return bytes + 1; }
    const std::uint8_t* Payload() const { return bytes + length; }
};

// Why the walk of a packet ended.
enum class StreamStop : std::uint8_t {
    End,            // every byte of the packet was walked
    UnknownOpcode,  // an opcode with no entry in the argument-count table
    CommandCut,     // the arguments of the last command run past the packet end
    PayloadCut,     // the data bytes of a payload command run past the packet end
};

// Walks one packet of `len` bytes, calling f(const StreamCommand&) for every
// whole command in order. A bad opcode or a cut command ends the walk; the
// rest of the packet is not looked at. `*stopOffset` (when given) receives
// the packet offset where the walk ended (len after a full walk).
template <class F>
StreamStop ForEachCommandInPacket(const std::uint8_t* p, int len, F&& f, int* stopOffset = nullptr) {
    int i = 0;
    StreamStop stop = StreamStop::End;
    while (i < len) {
        const std::uint8_t op = p[i];
        const int cl = CommandLength(op);
        if (cl == 0) {
            stop = StreamStop::UnknownOpcode;
            break;
        }
        if (i + cl > len) {
            stop = StreamStop::CommandCut;
            break;
        }
        const int pay = PayloadBytes(op, cl > 1 ? p[i + 1] : 0);
        if (i + cl + pay > len) {
            stop = StreamStop::PayloadCut;
            break;
        }
        f(StreamCommand{op, p + i, cl, pay, i});
        i += cl + pay;
    }
    if (stopOffset) *stopOffset = i;
    return stop;
}

// Walks an OUT transfer of `n` bytes packet by packet (see
// ForEachCommandInPacket); a packet whose walk ends early costs only its own
// rest, the next packet is walked from its first byte.
template <class F>
void ForEachCommand(const std::uint8_t* data, int n, F&& f) {
    for (int off = 0; off < n; off += PacketSize) ForEachCommandInPacket(data + off, std::min(PacketSize, n - off), f);
}

}  // namespace quilla::proto
