#include "catalog/devicelist.h"

#include <cctype>
#include <cstring>

namespace quilla {

std::string DeviceListFileFor(const std::string& model) {
    auto begins = [&](const char* w) { return model.rfind(w, 0) == 0; };
    if (begins("vex310")) return "device310.lst";
    if (begins("vex420")) return "device520.lst";
    if (begins("vex520")) return "device520.lst";
    if (begins("vex640")) return "device640.lst";
    return "device640.lst";
}

bool DeviceLineCounts(std::string_view raw, const std::string& category, std::string& line) {
    if (raw.empty()) return false;
    unsigned char first = static_cast<unsigned char>(raw[0]);
    if (first == '#' || first == '/' || first == '-' || first <= 0x20) return false;
    // The first three characters against the category code, compared as C
    // strings: a code shorter than three characters matches nothing longer.
    const char* code = category.c_str();
    for (std::size_t i = 0; i < 3; ++i) {
        char c = i < raw.size() ? raw[i] : '\0';
        if (c != code[i]) return false;
        if (c == '\0') break;
    }
    std::size_t end = 0;
    while (end < raw.size()) {
        unsigned char b = static_cast<unsigned char>(raw[end]);
        if (b < 0x20 || b >= 0x80) break;
        ++end;
    }
    line.assign(raw.substr(0, end));
    return true;
}

bool LineManufacturer(const std::string& line, std::string& mfr) {
    if (line.size() < 5) return false;
    std::size_t blank = line.find(' ', 4);
    if (blank == std::string::npos) return false;
    mfr = line.substr(4, blank - 4);
    return true;
}

bool LineDevice(const std::string& line, std::string& item, std::string& params) {
    std::size_t comma = line.find(',');
    std::string head = comma == std::string::npos ? line : line.substr(0, comma);
    if (head.size() < 5) return false;
    std::size_t blank = head.find(' ', 4);
    if (blank == std::string::npos) return false;
    item = head.substr(blank + 1);
    params = comma == std::string::npos ? std::string("---") : line.substr(comma + 1);
    return true;
}

bool MatchFindText(const std::string& line, const std::string& find) {
    if (find.empty()) return true;
    std::size_t comma = line.find(',');
    std::string head = comma == std::string::npos ? line : line.substr(0, comma + 1);
    auto upper = [](std::string s) {
        for (char& c : s)
            if (static_cast<unsigned char>(c) < 0x80)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return s;
    };
    return upper(head).find(upper(find)) != std::string::npos;
}

bool DeviceListFile::Open(const std::string& path) {
    Close();
    file_ = std::fopen(path.c_str(), "rb");
    return file_ != nullptr;
}

void DeviceListFile::Rewind() {
    if (file_) std::rewind(file_);
    cut_ = continues_ = false;
}

void DeviceListFile::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    cut_ = continues_ = false;
}

bool DeviceListFile::NextPiece(std::string& piece) {
    piece.clear();
    continues_ = cut_;
    cut_ = false;
    if (!file_) return false;
    int c = 0;
    while (static_cast<int>(piece.size()) < DeviceLineMax && (c = std::getc(file_)) != EOF) {
        piece.push_back(static_cast<char>(c));
        if (c == '\n') break;
    }
    if (static_cast<int>(piece.size()) == DeviceLineMax && piece.back() != '\n') {
        // Full without its line break: the line goes on unless it ends right here.
        const int next = std::getc(file_);
        if (next != EOF) std::ungetc(next, file_);
        cut_ = next != EOF && next != '\n' && next != '\r';
    }
    return !piece.empty();
}

}  // namespace quilla
