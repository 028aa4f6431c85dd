// ErrorHandling: the error trap of the command class. The host may call any command member at
// any time; a failure escaping from one would reach the host, so every member traps its
// failures and hands them here, where they are discarded.
//
// The module keeps the "current error" the way the platform's error object does: a trap
// records the failure (Raise), the routine clears it. Nothing is shown, logged or re-raised in
// the silent mode; a debug sink may watch what was discarded.
#pragma once

#include <exception>
#include <functional>
#include <string>

namespace scribeline::ErrorHandling {

// The handling modes a caller may ask for. The command's members pass Silent; no other mode
// is used by the system, and any other value is handled as Silent.
inline constexpr int kSilent = 4;

// Error numbers given to the failures the core raises, in the platform's numbering.
inline constexpr long kErrAutomation = -2147467259; // a failed call of an outside application
inline constexpr long kErrRuntime = 5;              // any other failure with a reason
inline constexpr long kErrUnknown = 1;              // a failure that says nothing about itself

// What the error object holds. number 0 means no error.
struct ErrorInfo {
    long number = 0;
    std::string source;
    std::string description;
};

// One discarded failure as the error routine received it.
struct ErrorReport {
    bool outermost = false;
    std::string location; // member name, blank, class name, blank, line text
    ErrorInfo error;
    int mode = kSilent;
};

// The current error of this thread (number 0 when none is pending).
[[nodiscard]] const ErrorInfo& CurrentError();
// Records a failure as the current error.
void Raise(ErrorInfo error);
// Clears the current error.
void Clear();

// Turns a caught failure (std::current_exception() in a catch block) into what the error
// object would hold. `fallbackSource` names the source when the failure
// does not name one (PortError names its operation).
[[nodiscard]] ErrorInfo Describe(const std::exception_ptr& failure,
                                 const std::string& fallbackSource);

// "Line : 40" for a numbered statement, the empty text for line 0 (statement not numbered).
[[nodiscard]] std::string LineText(int line);

// The error routine: clears the current error; in the silent mode it does nothing further.
// The sink, when set, receives the report first.
void HandleError(bool outermost, const std::string& location, long number,
                 const std::string& source, const std::string& description, int mode);

// Sets (or, with an empty function, removes) the debug sink. The sink must not throw.
void SetDebugSink(std::function<void(const ErrorReport&)> sink);

} // namespace scribeline::ErrorHandling
