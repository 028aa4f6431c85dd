#include "errors/ErrorHandling.hpp"

#include "platform/types.hpp"

#include <utility>

namespace scribeline::ErrorHandling {

namespace {

// One error object per thread, as the platform gives each thread its own.
ErrorInfo& currentError() {
    thread_local ErrorInfo error;
    return error;
}

std::function<void(const ErrorReport&)>& debugSink() {
    thread_local std::function<void(const ErrorReport&)> sink;
    return sink;
}

} // namespace

const ErrorInfo& CurrentError() {
    return currentError();
}

void Raise(ErrorInfo error) {
    currentError() = std::move(error);
}

void Clear() {
    currentError() = ErrorInfo{};
}

ErrorInfo Describe(const std::exception_ptr& failure, const std::string& fallbackSource) {
    ErrorInfo info;
    info.source = fallbackSource;
    try {
        if (failure) {
            std::rethrow_exception(failure);
        }
        info.number = kErrUnknown;
        info.description = "unknown failure";
    } catch (const PortError& e) {
        info.number = kErrAutomation;
        info.source = e.operation();
        info.description = e.what();
    } catch (const std::exception& e) {
        info.number = kErrRuntime;
        info.description = e.what();
    } catch (...) {
        info.number = kErrUnknown;
        info.description = "unknown failure";
    }
    return info;
}

std::string LineText(int line) {
    if (line == 0) {
        return {};
    }
    return "Line : " + std::to_string(line);
}

void HandleError(bool outermost, const std::string& location, long number,
                 const std::string& source, const std::string& description, int mode) {
    Clear();
    if (const auto& sink = debugSink()) {
        sink(ErrorReport{outermost, location, ErrorInfo{number, source, description}, mode});
    }
    // Silent is the only mode in use: nothing is shown, kept or raised again.
}

void SetDebugSink(std::function<void(const ErrorReport&)> sink) {
    debugSink() = std::move(sink);
}

} // namespace scribeline::ErrorHandling
