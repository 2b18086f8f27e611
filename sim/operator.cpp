#include "sim/operator.h"

#include "sim/programmer.h"

namespace quilla::sim {

namespace {
constexpr Nanos HandTime = Second;  // to take a chip out, and to put the next one in
}

void Operator::OnContactPoll(bool chipThere, Nanos now) {
    const bool inWait = alerted_;
    const bool sawChipBefore = lastPollSawChip_;
    const bool waitBefore = lastPollWasWait_;
    alerted_ = false;
    lastPollSawChip_ = chipThere;
    lastPollWasWait_ = inWait;
    if (!inWait || state_ != State::Idle) return;
    if (chipThere && sawChipBefore) {
        state_ = State::TakingOut;
        due_ = now + HandTime;
    } else if (!chipThere && !sawChipBefore && waitBefore && ChipsLeft() && !part_.empty()) {
        state_ = State::PuttingIn;
        due_ = now + HandTime;
    }
}

void Operator::OnTime(Programmer& programmer) {
    if (state_ == State::Idle || programmer.Now() < due_) return;
    if (state_ == State::TakingOut) {
        const Chip* seated = programmer.GetChip();
        const std::string part = seated ? seated->Name() : std::string();
        if (std::unique_ptr<Chip> chip = programmer.RemoveChipModel()) {
            tray_.push_back(std::move(chip));
            if (tray_.size() > TrayKeeps) tray_.pop_front();
            ++takenOut_;
        }
        part_ = part;
        state_ = ChipsLeft() ? State::PuttingIn : State::Idle;
        due_ += HandTime;
        return;
    }
    state_ = State::Idle;
    const std::string part = part_;
    if (!part.empty() && programmer.SeatPart(part)) ++brought_;
    part_ = part;
}

}  // namespace quilla::sim
