// The editor extension: one edit session at a time, on one workspace.
#pragma once

#include "command/map_port.hpp"

#include <memory>

namespace scribeline::gis {

class Workspace;

class Editor final : public IEditor {
public:
    int EditState() override;
    // Raises PortError when a session is open already, or when the workspace is not one of
    // this host's or cannot be edited (read-only data).
    void StartEditing(const std::shared_ptr<IWorkspace>& workspace) override;
    // Raises PortError when no session is open. When saving fails before anything was put in
    // place, the session stays open with every edit kept, so the save can be tried again.
    void StopEditing(bool save) override;

    // The workspace being edited; null when not editing.
    [[nodiscard]] std::shared_ptr<Workspace> EditWorkspace() const { return workspace_; }

private:
    std::shared_ptr<Workspace> workspace_;
};

} // namespace scribeline::gis
