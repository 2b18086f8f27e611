// The OUT stream of every 8051 form, byte for byte: for each listed line a
// fixed small image goes through the form's main operations (ID, Erase,
// Blank, Write, Verify, Read, Lock, then the batch on a fresh chip), and each
// operation's OUT transfers (with the status text it ends on) are digested.
// The table below was recorded from the forms as they stand; a change to a
// form that alters one command it sends shows here with the operation named.
//
// To record the table again after a deliberate change of a stream:
//   QUILLA_RECORD_STREAMS=1 build/tests/test_algo_mcs51 --gtest_filter='Mcs51Streams*'
// prints the rows to paste.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "mcs51_bench.h"
#include "support/device_lines.h"

namespace quilla::test {
namespace {

// The operations in the order they run: the buttons' names in the forms.
// A form without a button of that name skips it; the batch runs last.
const char* const kOps[] = {"ID", "Erase", "Blank", "Write", "Verify", "Read1", "ReadToFile", "Secrity", "Secu"};

std::uint64_t Fnv(std::uint64_t h, const std::uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 0x100000001B3ull;
    return h;
}

// The digest of the transfers the tap kept since the last call, with the
// status text and the transfer sizes folded in; the tap is emptied.
std::string TakeDigest(SimBench& b, const AlgoForm& f) {
    std::uint64_t h = 0xCBF29CE484222325ull;
    for (const auto& t : b.tap->transfers) {
        const std::uint32_t n = static_cast<std::uint32_t>(t.size());
        h = Fnv(h, reinterpret_cast<const std::uint8_t*>(&n), sizeof n);
        h = Fnv(h, t.data(), t.size());
    }
    const std::string msg = f.Has("Msg") ? f.Text("Msg") : std::string();
    h = Fnv(h, reinterpret_cast<const std::uint8_t*>(msg.data()), msg.size());
    char buf[24];
    std::snprintf(buf, sizeof buf, "%012llx", static_cast<unsigned long long>(h & 0xFFFFFFFFFFFFull));
    b.tap->transfers.clear();
    return buf;
}

// A bench on the line's part with the fixed image, its form open and the
// buffer window cut to three blocks.
AlgoForm& OpenFixed(SimBench& b, const ListedLine& l) {
    b.tap->keepTransfers = true;
    b.wb->sel.TypeText = "MPU: " + l.part;
    b.RandomImage(0x300, 62);
    AlgoForm& f = b.Open(l.params);
    if (b.wb->FileWin && b.wb->FileWin->EndAddr > 0x2FF) b.wb->FileWin->EndAddr = 0x2FF;
    return f;
}

// "op=digest op=digest ..." of one line: setup, each operation, the batch.
std::string StreamDigests(const ListedLine& l) {
    std::string out;
    {
        SimBench b(l.part);
        AlgoForm& f = OpenFixed(b, l);
        out += "setup=" + TakeDigest(b, f);
        for (const char* op : kOps) {
            if (!f.Has(op)) continue;
            f.Click(op);
            out += std::string(" ") + op + "=" + TakeDigest(b, f);
        }
        b.checked = true;  // the stream is the point here, not the order of the operations
    }
    SimBench b(l.part);
    AlgoForm& f = OpenFixed(b, l);
    TakeDigest(b, f);
    if (f.Has("Button1")) {
        f.Click("Button1");
        out += " batch=" + TakeDigest(b, f);
    }
    b.checked = true;
    return out;
}

// The lines of the 8051 forms: every line of a form kind built on the shared
// flow, the first line of every other form.
std::vector<ListedLine> StreamLines() {
    std::vector<ListedLine> out = DeviceLines(
        "device520.lst", {"P89C51", "P89C5WD", "AT89S5X", "AT89X8252", "W7851", "W78E516", "IS89C52", "SM8951",
                          "SM89516", "PSM2952", "SM59064", "SM59264", "MSU2958"});
    for (const char* k : {"PHI8758", "PHI87591", "V87C58", "DS87C520", "DS89C4X0", "PHI89C51", "PHI89NEW", "PHI89RX2",
                          "P89C51RX2XX", "SST89C5X", "SST89E554", "SST89E564", "AT89C51RD2", "AT89C51RC2", "MSU2964",
                          "P2051", "P97C2051", "PHI87LP", "P89LPC932", "P89LPCSPI"}) {
        const auto lines = DeviceLines("device520.lst", {k});
        if (!lines.empty()) out.push_back(lines.front());
    }
    return out;
}

// part + " " + params -> the recorded digests.
const std::map<std::string, std::string>& Recorded() {
    static const std::map<std::string, std::string> table = {
#include "streams_recorded.inc"
    };
    return table;
}

class Mcs51Streams : public ::testing::TestWithParam<ListedLine> {};

TEST_P(Mcs51Streams, EveryOperationSendsTheRecordedStream) {
    const ListedLine& l = GetParam();
    const std::string key = l.part + " " + l.params;
    const std::string got = StreamDigests(l);
    if (std::getenv("QUILLA_RECORD_STREAMS")) {
        std::printf("        {\"%s\",\n         \"%s\"},\n", key.c_str(), got.c_str());
        return;
    }
    const auto it = Recorded().find(key);
    ASSERT_NE(it, Recorded().end()) << "no recorded stream for " << key << ": " << got;
    EXPECT_EQ(got, it->second) << key;
}

INSTANTIATE_TEST_SUITE_P(Device520, Mcs51Streams, ::testing::ValuesIn(StreamLines()),
                         [](const ::testing::TestParamInfo<ListedLine>& i) {
                             std::string n = std::to_string(i.index) + "_" + i.param.part;
                             for (char& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

}  // namespace
}  // namespace quilla::test
