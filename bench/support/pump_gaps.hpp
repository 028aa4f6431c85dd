// What a contour run's storing looks like to a person, read off the map's step progressor:
// the longest stretch without the message loop running (it runs right after every
// kStoredFeaturesPerPump-th stored feature), the time spent storing and the features stored.
#pragma once

#include "hosts/gis/gis_host.hpp"
#include "terrain/terrain_commands.hpp"

#include <algorithm>
#include <chrono>
#include <functional>

namespace scribeline::bench {

class PumpGaps {
public:
    // Listens on `progress` until destroyed, after whoever listened before (who listens again
    // then). `progress` must outlive this object.
    explicit PumpGaps(gis::StepProgressor& progress)
        : progress_(progress), before_(progress.changed) {
        progress_.changed = [this](const gis::ProgressEvent& e) {
            if (before_) {
                before_(e);
            }
            heard(e);
        };
    }
    ~PumpGaps() { progress_.changed = before_; }
    PumpGaps(const PumpGaps&) = delete;
    PumpGaps& operator=(const PumpGaps&) = delete;

    // Over every run heard so far: the longest gap and the storing time, seconds.
    [[nodiscard]] double MaxGapSeconds() const { return maxGap_; }
    [[nodiscard]] double StoreSeconds() const { return store_; }
    // Features the last run stored.
    [[nodiscard]] int Segments() const { return segments_; }

private:
    using Clock = std::chrono::steady_clock;

    void heard(const gis::ProgressEvent& e) {
        const auto now = Clock::now();
        if (e.kind == gis::ProgressEvent::Kind::SetPosition) {
            first_ = lastPump_ = now;
        } else if (e.kind == gis::ProgressEvent::Kind::Step) {
            last_ = now;
            if (e.position % terrain::kStoredFeaturesPerPump == 0) {
                maxGap_ = std::max(maxGap_, seconds(now - lastPump_));
                lastPump_ = now;
            }
        } else if (e.kind == gis::ProgressEvent::Kind::Hide) {
            maxGap_ = std::max(maxGap_, seconds(last_ - lastPump_));
            store_ += seconds(last_ - first_);
            segments_ = e.position;
        }
    }
    static double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

    gis::StepProgressor& progress_;
    std::function<void(const gis::ProgressEvent&)> before_;
    Clock::time_point first_{};
    Clock::time_point last_{};
    Clock::time_point lastPump_{};
    double maxGap_ = 0.0;
    double store_ = 0.0;
    int segments_ = 0;
};

} // namespace scribeline::bench
