// The simulated operator: the person at the socket in mass production, so that
// `quilla --simulate` runs a mass-production batch pass after pass on its own.
// On when ModelConfig::simulatedOperator is set (the program sets it unless
// QUILLA_SIM_OPERATOR=0; tests that script chip changes leave it off).
//
// What the operator reacts to is what the host's next-chip wait does while its
// prompt asks for the finished chip: a 100 ms wait (0x1C) with neither VCC nor
// VPP routed to any socket pin, then a contact poll. When such a poll finds the
// chip, and the contact poll before it found it too (so the chip is not the
// one just put in), the operator takes the chip out one second later (virtual
// time) and, one second after that, seats a fresh blank chip of the same part
// where a new one of that part sits. Chips taken out go to a tray, in order.
// A chip whose part the simulator cannot make again is taken out and not
// replaced.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sim/chip.h"
#include "sim/clock.h"

namespace quilla::sim {

class Programmer;

class Operator {
public:
    // A 100 ms wait ran; `unpowered`: no VCC or VPP routed to any socket pin.
    void OnLongWait(bool unpowered) { alerted_ = unpowered; }
    // A reply went to the host: what came before was not a chip wait.
    void OnReply() { alerted_ = false; }
    // A contact poll starts; `chipThere`: a chip is in the socket.
    void OnContactPoll(bool chipThere, Nanos now);
    // Time has moved on: takes the chip out or puts the next one in when due.
    void OnTime(Programmer& programmer);

    // The chips taken out, first first.
    const std::vector<std::unique_ptr<Chip>>& Tray() const { return tray_; }
    bool Busy() const { return state_ != State::Idle; }

private:
    enum class State { Idle, TakingOut, PuttingIn };

    bool alerted_ = false;
    bool lastPollSawChip_ = false;
    State state_ = State::Idle;
    Nanos due_ = 0;
    std::string part_;
    std::vector<std::unique_ptr<Chip>> tray_;
};

}  // namespace quilla::sim
