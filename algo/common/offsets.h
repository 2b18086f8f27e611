// The offsets window of the memory forms: File offset (first image index),
// Device offset (first chip address) and Length, typed in hexadecimal into
// Edit1, Edit2 and Edit3. Leaving an edit (or pressing Enter in it) reads the
// text; text that is not a hexadecimal number keeps the previous value, and
// the field is written back into the edit as "%x".
#pragma once

#include <cstdint>
#include <string>

namespace quilla {

class AlgoForm;

class OffsetsWindow {
public:
    std::int32_t FileOffset = 0;
    std::int32_t DeviceOffset = 0;
    std::int32_t Length = 0;

    // Declares Label1/Edit1 "File offset  :", Label2/Edit2 "Device offset:" and
    // Label3/Edit3 "Length:   " on the form and binds their handlers.
    void Declare(AlgoForm& form);

    void OnExit1() { OnExit(1); }
    void OnExit2() { OnExit(2); }
    void OnExit3() { OnExit(3); }
    void OnKeyDown(int edit, int key) {
        if (key == 13) OnExit(edit);
    }

    // Writes a field back into its edit ("%x").
    void ShowOffsetField(int edit, std::int32_t value);
    // Writes all three fields into their edits.
    void ShowAll();

private:
    void OnExit(int edit);
    std::int32_t& Field(int edit);
    static std::string EditName(int edit) { return "Edit" + std::to_string(edit); }

    AlgoForm* form_ = nullptr;
};

}  // namespace quilla
