// The logic IC tester's test-vector libraries (TTL74.LIB, CMOS40.LIB,
// CMOS45.LIB): the binary layout the tester reads, and the generator that
// builds a library from its text source (data/iclib/*.txt).
//
// Binary layout: records of a 7-byte header (the type number as decimal text
// from byte 0, NUL-padded to 5 bytes; byte 5 the vector count; byte 6 zero)
// and 9-byte vectors, then one 'E'. A vector: flags (0x80 drive only, 0x40
// repeat, 0 drive and compare); bytes 1-2 the package code in a record's first
// vector; bytes 3-5 the drive word and 6-8 the expected word, high byte first.
// Word bit k stands for socket pin 9 + k (bit 11, socket pin 20, is the
// ground and is taken out when the tester loads the library). A repeat vector
// holds its count in bytes 4 (high) and 5 (low).
//
// Text source: '#' starts a comment. "TYPE <number> <pins>" starts a type
// (14, 16, 20 or 24 pins, bottom-aligned in the 40-pin area, ground on socket
// pin 20). "ROLES <pins>" (optional, before the vectors) gives each pin's role:
// I input (0/1), O output (L/H/X), B bus pin (either), G ground, V supply, N not
// connected (anything); every vector is checked against it. "V <pins>" is a compared vector, "D <pins>" a drive-only one, and
// "R <n>" replays the two vectors before it n times. <pins> has one character
// per chip pin from pin 1 (blanks ignored): 0/1 an input driven low/high, L/H
// an output expected low/high, X an output not looked at (drive-only lines
// only), G the ground pin, V the supply pin. Socket lines the chip does not
// reach are driven high and read back high.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quilla::ictest {

inline constexpr std::uint8_t FlagRepeat = 0x40;
inline constexpr std::uint8_t FlagDriveOnly = 0x80;
inline constexpr int HeaderBytes = 7;
inline constexpr int VectorBytes = 9;
inline constexpr int MaxLibraryBytes = 30000;
inline constexpr int MaxTypes = 1000;

// The VCC socket pin a package code names (0: none).
int VccPinOfPackage(std::uint8_t b1, std::uint8_t b2);

// A type of a built library: its number, package and the chip pins it reads
// as outputs (role O or B, or without roles every pin a line expects L, H or X).
struct BuiltType {
    long number = 0;
    int pins = 0;
    std::vector<int> outputs;
};

struct BuiltLibrary {
    std::vector<std::uint8_t> bytes;
    std::vector<BuiltType> types;
    std::string error;  // empty when the source was good: "line N: what"
};

// Builds a library from its text source. A type must see every output: each
// output pin is expected low and high in some compared ("V") vector, and any
// two outputs are expected at different levels in some compared vector where
// both are outputs (so two swapped outputs, or one stuck at a level, never
// pass). A type that has vectors but compares no output is refused as well.
// A type without vectors is kept (it never passes).
BuiltLibrary BuildLibrary(std::string_view source);

}  // namespace quilla::ictest
