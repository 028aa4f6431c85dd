// The front end a session plays on: the hosts the command runs with and a person's hands on
// them. The headless one works the control model and the headless desktop on a virtual clock;
// the Qt one (scribeline run --desktop qt) sends real Qt events to the widgets in real time.
// The player speaks only to this seam, so the two play the same steps the same way.
#pragma once

#include "command/window_controls.hpp"
#include "platform/desktop.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace scribeline {
class clsScribeline;
}
namespace scribeline::globe {
class SimulatedGlobe;
}
namespace scribeline::gis {
class GisHost;
}

namespace scribeline::app {

// A key chord as a session writes it: the key-down event of its key and modifiers
// (platform/key_chord.hpp reads it).
using KeyChord = KeyEvent;

// How a message box is answered: idr::... after it stood open keepOpenMs.
struct BoxAnswer {
    int result = idr::Ok;
    int keepOpenMs = 0;
};

// A message box that was shown and how it ended.
struct ShownBox {
    std::string title;
    std::string text;
    int result = 0;
};

enum class MenuOutcome { Chosen, DidNotOpen, NotAvailable };

class FrontEnd {
public:
    virtual ~FrontEnd() = default;

    // The hosts and the command (created with OnCreate); borrowed from the front end.
    virtual globe::SimulatedGlobe& Globe() = 0;
    virtual gis::GisHost& Host() = 0;
    virtual clsScribeline& Command() = 0;
    // Time since the front end started, milliseconds (virtual or real).
    [[nodiscard]] virtual std::int64_t ElapsedMs() const = 0;

    // Every message box from now on is answered by `answer` (given its title).
    virtual void AnswerBoxes(std::function<BoxAnswer(const std::string& title)> answer) = 0;
    [[nodiscard]] virtual std::vector<ShownBox> Boxes() const = 0;

    // ---- a person's hands ----
    // Presses the Scribeline command's button.
    virtual void PressCommand() = 0;
    // A mouse event at a client point of the globe's render window.
    virtual void Mouse(MouseMessage message, Point client, int wheelDelta) = 0;
    // Lets time pass; timers run.
    virtual void Wait(int ms) = 0;
    // A key chord in the digitizer window.
    virtual void Key(const KeyChord& chord) = 0;
    // The digitizer window's close box.
    virtual void CloseWindow() = 0;
    // Writes a PNG of the screen; false when the front end has no screen (headless) or the
    // file cannot be written.
    virtual bool Screenshot(const std::filesystem::path& /*file*/) { return false; }
    virtual void Toolbar(const std::string& key) = 0;
    // Right-clicks the window's background and chooses an item of the options menu.
    virtual MenuOutcome Menu(const std::string& item) = 0;
    virtual void Select(controls::OptionArray& options, int index) = 0;
    virtual void Choose(controls::ComboBox& list, int index) = 0;
    // Empties the box with Backspace, then types the text.
    virtual void Type(controls::TextBox& box, const std::string& text) = 0;
    // Types keys into the box as they come (no emptying first); `enter` ends with Enter.
    virtual void TypeKeys(controls::TextBox& box, const std::string& text, bool enter) = 0;
    virtual void Scroll(controls::ScrollBar& bar, int value) = 0;
    virtual void Push(controls::Button& button) = 0;
    virtual void Click(controls::Image& image) = 0;
    virtual void ClickCell(controls::ListView& grid, int row, int column) = 0;
};

// What a front end needs to start the hosts the way the runner's options say.
struct FrontEndSetup {
    std::filesystem::path outDir;
    std::vector<std::filesystem::path> dems;
    std::filesystem::path baseEarth;
    std::optional<std::filesystem::path> project;
    std::filesystem::path worldMapSource;
    // The globe's first view (latitude, longitude, range, tilt, azimuth); none: the default.
    struct Camera {
        double latitude = 0, longitude = 0, range = 0, tilt = 0, azimuth = 0;
    };
    std::optional<Camera> camera;
};

// Starts a front end; raises std::runtime_error when the set-up fails.
using FrontEndFactory = std::function<std::unique_ptr<FrontEnd>(const FrontEndSetup&)>;

} // namespace scribeline::app
