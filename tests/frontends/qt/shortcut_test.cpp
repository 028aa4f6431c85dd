// The digitizer window's shortcuts on the Qt front end (offscreen), as real key events: every
// chord works from the window, from a text box of the window and from the globe's render
// window; only Ctrl alone counts, and plain keys on the globe leave the settings alone.
#include "command/clsScribeline.hpp"
#include "frontends/qt/desk.hpp"
#include "frontends/qt/session_driver.hpp"
#include "tests/frontends/qt/desk_fixture.hpp"

#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

namespace scribeline::frontend {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

class ShortcutTest : public DeskWithWindow {
protected:
    void SetUp() override {
        DeskWithWindow::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        // The errors the window shows go to message boxes: answered at once, and counted.
        desk_->Desktop().SetMessageBoxResponder(
            [](const qtdesktop::MessageBoxShown&) { return qtdesktop::MessageBoxAnswer{}; });
    }
    // The screen shots in the folder; `remove`: deletes them (shots in one second share a name).
    int Shots(bool remove = false) const {
        int n = 0;
        for (const auto& entry : fs::directory_iterator(out_)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("Scribeline-", 0) == 0 && entry.path().extension() == ".bmp") {
                ++n;
                if (remove) {
                    fs::remove(entry.path());
                }
            }
        }
        return n;
    }
    // Where a key is pressed: the window, a text box in it, the globe.
    QWidget* Target(const std::string& where) {
        if (where == "window") {
            return desk_->Digitizer().FormWidget();
        }
        if (where == "text box") {
            return desk_->Digitizer().WidgetFor(form().ctl.txtRecordPPS);
        }
        return desk_->Desktop().Widget(desk_->Globe().RenderWindow());
    }
};

TEST_F(ShortcutTest, EveryShortcutWorksFromTheWindowATextBoxAndTheGlobe) {
    struct Shortcut {
        const char* chord;
        // What the key must have changed: the refresh delay by this much, a shot more.
        int delayChange;
        int shots;
    };
    // The delay moves in steps of 10 between 10 and 100; it starts at 30.
    const Shortcut shortcuts[] = {
        {"Ctrl+I", +10, 0},
        {"Ctrl+D", -10, 0},
        {"Ctrl+F7", 0, 1},
        {"Ctrl+F8", 0, 1},
        {"Ctrl+F9", 0, 1},
        // Only Ctrl alone: the same keys with Shift or Alt, or none, do nothing.
        {"Ctrl+Shift+I", 0, 0},
        {"Ctrl+Alt+D", 0, 0},
        {"F7", 0, 0},
        {"Shift+F8", 0, 0},
    };
    for (const char* where : {"window", "text box", "globe"}) {
        for (const Shortcut& s : shortcuts) {
            SCOPED_TRACE(std::string(where) + ": " + s.chord);
            QWidget* target = Target(where);
            ASSERT_NE(target, nullptr);
            int key = 0;
            Qt::KeyboardModifiers modifiers;
            ASSERT_TRUE(SessionDriver::ParseChord(s.chord, key, modifiers));
            const int delay = form().values.viewRefreshDelay;
            (void)Shots(true);
            const std::string text = form().ctl.txtRecordPPS.Text();
            SessionDriver::Key(target, key, modifiers);
            SessionDriver::Wait(milliseconds(5));
            EXPECT_EQ(form().values.viewRefreshDelay, delay + s.delayChange);
            EXPECT_EQ(Shots(), s.shots);
            EXPECT_EQ(form().ctl.txtRecordPPS.Text(), text) << "a chord types nothing";
        }
    }
    EXPECT_TRUE(desk_->Desktop().MessageBoxes().empty())
        << desk_->Desktop().MessageBoxes().front().box.text;
}

TEST_F(ShortcutTest, TheDelayStopsAtItsBoundsFromTheGlobe) {
    QWidget* globe = Target("globe");
    for (int i = 0; i < 12; ++i) {
        SessionDriver::Key(globe, Qt::Key_I, Qt::ControlModifier);
    }
    SessionDriver::Wait(milliseconds(5));
    EXPECT_EQ(form().values.viewRefreshDelay, 100);
    for (int i = 0; i < 12; ++i) {
        SessionDriver::Key(globe, Qt::Key_D, Qt::ControlModifier);
    }
    SessionDriver::Wait(milliseconds(5));
    EXPECT_EQ(form().values.viewRefreshDelay, 10);
}

} // namespace
} // namespace scribeline::frontend
