// The pace of a replay: a clock that runs `speed` times as fast as the wall's (or stands
// still while paused), and the evaluation of every held message of a recording whose time
// has come by it. A time-stamped recording plays at its own pace times the speed; one
// without stamps at a steady number of messages a second. The wall clock is handed in, so
// a test moves it by hand.
#pragma once

#include <cstddef>
#include <functional>

#include "common/clock.h"
#include "recorded_input.h"

namespace ternwick {

struct PaceStep {
    size_t evaluated = 0;  // messages evaluated
    bool starved = false;  // nothing held: more bytes are wanted
    double wait = 0;       // otherwise: wall seconds until the next message is due
};

class ReplayPacer {
public:
    static constexpr double kDefaultSpeed = 10.0;
    static constexpr double kDefaultRate = 200.0;

    // `wall`: seconds on a monotonic clock. `clock`: the session's, moved along with the
    // replay's position while a time-stamped recording plays (so ages grow between messages).
    explicit ReplayPacer(std::function<double()> wall, Clock* clock = nullptr);

    // The replay's clock stands at `position` seconds of the recording and runs from now.
    void Start(double position = 0);
    // Both take effect at once: the position reached so far is kept.
    void SetSpeed(double speed);
    void SetRate(double messages_per_second);
    void SetPaused(bool paused);
    double speed() const { return speed_; }
    double rate() const { return rate_; }
    bool paused() const { return paused_; }

    // Seconds since the recording's start where the replay's clock stands.
    double Position() const;
    // The position of the last message evaluated (a replay that does not pace shows it).
    double Evaluated() const { return evaluated_; }

    // Evaluates the held messages of `input` that are due, at most `max` of them.
    PaceStep RunDue(RecordedInput& input, size_t max = SIZE_MAX);
    // Evaluates the next held message whatever its time (a step by hand); the replay's
    // clock then stands at it. False when nothing is held.
    bool Step(RecordedInput& input);

private:
    // Where the front message of `input` falls on the replay's clock.
    double DueOf(RecordedInput& input, const FramedMessage& m) const;
    void Evaluate(RecordedInput& input, double due);
    void Anchor();

    std::function<double()> wall_;
    Clock* clock_;
    double speed_ = kDefaultSpeed;
    double rate_ = kDefaultRate;
    bool timed_ = false;          // the recording has time stamps
    double applied_speed_ = 1.0;  // the speed the clock runs at: 1 without stamps
    bool paused_ = false;
    double anchor_position_ = 0;
    double anchor_wall_ = 0;
    double next_untimed_ = 0;  // where the next message without a stamp falls
    double evaluated_ = 0;
};

}  // namespace ternwick
