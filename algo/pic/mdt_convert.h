// The MDT forms' conversion of a data file into the raw ".BIN" they program
// from: a built-in Intel HEX converter, and an external program for object
// files, started with an argument list (never through a shell).
#pragma once

#include <string>
#include <vector>

namespace quilla::mdt {

// `path` with its extension (from the last dot after the last '/') replaced by
// `ext`, or `ext` appended when it has none.
std::string WithExtension(const std::string& path, const std::string& ext);
// The extension of `path` with its dot, upper-cased ("" when none).
std::string UpperExtension(const std::string& path);

// Writes the program words of an Intel HEX file as a raw image: bytes from
// address 0 up to the highest one a record stored (a whole last word), the
// bytes no record filled FFh. False (with the reason in *why) when the HEX
// file cannot be read, stores nothing, or the .BIN cannot be written.
bool HexToBin(const std::string& hexPath, const std::string& binPath, std::string* why = nullptr);

// Runs `program` with the arguments `args` (each one argument, whatever
// blanks or shell characters it holds) and waits for it. True when it exited
// with status 0 and `output` exists afterwards; `output` is removed before the
// run, so a file found afterwards is the program's.
bool RunConverter(const std::string& program, const std::vector<std::string>& args, const std::string& output);

}  // namespace quilla::mdt
