// Device list files: one text file per programmer model, one device per line
// in the form "CAT MFR DEVICE,PARAMETERS".
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace quilla {

// Longest piece of a line read at once; the rest of a longer line is read as
// the next line.
inline constexpr int DeviceLineMax = 499;
// Entries of the device-parameter table: at most this many devices are listed.
inline constexpr int MaxListedDevices = 500;
// Longest manufacturer name of a device line.
inline constexpr std::size_t MaxManufacturerName = 29;

// The list file of a programmer model ("device640.lst" for anything unknown,
// an empty model included).
std::string DeviceListFileFor(const std::string& programmerModel);

// Reading rules 2 to 4 for one raw piece of a line: ignored when its first byte
// is '#', '/', '-' or 0x00..0x20, or when its first three characters are not
// `category`; otherwise `line` := the piece cut at its first byte below 0x20 or
// from 0x80 up, and true.
bool DeviceLineCounts(std::string_view raw, const std::string& category, std::string& line);

// The manufacturer of a counted line: from the fifth character up to the first
// blank at or after it. False when there is no such blank.
bool LineManufacturer(const std::string& line, std::string& mfr);

// The list item and parameter string of a counted line: the line is split at its
// first comma; the item is the text after the first blank at or after the fifth
// character up to the comma, the parameters what follows the comma ("---" when
// there is none). False when there is no such blank.
bool LineDevice(const std::string& line, std::string& item, std::string& params);

// The Find filter: true when `find` is empty or, upper-cased, occurs in the
// upper-cased line up to and including its first comma.
bool MatchFindText(const std::string& line, const std::string& find);

// The open device list. Every pass rewinds it and reads it from the start.
class DeviceListFile {
public:
    DeviceListFile() = default;
    ~DeviceListFile() { Close(); }
    DeviceListFile(const DeviceListFile&) = delete;
    DeviceListFile& operator=(const DeviceListFile&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    bool Open(const std::string& path);
    void Rewind();
    void Close();
    // The next piece of at most DeviceLineMax bytes, up to and including a line
    // break. False at the end of the file.
    bool NextPiece(std::string& piece);
    // True when the piece read last is not a whole line: its line goes on past
    // DeviceLineMax bytes, or it is the rest of such a line.
    bool PieceOfLongLine() const { return cut_ || continues_; }
    // True when the piece read last is the rest of a longer line.
    bool PieceContinues() const { return continues_; }

private:
    std::FILE* file_ = nullptr;
    bool cut_ = false;        // the last piece stopped inside its line
    bool continues_ = false;  // the last piece is the rest of a cut one
};

}  // namespace quilla
