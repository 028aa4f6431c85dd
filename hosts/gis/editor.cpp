#include "hosts/gis/editor.hpp"

#include "hosts/gis/workspace.hpp"

namespace scribeline::gis {

int Editor::EditState() {
    return workspace_ && workspace_->IsEditing() ? kEditStateEditing : kEditStateNotEditing;
}

void Editor::StartEditing(const std::shared_ptr<IWorkspace>& workspace) {
    if (EditState() == kEditStateEditing) {
        throw PortError("StartEditing",
                        "an edit session is open already on " + workspace_->PathName());
    }
    auto ours = std::dynamic_pointer_cast<Workspace>(workspace);
    if (!ours) {
        throw PortError("StartEditing", workspace ? "the workspace does not belong to this host"
                                                  : "no workspace given");
    }
    ours->StartEdit();
    workspace_ = std::move(ours);
}

void Editor::StopEditing(bool save) {
    if (EditState() != kEditStateEditing) {
        throw PortError("StopEditing", "no edit session is open");
    }
    workspace_->StopEdit(save);
    workspace_.reset();
}

} // namespace scribeline::gis
