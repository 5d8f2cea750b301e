#include "replay_pacer.h"

#include <algorithm>
#include <cmath>

namespace ternwick {

ReplayPacer::ReplayPacer(std::function<double()> wall, Clock* clock) : wall_(std::move(wall)), clock_(clock) {}

void ReplayPacer::Start(double position) {
    anchor_position_ = position;
    anchor_wall_ = wall_();
    next_untimed_ = position;
    evaluated_ = position;
}

void ReplayPacer::Anchor() {
    anchor_position_ = Position();
    anchor_wall_ = wall_();
}

void ReplayPacer::SetSpeed(double speed) {
    Anchor();
    speed_ = speed;
    applied_speed_ = timed_ ? speed_ : 1.0;
}

void ReplayPacer::SetRate(double messages_per_second) { rate_ = messages_per_second; }

void ReplayPacer::SetPaused(bool paused) {
    if (paused == paused_) return;
    Anchor();
    paused_ = paused;
}

double ReplayPacer::Position() const {
    if (paused_) return anchor_position_;
    return anchor_position_ + applied_speed_ * (wall_() - anchor_wall_);
}

double ReplayPacer::DueOf(RecordedInput& input, const FramedMessage& m) const {
    return std::isnan(m.time) ? next_untimed_ : m.time - input.RecordingStart();
}

void ReplayPacer::Evaluate(RecordedInput& input, double due) {
    FramedMessage m = std::move(input.Pending().front());
    input.Pending().pop_front();
    if (std::isnan(m.time)) next_untimed_ = due + 1.0 / std::max(rate_, 1e-3);
    evaluated_ = std::max(evaluated_, due);
    input.Evaluate(m);
}

PaceStep ReplayPacer::RunDue(RecordedInput& input, size_t max) {
    // A recording with stamps runs at its pace times the speed; one without at 1 s a second,
    // its messages spaced by the rate.
    if (input.timed() != timed_) {
        Anchor();
        timed_ = input.timed();
        applied_speed_ = timed_ ? speed_ : 1.0;
    }
    PaceStep step;
    const double now = Position();
    while (step.evaluated < max) {
        if (input.Pending().empty()) {
            step.starved = true;
            break;
        }
        const double due = DueOf(input, input.Pending().front());
        if (due > now) {
            step.wait = paused_ ? 0 : (due - now) / applied_speed_;
            break;
        }
        Evaluate(input, due);
        ++step.evaluated;
    }
    // Between two messages the recording's time goes on; it never passes the next message.
    if (clock_ && input.timed()) {
        double at = now;
        if (!input.Pending().empty()) at = std::min(at, DueOf(input, input.Pending().front()));
        clock_->SetRecordingTime(input.RecordingStart() + at);
    }
    return step;
}

bool ReplayPacer::Step(RecordedInput& input) {
    if (input.Pending().empty()) return false;
    const double due = std::max(DueOf(input, input.Pending().front()), evaluated_);
    Evaluate(input, due);
    // The replay's clock stands at the stepped message: a timer started now goes on from it.
    anchor_position_ = due;
    anchor_wall_ = wall_();
    return true;
}

}  // namespace ternwick
