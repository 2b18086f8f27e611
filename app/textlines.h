// Line numbers in the text files the program reads (HEX, JEDEC).
#pragma once

#include <cstddef>
#include <string_view>

namespace quilla {

// The line (from 1) of the character at `pos`: the line breaks before it plus
// one; CR LF counts as one break, a lone CR or LF as one.
inline int LineOf(std::string_view text, std::size_t pos) {
    int line = 1;
    for (std::size_t i = 0; i < pos && i < text.size(); ++i) {
        if (text[i] == '\n') ++line;
        else if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) ++line;
    }
    return line;
}

}  // namespace quilla
