#include "sim/operator.h"

#include "sim/programmer.h"

namespace quilla::sim {

namespace {
constexpr Nanos HandTime = Second;  // to take a chip out, and to put the next one in
}

void Operator::OnContactPoll(bool chipThere, Nanos now) {
    const bool waitedForRemoval = alerted_ && chipThere && lastPollSawChip_;
    alerted_ = false;
    lastPollSawChip_ = chipThere;
    if (!waitedForRemoval || state_ != State::Idle) return;
    state_ = State::TakingOut;
    due_ = now + HandTime;
}

void Operator::OnTime(Programmer& programmer) {
    if (state_ == State::Idle || programmer.Now() < due_) return;
    if (state_ == State::TakingOut) {
        const Chip* seated = programmer.GetChip();
        part_ = seated ? seated->Name() : std::string();
        if (std::unique_ptr<Chip> chip = programmer.RemoveChipModel()) tray_.push_back(std::move(chip));
        state_ = State::PuttingIn;
        due_ += HandTime;
        return;
    }
    state_ = State::Idle;
    if (!part_.empty()) programmer.SeatPart(part_);
}

}  // namespace quilla::sim
