// How a failure that ends a user's action is shown: one message box titled
// "Scribeline for ArcMap" naming what failed and why. The action ends there; nothing else of
// its state is undone and the window stays open. A failure that repeats in every tick of a
// timer is shown once per run, not once per tick.
#pragma once

#include "platform/desktop.hpp"

#include <functional>
#include <set>
#include <string>

namespace scribeline {

class ActionErrors {
public:
    static constexpr const char* kTitle = "Scribeline for ArcMap";

    // The desktop is borrowed. `owner` gives the window that owns the message boxes (may give
    // kNoWindow).
    ActionErrors(IDesktop& desktop, std::function<WindowHandle()> owner);

    // Runs a user's action; a failure ends it and is reported. Returns false after a failure.
    bool Run(const std::string& what, const std::function<void()>& action);
    // Runs one tick of `timer`; its failures are reported once per run.
    bool RunTick(const std::string& timer, const std::function<void()>& tick);
    // A new run begins: tick failures are reported afresh.
    void NewRun() { reportedTicks_.clear(); }

    // "<what> failed." CR LF "<reason>".
    [[nodiscard]] static std::string MessageText(const std::string& what,
                                                 const std::string& reason);
    // The reason a caught failure gives (the exception's text).
    [[nodiscard]] static std::string Reason(const std::exception_ptr& failure);

private:
    void report(const std::string& what, const std::exception_ptr& failure);

    IDesktop& desktop_;
    std::function<WindowHandle()> owner_;
    std::set<std::string> reportedTicks_;
};

} // namespace scribeline
