// The globe client's windows on the desktop port, over a GlobeModel: the main window and the
// render window inside it, speaking the client's window protocol (command/globe_protocol.hpp).
// The render window answers the mouse wheel and clicks on its navigation control (top right)
// and, with drag navigation on, drags and the arrow and page keys; the main window answers the
// shortcuts for a new placemark, path and polygon with their dialogs, which Enter confirms and
// Escape cancels. Closing the main window quits the client.
//
// Repaints: whenever the model's view changes the render window "repaints": `onRepaint` is
// called with it, so the desktop can drop what others drew on it. While the model flies, a
// 40 ms desktop timer repaints every frame.
#pragma once

#include "hosts/globe/globe_model.hpp"
#include "hosts/globe/navigation.hpp"
#include "platform/desktop.hpp"

#include <functional>
#include <memory>
#include <string>

namespace scribeline::globe {

struct GlobeWindowOptions {
    // Main window, screen pixels. The render window fills its client area except a side
    // panel on the left, a tool bar above and a status bar below: 800 x 500 by default.
    Rect mainWindow{80, 60, 1180, 640};
    int sidePanelWidth = 300;
    int toolBarHeight = 40;
    int statusBarHeight = 40;
    // Called with the render window at every repaint (may be empty).
    std::function<void(WindowHandle)> onRepaint;
    // Mouse drags and the arrow and page keys navigate the view.
    bool dragNavigation = false;
};

class GlobeWindows {
public:
    // Creates the windows on `desktop` over `model`; both are borrowed and must outlive this.
    // Takes over the model's listener and viewport source. Raises std::invalid_argument for a
    // layout that leaves no render window.
    GlobeWindows(IDesktop& desktop, GlobeModel& model, GlobeWindowOptions options = {});
    // Closes the windows.
    ~GlobeWindows();
    GlobeWindows(const GlobeWindows&) = delete;
    GlobeWindows& operator=(const GlobeWindows&) = delete;

    // Destroys the windows and stops the frame timer; the client is no longer running.
    void Close();
    // True once closed (Close, or the user closed the main window).
    [[nodiscard]] bool Closed() const;

    [[nodiscard]] WindowHandle MainWindow() const;
    [[nodiscard]] WindowHandle RenderWindow() const;
    // The open new-placemark/path/polygon dialog, kNoWindow when none.
    [[nodiscard]] WindowHandle DialogWindow() const;
    // The render window's client size, pixels ({0, 0} once it is gone).
    [[nodiscard]] Size RenderSize() const;
    [[nodiscard]] int RepaintCount() const;

    // The port's OpenKmlFile: the model keeps the file; a failure raises PortError and, unless
    // suppressed, is shown in a message box titled like the main window first.
    void OpenKmlFile(const std::string& fileName, int suppressMessages);

    // Set by the front end while a digitizing run is active: left and right drags then belong
    // to the run, not to navigation.
    void SetRunActive(bool active);
    [[nodiscard]] bool RunActive() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace scribeline::globe
