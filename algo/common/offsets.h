// The offsets window of the memory forms: File offset (first image index),
// Device offset (first chip address) and Length, typed in hexadecimal into
// Edit1, Edit2 and Edit3. Leaving an edit (or pressing Enter in it) reads the
// text; text that is not a hexadecimal number keeps the previous value, and
// the field is written back into the edit as "%x".
//
// Page forms keep the two offsets on page boundaries and Length ending in the
// page's low bits: with a page size set, leaving Edit1 or Edit2 rounds the
// offset down to a multiple of the page (unsigned), and leaving Edit3 sets
// Length to the value OR (page - 1).
#pragma once

#include <cstdint>
#include <string>

#include "algo/common/form.h"

namespace quilla {

class OffsetsWindow {
public:
    std::int32_t FileOffset = 0;
    std::int32_t DeviceOffset = 0;
    std::int32_t Length = 0;

    // Page rounding as above; 0 or 1 switches it off.
    void SetPage(std::int32_t page) { page_ = page; }
    std::int32_t Page() const { return page_; }

    // The window's rows for `form` (algo/common/window.h): Edit1 "File offset  :",
    // Edit2 "Device offset:" and Edit3 "Length:   " ("000000", "000000",
    // "000200"), each read back into its field on leaving it or on Enter.
    ControlRows Rows(AlgoForm& form);
    // The adapter forms' rows: group GroupBox4 "设置Add (16进制ByteAdd )" with
    // Edit1 "File offset  :", Edit2 "Device offset:" and Edit3 "器件End.Add ："
    // (an end address, kept in Length); only Edit2 and Edit3 are read back.
    ControlRows EndAddressRows(AlgoForm& form);

    void OnExit3() { OnExit(3); }
    void OnKeyDown(int edit, int key) {
        if (key == 13) OnExit(edit);
    }

    // Writes a field back into its edit ("%x").
    void ShowOffsetField(int edit, std::int32_t value);
    // Writes all three fields into their edits.
    void ShowAll();

private:
    // Edit1..Edit3 with their labels, in group `group`; Edit1 read back only
    // with `fileReadBack`.
    ControlRows Edits(AlgoForm& form, const char* const (&labels)[3], bool fileReadBack, const std::string& group);
    void OnExit(int edit);
    std::int32_t& Field(int edit);
    static std::string EditName(int edit) { return "Edit" + std::to_string(edit); }

    AlgoForm* form_ = nullptr;
    std::int32_t page_ = 0;
};

}  // namespace quilla
