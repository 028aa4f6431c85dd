#include "command/action_errors.hpp"

#include <exception>
#include <utility>

namespace scribeline {

ActionErrors::ActionErrors(IDesktop& desktop, std::function<WindowHandle()> owner)
    : desktop_(desktop), owner_(std::move(owner)) {}

std::string ActionErrors::MessageText(const std::string& what, const std::string& reason) {
    return what + " failed.\r\n" + reason;
}

std::string ActionErrors::Reason(const std::exception_ptr& failure) {
    try {
        if (failure) {
            std::rethrow_exception(failure);
        }
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
    }
    return "An unknown failure.";
}

void ActionErrors::report(const std::string& what, const std::exception_ptr& failure) {
    const WindowHandle owner = owner_ ? owner_() : kNoWindow;
    desktop_.MessageBox(owner, MessageText(what, Reason(failure)), kTitle,
                        mb::Ok | mb::IconExclamation);
}

bool ActionErrors::Run(const std::string& what, const std::function<void()>& action) {
    try {
        action();
        return true;
    } catch (...) {
        report(what, std::current_exception());
        return false;
    }
}

bool ActionErrors::RunTick(const std::string& timer, const std::function<void()>& tick) {
    try {
        tick();
        return true;
    } catch (...) {
        // Marked before the box opens: the timer keeps ticking while the box is up.
        if (reportedTicks_.insert(timer).second) {
            report("The timer " + timer, std::current_exception());
        }
        return false;
    }
}

} // namespace scribeline
