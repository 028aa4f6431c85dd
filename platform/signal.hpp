// A synchronous notification with RAII subscriptions, for models that a front end binds to.
//
// Handlers run in the order they subscribed, on the caller's thread, inside Raise. A handler
// may subscribe or unsubscribe (itself or others) while a notification runs: one added then
// first hears the next notification, one removed then is not called any more. A Connection
// may outlive its Signal; it is then inert.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

namespace scribeline {

// Unsubscribes when destroyed or reset. Move-only.
class Connection {
public:
    Connection() = default;
    // `alive` lives as long as what `disconnect` unsubscribes from.
    Connection(std::weak_ptr<const void> alive, std::function<void()> disconnect)
        : alive_(std::move(alive)), disconnect_(std::move(disconnect)) {}
    ~Connection() { Reset(); }
    Connection(Connection&& other) noexcept
        : alive_(std::exchange(other.alive_, {})),
          disconnect_(std::exchange(other.disconnect_, {})) {}
    Connection& operator=(Connection&& other) noexcept {
        if (this != &other) {
            Reset();
            alive_ = std::exchange(other.alive_, {});
            disconnect_ = std::exchange(other.disconnect_, {});
        }
        return *this;
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    // Unsubscribes now; the handler is not called again, even from a notification under way.
    void Reset() {
        alive_.reset();
        if (disconnect_) {
            std::exchange(disconnect_, {})();
        }
    }
    // Subscribed, and the signal still exists.
    [[nodiscard]] bool Active() const { return disconnect_ && !alive_.expired(); }

private:
    std::weak_ptr<const void> alive_;
    std::function<void()> disconnect_;
};

template <typename... Args> class Signal {
public:
    using Handler = std::function<void(Args...)>;

    Signal() = default;
    // Subscriptions belong to one signal.
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;

    // An empty handler is refused with std::invalid_argument.
    [[nodiscard]] Connection Subscribe(Handler handler) {
        if (!handler) {
            throw std::invalid_argument("A signal handler must not be empty.");
        }
        const std::uint64_t id = slots_->nextId++;
        slots_->slots.push_back({id, std::move(handler)});
        std::weak_ptr<Slots> weak = slots_;
        return Connection(weak, [weak, id] {
            if (auto slots = weak.lock()) {
                std::erase_if(slots->slots, [id](const Slot& slot) { return slot.id == id; });
            }
        });
    }

    void Raise(Args... args) const {
        if (slots_->slots.empty()) {
            return;
        }
        const auto slots = slots_; // a handler may destroy the signal's owner
        std::vector<std::uint64_t> ids;
        ids.reserve(slots->slots.size());
        for (const auto& slot : slots->slots) {
            ids.push_back(slot.id);
        }
        for (const std::uint64_t id : ids) {
            const auto it = std::find_if(slots->slots.begin(), slots->slots.end(),
                                         [id](const Slot& slot) { return slot.id == id; });
            if (it != slots->slots.end()) {
                const Handler handler = it->handler;
                handler(args...);
            }
        }
    }

    [[nodiscard]] int SubscriberCount() const { return static_cast<int>(slots_->slots.size()); }

private:
    struct Slot {
        std::uint64_t id;
        Handler handler;
    };
    struct Slots {
        std::vector<Slot> slots;
        std::uint64_t nextId = 1;
    };
    std::shared_ptr<Slots> slots_ = std::make_shared<Slots>();
};

} // namespace scribeline
