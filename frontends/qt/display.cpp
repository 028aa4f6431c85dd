#include "frontends/qt/display.hpp"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace scribeline::frontend {

Environment ProcessEnvironment() {
    return [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        if (value == nullptr) {
            return std::nullopt;
        }
        return std::string(value);
    };
}

namespace {

bool Set(const Environment& environment, const char* name) {
    const auto value = environment(name);
    return value && !value->empty();
}

const char* kNoDisplay =
    "no display: neither DISPLAY nor WAYLAND_DISPLAY is set. Start it from a graphical session, "
    "or without one under a virtual X server: xvfb-run -a scribeline desk";

} // namespace

std::optional<std::string>
DisplayProblem(const Environment& environment,
               const std::function<bool(const std::string&)>& xServerReachable) {
    const auto platform = environment("QT_QPA_PLATFORM");
    const bool xcbChosen = platform && platform->rfind("xcb", 0) == 0;
    if (platform && !platform->empty() && !xcbChosen) {
        return std::nullopt;
    }
    const bool x = Set(environment, "DISPLAY");
    if (!x && (xcbChosen || !Set(environment, "WAYLAND_DISPLAY"))) {
        return std::string(kNoDisplay);
    }
    if (x && xServerReachable && !Set(environment, "WAYLAND_DISPLAY")) {
        const std::string display = *environment("DISPLAY");
        if (!xServerReachable(display)) {
            return "cannot open the display DISPLAY=" + display +
                   ": no X server answers there. Check DISPLAY, or run without a screen under "
                   "a virtual X server: xvfb-run -a scribeline desk";
        }
    }
    return std::nullopt;
}

bool XServerReachable(const std::string& display) {
    // ":N[.S]" and "unix:N[.S]" are local sockets; anything with a host name is left to Xlib.
    std::string rest;
    if (display.rfind(':', 0) == 0) {
        rest = display.substr(1);
    } else if (display.rfind("unix:", 0) == 0) {
        rest = display.substr(5);
    } else {
        return true;
    }
    const auto dot = rest.find('.');
    const std::string number = rest.substr(0, dot);
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const std::string path = "/tmp/.X11-unix/X" + number;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) {
        return true; // cannot tell: let Qt try
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    const bool ok =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    if (ok) {
        return true;
    }
    // The abstract socket Linux X servers also listen on.
    const int fd2 = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd2 < 0) {
        return true;
    }
    sockaddr_un abstract{};
    abstract.sun_family = AF_UNIX;
    const std::string name = path;
    std::memcpy(abstract.sun_path + 1, name.data(),
                std::min(name.size(), sizeof(abstract.sun_path) - 2));
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    const bool ok2 = ::connect(fd2, reinterpret_cast<const sockaddr*>(&abstract), length) == 0;
    ::close(fd2);
    return ok2;
}

} // namespace scribeline::frontend
