// What the core is given by whoever creates the command: the desktop and the way to reach the
// globe client. The map host arrives separately, through ICommand::OnCreate.
#pragma once

#include "command/globe_port.hpp"
#include "platform/desktop.hpp"

namespace scribeline {

// Both references are borrowed and must outlive every object of the core that holds them.
struct Environment {
    IDesktop& desktop;
    IGlobeConnector& globe;
};

} // namespace scribeline
