// What the digitizer shares across one process: the globe client's handles, the window-open
// flag, the window's load counter and the collection of loaded forms. The command class owns
// one and lends it to its window; tests make their own.
#pragma once

#include "command/globe_port.hpp"
#include "platform/types.hpp"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace scribeline {

// A form of the deliverable as the loaded-forms collection sees it.
class IForm {
public:
    virtual ~IForm() = default;
    [[nodiscard]] virtual std::string FormName() const = 0;
    // Unloads the form; false when it refused.
    virtual bool UnloadForm() = 0;
};

struct GlobeHandles {
    std::shared_ptr<IApplicationGE> application; // null until first created
    WindowHandle mainWindow = kNoWindow;
    WindowHandle renderWindow = kNoWindow;
    std::optional<Rect> renderRect; // screen pixels; empty when it could not be read
};

struct ProcessState {
    GlobeHandles globe;
    // Set by the command when it opens the window, cleared when the window unloads.
    bool windowOpen = false;
    // How many times the digitizer window was loaded.
    int loadCount = 0;
    // Forms currently loaded (borrowed; each removes itself when it unloads or dies).
    std::vector<IForm*> loadedForms;

    void FormLoaded(IForm* form) {
        if (std::find(loadedForms.begin(), loadedForms.end(), form) == loadedForms.end()) {
            loadedForms.push_back(form);
        }
    }
    void FormUnloaded(IForm* form) {
        loadedForms.erase(std::remove(loadedForms.begin(), loadedForms.end(), form),
                          loadedForms.end());
    }
};

} // namespace scribeline
