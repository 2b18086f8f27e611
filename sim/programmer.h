// The simulated programmer: its firmware (the command stream parser, the
// system commands, captures and replies, design loading, the virtual clock),
// its socket with the seated chip, and the faults a test can inject. It is a
// Transport, so the host code reaches it exactly as it reaches the real one.
//
//   auto sim = MakeSimulatedProgrammer("vex520");
//   sim->SeatChip(PassiveChip::Dip(28));          // standard DIP position
//   TEp3 ep3(prompts, options, sim.get());
//   ...; EXPECT_TRUE(sim->Violations().empty());
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/byte_blocks.h"
#include "engine/protocol.h"
#include "engine/transport.h"
#include "sim/chip.h"
#include "sim/clock.h"
#include "sim/design.h"
#include "sim/events.h"
#include "sim/operator.h"
#include "sim/socket.h"

namespace quilla::sim {

// One programmer model.
struct ModelConfig {
    std::string model;                    // vex310, vex420, vex520, vex640
    std::vector<std::uint8_t> identText;  // identification answer (16 bytes by default, up to 64)
    std::array<std::uint8_t, 24> serial{};  // serial code, captured by 0x3E i
    bool hasFpga = true;                  // vex310: no FPGA, the load commands are violations
    int usbLoadCapacity = 10;             // pins of 16 V VPP driven low before the USB overloads
    // A design active from power-up without loading (a model's fixed firmware
    // port operations; "vex310fw" for the vex310, used once registered); empty for none.
    std::string firmwareDesign;
    // The simulated operator takes finished chips out and seats fresh ones in
    // mass production, this many per run (sim/operator.h); 0: no operator.
    int operatorChips = 0;

    // The known models with their defaults: identification = the model word
    // padded with NULs to 16 bytes; a serial code derived from the model word.
    // Any other word gets the same defaults with an FPGA.
    static ModelConfig For(std::string_view model);
    // Sets the identification text (cut at 64 bytes).
    ModelConfig& WithIdent(std::string_view text);
    ModelConfig& WithSerial(const std::array<std::uint8_t, 24>& s) {
        serial = s;
        return *this;
    }
};

// When a scheduled chip removal or insertion happens.
struct When {
    enum class Kind { AfterPolls, AtTime };
    Kind kind;
    std::uint64_t value;
    // After n more contact polls, counted from the previous scheduled event
    // (or from scheduling, for the first): polls 1..n see the chip as it was.
    static When AfterPolls(int n) { return {Kind::AfterPolls, static_cast<std::uint64_t>(n)}; }
    // Once the virtual clock reaches t.
    static When At(Nanos t) { return {Kind::AtTime, t}; }
};

// Used from one thread (the GUI thread, or a test); only Attached() may be
// read from another (the USB event thread of the virtual bus).
class Programmer : public Transport {
public:
    explicit Programmer(ModelConfig config, const DesignRegistry* designs = nullptr);
    ~Programmer() override;
    Programmer(const Programmer&) = delete;
    Programmer& operator=(const Programmer&) = delete;

    // ---- Transport ------------------------------------------------------------------
    int BulkWrite(const std::uint8_t* data, int n) override;
    int BulkRead(std::uint8_t* buf, int n) override;

    // ---- the chip ---------------------------------------------------------------------
    void SeatChip(std::unique_ptr<Chip> chip);  // standard DIP position
    void SeatChip(std::unique_ptr<Chip> chip, Placement placement);
    // Seats a registered part (false when no model exists for it).
    bool SeatPart(std::string_view part);
    std::unique_ptr<Chip> RemoveChipModel();
    Chip* GetChip() const { return socket_.SeatedChip(); }

    // ---- observation ----------------------------------------------------------------------
    const ModelConfig& Model() const { return config_; }
    Socket& GetSocket() { return socket_; }
    const Socket& GetSocket() const { return socket_; }
    Nanos Now() const { return clock_.Now(); }
    const Counters& GetCounters() const { return counters_; }
    const std::vector<Violation>& Violations() const { return violations_; }
    std::vector<std::string> ViolationTexts() const;
    void ClearViolations() { violations_.clear(); }
    EventLog& Log() { return log_; }
    const EventLog& Log() const { return log_; }
    Design* LoadedDesign() const { return design_.get(); }
    std::string LoadedTag() const;
    std::uint8_t Latch(int k) const { return k >= 0 && k < proto::LatchCount ? latches_[static_cast<std::size_t>(k)] : 0; }
    std::uint8_t Register(int r) const { return regs_[static_cast<std::uint8_t>(r)]; }
    bool OverCurrentLatched() const { return overCurrent_ != OverCurrentCause::None; }
    OverCurrentCause OverCurrentReason() const { return overCurrent_; }
    int ContactPolls() const { return polls_; }
    int PendingCaptures() const { return captureCount_; }
    bool Attached() const { return attached_; }
    // The simulated operator, null when the model has none.
    const Operator* GetOperator() const { return operator_.get(); }
    // The user started an operation: the operator's run starts again.
    void StartOperatorRun();

