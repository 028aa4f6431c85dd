// clsScribeline: the command the host creates. It opens, and on later presses drives, the
// digitizer window. Every member traps every failure and hands it to ErrorHandling, which
// discards it: the host never sees a failure from the command, and the member returns what it
// had so far (or its default).
#pragma once

#include "command/environment.hpp"
#include "command/frmGE2Arc.hpp"
#include "command/icommand.hpp"
#include "command/map_port.hpp"
#include "command/process_state.hpp"
#include "command/subsystems.hpp"

#include <functional>
#include <memory>
#include <string>

namespace scribeline {

// The layer predicate. Mode (compared upper-cased) "LAYOUT": whether the document's active
// view is its page layout. Any other mode: false when the focus map holds no layer; else for
// "SELECTION" whether the map has a selected feature, for every other mode true.
// The document may be null, which is a failure (PortError).
[[nodiscard]] bool CheckMapLayers(IMxDocument* document, const std::string& mode);

class clsScribeline final : public ICommand {
public:
    static constexpr const char* kClassName = "Scribeline";

    // The environment's references are borrowed and must outlive the command.
    // `subsystems` must have every factory set (DefaultSubsystems() in composition/).
    clsScribeline(Environment environment, Subsystems subsystems);
    // Class_Terminate.
    ~clsScribeline() override;
    clsScribeline(const clsScribeline&) = delete;
    clsScribeline& operator=(const clsScribeline&) = delete;

    bool Enabled() override;
    bool Checked() override;
    std::string Name() override;
    std::string Caption() override;
    std::string Tooltip() override;
    std::string Message() override;
    std::string HelpFile() override;
    int HelpContextID() override;
    PictureHandle Bitmap() override;
    std::string Category() override;
    void OnCreate(std::shared_ptr<IMapApplication> hook) override;
    void OnClick() override;

    // Unloads every loaded form and releases the host references. Runs once; the destructor
    // runs it when nobody did.
    void Class_Terminate();

    // The window instance (created on first use, not loaded by this).
    [[nodiscard]] frmGE2Arc& Window();
    [[nodiscard]] ProcessState& Process() { return process_; }

    // A diagnostic probe run at the start of every member, inside its trap, with the member's
    // name ("ICommand_Enabled"). Whatever it raises is trapped like any failure.
    void SetMemberProbe(std::function<void(const std::string& member)> probe) {
        probe_ = std::move(probe);
    }

private:
    template <class Result, class Body> Result trap(const char* member, Result result, Body&& body);

    Environment environment_;
    Subsystems subsystems_;
    ProcessState process_;
    std::unique_ptr<frmGE2Arc> window_;
    std::shared_ptr<IMapApplication> application_;
    std::shared_ptr<IMxDocument> document_;
    std::function<void(const std::string&)> probe_;
    bool terminated_ = false;
};

} // namespace scribeline
