// Serial-number and date stamps written into the image after each clean pass
// and when the options dialog closes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quilla {

struct Workbench;
struct Options;

// Bytes the date stamp takes.
inline constexpr int DateStampSize = 16;

// An address or value field read in the dialog's base: "%x" with "hex     ",
// "%d" with "十进制" and "浮点". Empty when the text does not read.
std::optional<std::int32_t> ParseNumber(const Options& o, const std::string& text);
// A value written back into the value field in the dialog's base ("%x" of its
// 32 bits, or "%d").
std::string FormatNumber(const Options& o, std::int32_t value);
// The current date and time as the date stamp writes it (the options' clock).
std::string StampDateText(const Options& o);

// Writes the ticked stamps into the image:
// - serial: value := value + step, shown in the value field, then written
//   least significant byte first at the start address for the given length
//   (bytes beyond the fourth repeat the sign);
// - date: the clock's text, cut or zero-padded to 16 bytes, at its address.
// Bytes outside the image are skipped. When a field of a ticked stamp does not
// read, neither stamp is written, the value does not advance, one message says
// which field, and inside a batch ErrorFlag is set so the batch stops.
// Returns false in that case.
bool ApplyStamps(Workbench& wb, bool inBatch = true);

}  // namespace quilla