    // ---- fault injection ---------------------------------------------------------------------
    void InjectShortReply(int bytes, int count = 1);  // the next IN messages carry only `bytes`
    void InjectNoReply(int count = 1);                // the next IN messages are never sent
    void InjectOutFailure(int count = 1);             // the next OUT transfers fail (nothing runs)
    // Unplugged: every transfer fails from now on, and the programmer loses its
    // power (the design, supplies, routing, pins, latches and registers go back
    // to their power-up state; the chip stays in the socket).
    void Detach();
    void Reattach();
    void SetDetachListener(std::function<void()> f) { onDetach_ = std::move(f); }
    void InjectOverCurrent();
    void SetBadContact(int socketPin, bool bad = true) { socket_.SetBadContact(socketPin, bad); }
    void SetChipPresent(bool present);                // chip absent / back
    void ScheduleRemoval(When w);
    // Insertion of the chip taken out, or of a new one (where the present chip
    // sits when the pin counts match, else at its DIP position).
    void ScheduleInsertion(When w, std::unique_ptr<Chip> replacement = nullptr);
    void RejectDesigns(bool reject) { rejectAll_ = reject; }  // every end of load answers 0
    void RejectDesign(std::string tag) { rejectTags_.push_back(std::move(tag)); }
    // The user asks the programmer to stop: the cancel query answers yes once,
    // after `afterQueries` queries that answer no.
    void InjectCancel(int afterQueries = 0) { cancelAfter_ = afterQueries; }

    // ---- used by DesignContext ---------------------------------------------------------------
    // One cancel query: true when the user asked to stop (the request is then used up).
    bool TakeCancel() {
        if (cancelAfter_ < 0) return false;
        return cancelAfter_-- == 0;
    }
    void Capture(std::uint8_t v);
    // A read of the socket while the chip's VCC is held high by a logic driver
    // and no supply: logged once until the chip is supplied again.
    void NoteReadOnLogicVcc();
    std::uint8_t* BeginInMessage(int n);
    void Elapse(Nanos dt);
    void AddViolation(std::string text);

private:
    // The design a model runs from power-up (firmwareDesign), when it has one.
    void LoadFirmwareDesign();

    struct ChipEvent {
        bool insert;
        When when;
        std::unique_ptr<Chip> replacement;
        Placement placement;   // of the replacement
    };

    void RunPacket(const std::uint8_t* p, int len);
    void Execute(std::uint8_t op, const std::uint8_t* args, const std::uint8_t* payload);
    void System(std::uint8_t s, std::uint8_t v, std::uint8_t x, const std::uint8_t* payload);
    void Answer(const std::uint8_t* bytes, int n);
    void SendReply(int size, int maxCaptures);
    std::uint8_t ReadRegisterValue(std::uint8_t r);
    bool ToDesign(std::uint8_t op, const std::uint8_t* args, const std::uint8_t* payload);
    void EndDesignLoad();
    void Route(std::uint8_t s, int pin);
    void CheckFault();
    bool ContactMode() const;
    void StartPoll();
    void PowerDown();
    void FireTimedEvents();
    void FireChipEvent(ChipEvent& e);
    bool CheckPin(int pin, const char* what);
    void FinishInMessages();

    ModelConfig config_;
    const DesignRegistry* designs_;
    VirtualClock clock_;
    EventLog log_;
    Socket socket_;
    Counters counters_;
    std::vector<Violation> violations_;

    std::array<std::uint8_t, proto::LatchCount> latches_{};
    std::array<std::uint8_t, 256> regs_{};
    std::unique_ptr<Design> design_;
    std::unique_ptr<DesignContext> ctx_;

    // Captures since the last reply (up to one 256-byte block).
    std::array<std::uint8_t, proto::BlockSize> captures_{};
    int captureCount_ = 0;
    bool captureOverflow_ = false;
    bool readOnLogicVcc_ = false;

    // IN messages waiting for the host: bytes and message lengths.
    RecycledBytes inBytes_;
    std::size_t inHead_ = 0;
    std::vector<int> inLengths_;
    std::size_t inLenHead_ = 0;
    struct OpenMessage {
        std::size_t start;
        int size;
        int keep;   // bytes the host will see; -1: none (no reply injected)
    };
    std::vector<OpenMessage> pendingKeep_;   // messages of the packet being run
    bool inOverflowReported_ = false;

    // Design data being loaded.
    bool loading_ = false;
    std::vector<std::uint8_t> loadData_;

    // Contact polls.
    int polls_ = 0;
    bool pollSnapshotValid_ = false;
    PinSet pollSnapshot_;

    OverCurrentCause overCurrent_ = OverCurrentCause::None;    // the latched flag
    OverCurrentCause faultPresent_ = OverCurrentCause::None;   // the fault the socket has now
    std::uint64_t checkedGeneration_ = ~std::uint64_t{0};

    // Faults.
    int shortReplies_ = 0;
    int shortReplyBytes_ = 0;
    int noReplies_ = 0;
    int outFailures_ = 0;
    std::atomic<bool> attached_{true};   // may be polled by the USB event thread
    std::function<void()> onDetach_;
    bool rejectAll_ = false;
    std::vector<std::string> rejectTags_;
    int cancelAfter_ = -1;                // queries before the cancel answers yes; -1: none asked
    std::vector<ChipEvent> chipEvents_;   // in order; the first is armed
    int eventPollBase_ = 0;               // polls_ when the armed event was armed
    std::unique_ptr<Operator> operator_;  // the simulated operator, when the model has one
};

// A simulated programmer of a model (vex310, vex420, vex520, vex640, or any
// word with the defaults of ModelConfig::For).
std::unique_ptr<Programmer> MakeSimulatedProgrammer(std::string_view model = "vex520");

}  // namespace quilla::sim
