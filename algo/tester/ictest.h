// The logic IC tester (keyword ICTEST, window "Test  IC (74,40,45)"): tests a
// 74-series TTL, 40- or 45-series CMOS chip in the socket against the
// test-vector library of its series (TTL74.LIB, CMOS40.LIB, CMOS45.LIB in the
// program folder), for one chosen type or by trying every type ("Detect").
//
// Each vector drives 24 socket lines (9..32 without the ground pin 20) through
// latches 1-3 of "ictest.bit", and three captures read them back. Library
// layout and sources: algo/tester/iclib.h.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "algo/common/form.h"
#include "algo/tester/iclib.h"

namespace quilla {

class TICTestx : public AlgoForm {
public:
    explicit TICTestx(Workbench& wb);

    void SetupForDevice() override;
    std::string DeviceLineError() const override;

    void Gr1OnClick();
    void LBox1OnClick();
    void Test1Click();
    void Button1Click();
    void OnClose() override;

    // Reads and indexes a library from the program folder; false (with "No
    // lib.." and the previous list kept) when it cannot be read or breaks the
    // library's limits.
    bool LoadIcLibrary(const std::string& name);
    int RunIcType(int i);
    int RunVector(std::int32_t offset, int k);

    struct IcLibraryEntry {
        std::uint8_t VccPin = 0;
        std::int32_t Offset = 0;
        std::int32_t Count = 0;
        std::int32_t Type = 0;
    };
    static constexpr const char* LibraryFiles[3] = {"TTL74.LIB", "CMOS40.LIB", "CMOS45.LIB"};

    std::vector<std::uint8_t> IcLibraryBuffer;
    std::vector<IcLibraryEntry> Entries;
    int EntryCount = 0;
    int SelectedType = 0;
    int VectorCounter = 0;
    int DetectCount = 0;

    // The type text of a type number in the chosen series.
    std::string TypeText(std::int32_t type) const;

private:
    void SetVccFromCombo();
    int Series() const;
    int seriesOfList_ = 0;  // the series whose library is loaded
};

}  // namespace quilla
