// A chain of low-level hooks of one kind (mouse or keyboard), as every desktop keeps them:
// installed hooks run newest first and any of them may discard the event. Handles come from the
// desktop (one counter for both kinds, so that Unhook can take either).
#pragma once

#include "platform/desktop.hpp"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

namespace scribeline {

template <class Event> class HookChain {
public:
    using Proc = std::function<HookResult(const Event&)>;

    void Add(HookHandle handle, Proc proc) { hooks_.emplace_back(handle, std::move(proc)); }

    // False when `handle` is not in this chain.
    bool Remove(HookHandle handle) {
        const auto before = hooks_.size();
        std::erase_if(hooks_, [handle](const auto& e) { return e.first == handle; });
        return hooks_.size() != before;
    }

    [[nodiscard]] std::size_t Size() const { return hooks_.size(); }
    [[nodiscard]] bool Empty() const { return hooks_.empty(); }

    // Runs the hooks newest first and says whether one discarded `event`. A hook may install or
    // remove hooks while it runs: the chain as it stood when the event came is walked, skipping
    // any hook removed meanwhile. `call(proc, event)` makes each call (a desktop may guard it).
    template <class Call> bool Discards(const Event& event, Call&& call) const {
        const auto hooks = hooks_;
        for (auto it = hooks.rbegin(); it != hooks.rend(); ++it) {
            const HookHandle id = it->first;
            const bool stillInstalled = std::any_of(hooks_.begin(), hooks_.end(),
                                                    [id](const auto& e) { return e.first == id; });
            if (stillInstalled && call(it->second, event) == HookResult::Discard) {
                return true;
            }
        }
        return false;
    }
    bool Discards(const Event& event) const {
        return Discards(event, [](const Proc& proc, const Event& e) { return proc(e); });
    }

private:
    std::vector<std::pair<HookHandle, Proc>> hooks_;
};

} // namespace scribeline
