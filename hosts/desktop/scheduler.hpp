// The headless desktop's time: a virtual clock that moves only when asked, periodic timers,
// and the queue of posted messages. Nothing runs except from RunDue and Advance, the pumps;
// Sleep only moves the clock.
#pragma once

#include "platform/desktop.hpp"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>

namespace scribeline::desktop {

class Scheduler {
public:
    // Milliseconds since the start; starts at 0.
    [[nodiscard]] std::int64_t Now() const { return now_; }
    // Lets time pass (negative: none) and runs nothing.
    void Sleep(std::int64_t milliseconds);

    // A message for the next pump, which runs posted messages in order before any timer.
    void Post(std::function<void()> message);

    // A periodic timer, first due `intervalMs` from now. Raises PortError for an interval
    // that is not positive.
    TimerHandle SetTimer(int intervalMs, std::function<void()> callback);
    // Unknown handles are ignored; a callback may kill its own timer.
    void KillTimer(TimerHandle timer);
    [[nodiscard]] int ActiveTimers() const { return static_cast<int>(timers_.size()); }

    // Runs every posted message and every timer due now, earliest due first (by handle among
    // equals). A timer is rescheduled from the end of its callback, so one that fell behind
    // fires once, and is never re-entered by a pump inside its own callback.
    void RunDue();
    // Moves the clock `milliseconds` forward, running what falls due on the way at its own due
    // time. Stops early, with the clock where it is, once `stop` says so (a message box's loop
    // ends when the box closes).
    void Advance(std::int64_t milliseconds, const std::function<bool()>& stop = {});

private:
    struct Timer {
        int interval = 0;
        std::function<void()> callback;
        std::int64_t due = 0;
        bool running = false;
    };
    // The earliest time at which something is due, -1 when nothing is waiting.
    [[nodiscard]] std::int64_t NextEventTime() const;

    std::int64_t now_ = 0;
    TimerHandle nextTimer_ = 1;
    std::map<TimerHandle, Timer> timers_;
    std::deque<std::function<void()>> posted_;
};

} // namespace scribeline::desktop
