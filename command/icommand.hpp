// The host's command interface: what the desktop GIS asks of a toolbar command. Members in the
// order of the interface's slots. Implementations must never let a failure reach the host.
#pragma once

#include "command/map_port.hpp"

#include <cstdint>
#include <memory>
#include <string>

namespace scribeline {

// A picture handed to the host; 0 is "no picture".
using PictureHandle = std::uint32_t;

class ICommand {
public:
    virtual ~ICommand() = default;
    virtual bool Enabled() = 0;
    virtual bool Checked() = 0;
    virtual std::string Name() = 0;
    virtual std::string Caption() = 0;
    virtual std::string Tooltip() = 0;
    virtual std::string Message() = 0;
    virtual std::string HelpFile() = 0;
    virtual int HelpContextID() = 0;
    virtual PictureHandle Bitmap() = 0;
    virtual std::string Category() = 0;
    // The host application, given once before any click; the command keeps a reference.
    virtual void OnCreate(std::shared_ptr<IMapApplication> hook) = 0;
    virtual void OnClick() = 0;
};

} // namespace scribeline
