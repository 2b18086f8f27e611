// The .c48 side file: the configuration settings of several one-time and
// fuse-grid forms (PIC18, PIC17C4x, EM78P458, PIC16C OTP, ATmega162), kept
// beside the current image between program runs (see sidefile.h for where it
// lives and the text-mode convention of its bytes).
//
// Contents, in this order and nothing else: the name line (the component name
// of the form that wrote it, then a line end), then a fixed number of raw data
// bytes, one per setting, in the form's order, with no separator, terminator
// or count. All those forms share one file name per image, so a form takes the
// settings over only when the name line names itself (compared byte by byte,
// case-sensitive); the form closed last wins.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quilla {

inline constexpr const char* C48Extension = ".c48";

// The name lines and data counts of the forms that keep a .c48 file.
struct C48Form {
    const char* NameLine;
    int DataBytes;
};
inline constexpr C48Form C48P18fxx2{"P18fxx2", 16};
inline constexpr C48Form C48P18cxxx{"P18cxxx", 16};
inline constexpr C48Form C48P17c4x{"P17c4x", 8};
inline constexpr C48Form C48Em78p458x{"Em78p458x", 32};
inline constexpr C48Form C48P16cxxx1{"P16cxxx1", 16};
inline constexpr C48Form C48Atmega162x{"Atmega162x", 32};

// The longest name line a reader takes: a first line with no line feed within
// this many characters (and not ended by the end of the file) names nothing.
inline constexpr int C48NameLineMax = 499;

// What a reader found: nullopt when the file could not be read or its name line
// does not name the form; otherwise one entry per data byte of the form, empty
// where the file ended before that byte (the form decides what a missing byte
// means).
using C48Settings = std::vector<std::optional<std::uint8_t>>;

// Decodes the text-mode-read bytes of a .c48 file for a form.
std::optional<C48Settings> ParseC48(std::span<const std::uint8_t> bytes, const C48Form& form);
// The bytes a form writes (before the text-mode translation): the name line,
// a line end, the data bytes.
std::vector<std::uint8_t> FormatC48(const C48Form& form, std::span<const std::uint8_t> data);

// Reads the .c48 file at `path` (empty path: nothing to read).
std::optional<C48Settings> ReadC48(const std::string& path, const C48Form& form);
// Writes the form's name line and its data bytes (data must hold
// form.DataBytes bytes); false when nothing could be written (empty path, the
// file cannot be created).
bool WriteC48(const std::string& path, const C48Form& form, std::span<const std::uint8_t> data);

}  // namespace quilla
