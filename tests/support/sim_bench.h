// The shared test bench of every device family: a workbench on the simulated
// programmer with a chip of the given part in the socket, the selection dialog
// (for the ID buttons) and the dispatch. Forms are opened by their parameter
// string and driven by control name:
//
//   SimBench b("AT27C256R");
//   AlgoForm& f = b.Open("P27 13");
//   f.Click("Write");
//   EXPECT_EQ(f.Text("Message"), "OK!");
//   EXPECT_TRUE(b.ChipMatchesImage(0, 0x8000));
//
// The bench also checks the chip's side when it ends: a protocol violation, an
// over-current, a damaged chip or a read of the socket while the chip's VCC pin
// was held high by a logic pin instead of the supply fails the test unless the
// test declared it (ExpectViolation, ExpectOverCurrent, ExpectDamage,
// ExpectVccFromLogic).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <ostream>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "algo/common/form.h"
#include "app/workbench.h"
#include "catalog/typedlg.h"
#include "engine/fatal.h"
#include "engine/protocol.h"
#include "engine/startup.h"
#include "sim/programmer.h"
#include "simulate/session.h"
#include "support/scripted_prompts.h"

namespace quilla::test {

// One recorded command (opcode and arguments): indexable bytes that compare
// equal to a vector holding the same bytes.
class CommandBytes {
public:
    CommandBytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t operator[](std::size_t i) const { return data_[i]; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const std::uint8_t* data() const { return data_; }
    const std::uint8_t* begin() const { return data_; }
    const std::uint8_t* end() const { return data_ + size_; }
    friend bool operator==(const CommandBytes& a, const CommandBytes& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }
    friend bool operator==(const CommandBytes& a, const std::vector<std::uint8_t>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }

    friend void PrintTo(const CommandBytes& c, std::ostream* os) {
        *os << '{';
        for (std::size_t i = 0; i < c.size_; ++i) *os << (i ? ", " : "") << static_cast<unsigned>(c.data_[i]);
        *os << '}';
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// The commands a tap recorded, in order, all in one buffer: a long run sends
// hundreds of thousands, and one allocation each cost more than the run.
class CommandLog {
public:
    class const_iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = CommandBytes;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = CommandBytes;
        const_iterator() = default;
        const_iterator(const CommandLog* log, std::size_t i) : log_(log), i_(i) {}
        CommandBytes operator*() const { return (*log_)[i_]; }
        CommandBytes operator[](difference_type k) const { return (*log_)[i_ + static_cast<std::size_t>(k)]; }
        const_iterator& operator++() { ++i_; return *this; }
        const_iterator operator++(int) { auto t = *this; ++i_; return t; }
        const_iterator& operator--() { --i_; return *this; }
        const_iterator operator--(int) { auto t = *this; --i_; return t; }
        const_iterator& operator+=(difference_type k) { i_ += static_cast<std::size_t>(k); return *this; }
        const_iterator& operator-=(difference_type k) { i_ -= static_cast<std::size_t>(k); return *this; }
        friend const_iterator operator+(const_iterator a, difference_type k) { return a += k; }
        friend const_iterator operator+(difference_type k, const_iterator a) { return a += k; }
        friend const_iterator operator-(const_iterator a, difference_type k) { return a -= k; }
        friend difference_type operator-(const const_iterator& a, const const_iterator& b) {
            return static_cast<difference_type>(a.i_) - static_cast<difference_type>(b.i_);
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b) { return a.i_ == b.i_; }
        friend auto operator<=>(const const_iterator& a, const const_iterator& b) { return a.i_ <=> b.i_; }

    private:
        const CommandLog* log_ = nullptr;
        std::size_t i_ = 0;
    };
    using iterator = const_iterator;
    using value_type = CommandBytes;

    void push_back(const std::uint8_t* data, std::size_t n) {
        bytes_.insert(bytes_.end(), data, data + n);
        ends_.push_back(bytes_.size());
    }
    void clear() {
        bytes_.clear();
        ends_.clear();
    }
    std::size_t size() const { return ends_.size(); }
    bool empty() const { return ends_.empty(); }
    CommandBytes operator[](std::size_t i) const {
        const std::size_t start = i == 0 ? 0 : ends_[i - 1];
        return {bytes_.data() + start, ends_[i] - start};
    }
    CommandBytes back() const { return (*this)[size() - 1]; }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

    friend bool operator==(const CommandLog& a, const std::vector<std::vector<std::uint8_t>>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }

private:
    std::vector<std::uint8_t> bytes_;
    std::vector<std::size_t> ends_;
};

// Passes every transfer to the simulated programmer and keeps the commands
// the host sent (opcode and arguments, fillers and payloads left out). Hooks
// run before and after each OUT transfer (the fault sweep injects there).
struct Tap : Transport {
    explicit Tap(Transport& t) : next(t) {}
    int BulkWrite(const std::uint8_t* data, int n) override;
    int BulkRead(std::uint8_t* buf, int n) override { return next.BulkRead(buf, n); }
    std::size_t Count(std::uint8_t op) const;

    Transport& next;
    CommandLog commands;
    int outTransfers = 0;  // OUT transfers passed on (counted also when they fail)
    bool record = true;    // keep the commands (long runs on big parts switch it off)
    bool keepTransfers = false;                       // keep every OUT transfer's bytes too
    std::vector<std::vector<std::uint8_t>> transfers;
    std::function<void(int transfer)> beforeOut;  // transfer numbers count from 1
    std::function<void(int transfer)> afterOut;
};

struct SimBench {
    // withOperator: the simulated operator takes finished chips out and seats
    // fresh ones in mass production (sim/README.md, "The simulated operator").
    explicit SimBench(const std::string& part, const std::string& model = "vex520", bool withOperator = false);
    // The program's own start (`quilla --simulate`): the simulated programmer on
    // the virtual bus, the start-up connection, the selection dialog started
    // with the program's default options (no configuration file) and its
    // dispatch seating the selected line's chip. The socket is empty until a
    // line is selected.
    struct ProgramStart {
        std::string model = "vex520";
        bool withOperator = false;
        int operatorChips = DefaultOperatorChips;  // per run, with the operator
    };
    explicit SimBench(const ProgramStart& start);
    virtual ~SimBench();  // benches for a family derive from it and are owned as SimBench
    SimBench(const SimBench&) = delete;
    SimBench& operator=(const SimBench&) = delete;

    // Opens (or re-opens) the form of a parameter string, as the selection does.
    AlgoForm& Open(const std::string& params);
    // Selects a device line as the user does in the selection dialog (category
    // code "EPR".."TES", manufacturer, list item) and presses OK; null (with a
    // test failure) when the line is not listed or no form opened.
    AlgoForm* Select(const std::string& category, const std::string& mfr, const std::string& item);

    std::span<const std::uint8_t> Chip() const { return sim->GetChip()->Contents(); }
    template <class C>
    C& ChipAs() const {
        return dynamic_cast<C&>(*sim->GetChip());
    }
    std::uint8_t* Image() { return wb->ImageBuffer.data(); }

    // Random image bytes in [0, n), with a share of 0xFF bytes.
    void RandomImage(int n, unsigned seed = 7);
    // Chip bytes [first, first + n) equal the image at the same addresses.
    bool ChipMatchesImage(int first, int n) const;
    // Chip bytes [first, first + n) are all 0xFF.
    bool ChipBlank(int first, int n) const;
    std::uint64_t Transfers() const { return sim->GetCounters().transfersOut; }

    // ---- what the test expects of the chip's side ------------------------------------
    // A violation whose text contains `part` is expected (and must happen).
    void ExpectViolation(const std::string& part) { expectedViolations.push_back(part); }
    void ExpectOverCurrent() { overCurrentExpected = true; }
    void ExpectDamage() { damageExpected = true; }
    // A read while the chip's VCC pin is held high by a logic pin and no supply
    // (VCC unrouted: the chip runs on nothing) is expected; without it such a
    // read fails the test.
    void ExpectVccFromLogic() { vccFromLogicExpected = true; }
    // The chip's side as the bench judges it at its end: one line per fault
    // nobody declared (empty when clean).
    std::vector<std::string> ChipSideFaults() const;
    // Checks now (and not again at the end).
    void CheckChipSide();

    FatalIntercept fatal;
    ScriptedPrompts prompts;
    std::shared_ptr<sim::Programmer> sim;
    std::shared_ptr<Tap> tap;
    std::unique_ptr<ProgrammerConnection> connection;  // ProgramStart only
    std::unique_ptr<Workbench> wb;
    std::unique_ptr<TTypeDlg> dlg;

    std::vector<std::string> expectedViolations;
    bool overCurrentExpected = false;
    bool damageExpected = false;
    bool vccFromLogicExpected = false;
    bool checked = false;
};

}  // namespace quilla::test
