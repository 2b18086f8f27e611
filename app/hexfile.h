// Intel HEX files: the lenient reader that loads a file into the image and the
// writer that saves the image from 0 to the buffer window's end address.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace quilla {

struct Workbench;

// Highest image address a HEX file may store into (the first 1 MiB).
inline constexpr int HexMaxStoreAddr = 0xFFFFF;
// A record address above this ends what the read stores (data EEPROM records
// excepted).
inline constexpr std::int64_t HexMaxRecordAddr = 0x800001;
// The PIC18 data EEPROM as a toolchain writes it (byte i at F00000h + i) is
// stored at image 0F0000h + i, above every PIC18 program memory: the one place
// the PIC18 forms keep the EEPROM of parts whose program memory reaches 4000h.
inline constexpr std::int64_t HexEepromRecords = 0xF00000;
inline constexpr std::int64_t HexEepromWindow = 0x10000;
inline constexpr int HexEepromImage = 0xF0000;

// The PIC18 configuration bytes of a toolchain's file (300000h-30000Dh): the
// reader keeps them beside the image, never in it (the PIC18 forms compare
// them with the configuration they program).
inline constexpr std::int64_t HexConfigFirst = 0x300000;
inline constexpr int HexConfigCount = 14;

struct HexConfigBytes {
    std::array<std::uint8_t, HexConfigCount> Value{};
    std::uint16_t Present = 0;  // bit i: the file holds byte i (300000h + i)
    bool Has(int i) const { return ((Present >> i) & 1u) != 0; }
    bool Any() const { return Present != 0; }
};

// Two hex characters to a byte. Each character is upper-cased; a code up to
// 0x40 counts as a decimal digit, any other as a letter ('A' is 10). Characters
// that are not hex digits are not rejected; they give a meaningless value.
std::uint8_t HexPair(char high, char low);

// What one read of a HEX text found.
struct HexReadResult {
    int HighestAddr = 0;        // highest address stored (0 when nothing was)
    bool Stored = false;        // at least one data byte was stored
    // The address of the first data the read did not store because it lies
    // beyond what a HEX file may fill (-1: none).
    std::int64_t NotLoadedFrom = -1;
    bool WrongFile = false;     // a record type above 04 ended the read
    bool EepromMapped = false;  // data EEPROM records (F00000h..) were stored at 0F0000h..
    int ChecksumErrorLine = 0;  // line (from 1) of the first record whose checksum is off; 0 none
    // The address ranges stored (first, last), in file order, adjacent
    // records joined.
    std::vector<std::pair<int, int>> Ranges;
    // The configuration bytes the file holds at 300000h-30000Dh (not stored).
    HexConfigBytes Config;
};

// Reads HEX text into `image`. Records start at a ':' that follows a control
// character (or the start of the text); a count of 0, type 01, a type above
// 04 or the end of the text end the read. From the first record address above
// 0x800001 or data byte above 0xFFFFF on nothing more is stored, except the
// data EEPROM records (F00000h-F0FFFFh, stored at 0F0000h + their offset), so
// a toolchain's PIC18 file reaches its EEPROM past its IDs and configuration;
// its configuration bytes (300000h-30000Dh) are kept in the result's Config
// (their records checked as the stored ones). Segment (02) and linear (04)
// bases add up. Checksums are checked but never change what is stored. A record ends
// with its line: one cut short stores only the pairs its own line carries,
// counts as a damaged record, and the read goes on with the next line. Nothing
// is stored outside `image`.
HexReadResult ParseHex(std::span<const std::uint8_t> text, std::span<std::uint8_t> image);

// Reads an open file into the image; shows "Wrong file" and the checksum
// warning; LoadedEnd and the buffer window's EndAddr := the highest address
// stored, which is returned; LoadedRanges and LoadedConfig := what it stored
// and the configuration bytes it kept.
int ReadHex(Workbench& wb, std::FILE* file);
// Loads DataFileName into the image and shows it in the buffer window. Data
// the read stops at (beyond 0xFFFFF) is named in one message after the load. A
// file that stores nothing (empty, no data record) says so and changes no
// window: the buffer window keeps its title and end.
void LoadHex(Workbench& wb);

// The HEX text for image addresses 0..last: 32-byte data records, a linear
// base record before each 64 KiB block above the first, the end record without
// a line break. CR LF line ends; upper-case digits. A negative `last` gives
// only the end record; `last` is kept inside the image.
std::string FormatHex(std::span<const std::uint8_t> image, int last);
// Writes FormatHex to an open file; false when the write fails.
bool WriteHex(std::FILE* file, std::span<const std::uint8_t> image, int last);
// Writes the image from 0 to the buffer window's EndAddr into DataFileName,
// whole or not at all (WriteWholeFile). Without a buffer window nothing is
// written and the message says so. A save that fails keeps the old file and
// shows one message naming the file and the reason. True when the file was
// written.
bool SaveHex(Workbench& wb);

}  // namespace quilla
