#include "hosts/desktop/scheduler.hpp"

#include <algorithm>
#include <utility>

namespace scribeline::desktop {

void Scheduler::Sleep(std::int64_t milliseconds) {
    now_ += std::max<std::int64_t>(0, milliseconds);
}

void Scheduler::Post(std::function<void()> message) {
    posted_.push_back(std::move(message));
}

TimerHandle Scheduler::SetTimer(int intervalMs, std::function<void()> callback) {
    if (intervalMs <= 0) {
        throw PortError("SetTimer", "interval must be positive");
    }
    const TimerHandle h = nextTimer_++;
    timers_[h] = Timer{intervalMs, std::move(callback), now_ + intervalMs, false};
    return h;
}

void Scheduler::KillTimer(TimerHandle timer) {
    timers_.erase(timer);
}

void Scheduler::RunDue() {
    for (;;) {
        if (!posted_.empty()) {
            auto message = std::move(posted_.front());
            posted_.pop_front();
            message();
            continue;
        }
        TimerHandle next = 0;
        std::int64_t nextDue = 0;
        for (const auto& [id, t] : timers_) {
            if (!t.running && t.due <= now_ && (next == 0 || t.due < nextDue)) {
                next = id;
                nextDue = t.due;
            }
        }
        if (next == 0) {
            return;
        }
        Timer& t = timers_[next];
        t.running = true;
        auto callback = t.callback; // the callback may kill its own timer
        callback();
        auto it = timers_.find(next);
        if (it != timers_.end()) {
            it->second.due = now_ + it->second.interval;
            it->second.running = false;
        }
    }
}

std::int64_t Scheduler::NextEventTime() const {
    if (!posted_.empty()) {
        return now_;
    }
    std::int64_t best = -1;
    for (const auto& [id, t] : timers_) {
        if (!t.running && (best < 0 || t.due < best)) {
            best = t.due;
        }
    }
    return best;
}

void Scheduler::Advance(std::int64_t milliseconds, const std::function<bool()>& stop) {
    const std::int64_t target = now_ + std::max<std::int64_t>(0, milliseconds);
    RunDue();
    while (!(stop && stop())) {
        const std::int64_t t = NextEventTime();
        if (t < 0 || t > target) {
            break;
        }
        now_ = std::max(now_, t);
        RunDue();
    }
    if (!(stop && stop())) {
        now_ = std::max(now_, target); // a callback may have let time pass beyond it
        RunDue();
    }
}

} // namespace scribeline::desktop
