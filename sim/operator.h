// The simulated operator: the person at the socket in mass production, so that
// `quilla --simulate` runs a mass-production batch pass after pass on its own.
// Present when ModelConfig::operatorChips is above 0 (the program sets it from
// QUILLA_SIM_OPERATOR; tests that script chip changes leave it at 0).
//
// What the operator reacts to is what the host's next-chip wait does while its
// prompt asks for the finished chip: a 100 ms wait (0x1C) with neither VCC nor
// VPP routed to any socket pin, then a contact poll. When such a poll finds the
// chip, and the contact poll before it found it too (so the chip is not the
// one just put in), the operator takes the chip out one second later (virtual
// time) and, one second after that, seats a fresh blank chip of the same part
// where a new one of that part sits. When two such polls in a row find the
// socket empty (a run that starts after the previous one took its last chip),
// the operator puts a fresh chip of the part it last took out in, a second
// later. It brings `chipsPerRun` chips per run and none after that, so the
// wait's putting-in phase finds no chip and the batch ends as a real one does
// when nobody brings the next chip. A run starts when the operator is told
// (StartRun: the program tells it whenever the user starts an operation).
// A chip whose part the simulator cannot make again is taken out and not
// replaced.
//
// Chips taken out go to a tray that keeps the last TrayKeeps of them, in order
// (a long run on a large part holds no more than that).
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <string>

#include "sim/chip.h"
#include "sim/clock.h"

namespace quilla::sim {

class Programmer;

class Operator {
public:
    // The chips the tray keeps: the last ones taken out.
    static constexpr std::size_t TrayKeeps = 4;

    explicit Operator(int chipsPerRun) : chipsPerRun_(chipsPerRun) {}

    // The user started an operation: the operator brings chipsPerRun chips again.
    void StartRun() { brought_ = 0; }
    // A 100 ms wait ran; `unpowered`: no VCC or VPP routed to any socket pin.
    void OnLongWait(bool unpowered) { alerted_ = unpowered; }
    // A reply went to the host: what came before was not a chip wait.
    void OnReply() { alerted_ = false; }
    // A contact poll starts; `chipThere`: a chip is in the socket.
    void OnContactPoll(bool chipThere, Nanos now);
    // Time has moved on: takes the chip out or puts the next one in when due.
    void OnTime(Programmer& programmer);
    // Someone else seated or removed a chip (the selection of another device):
    // an empty socket is no longer the operator's to fill.
    void ForgetPart() { part_.clear(); }

    // The last chips taken out (at most TrayKeeps), first first.
    const std::deque<std::unique_ptr<Chip>>& Tray() const { return tray_; }
    // Every chip taken out since the start.
    int TakenOut() const { return takenOut_; }
    // Chips brought since the run started.
    int Brought() const { return brought_; }
    bool Busy() const { return state_ != State::Idle; }

private:
    enum class State { Idle, TakingOut, PuttingIn };

    bool ChipsLeft() const { return brought_ < chipsPerRun_; }

    int chipsPerRun_;
    int brought_ = 0;
    int takenOut_ = 0;
    bool alerted_ = false;
    bool lastPollSawChip_ = false;
    bool lastPollWasWait_ = false;
    State state_ = State::Idle;
    Nanos due_ = 0;
    std::string part_;
    std::deque<std::unique_ptr<Chip>> tray_;
};

}  // namespace quilla::sim
