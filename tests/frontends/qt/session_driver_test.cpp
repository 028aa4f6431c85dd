// The session driver on Qt's offscreen platform: real events on the digitizer window's widgets
// reach the model as a person's would, the options menu is chosen from by a click in its popup,
// and key chords are read as sessions write them.
#include "command/clsScribeline.hpp"
#include "frontends/qt/desk.hpp"
#include "frontends/qt/session_driver.hpp"
#include "tests/frontends/qt/desk_fixture.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

namespace scribeline::frontend {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

class SessionDriverTest : public DeskWithWindow {
protected:
    void SetUp() override {
        DeskWithWindow::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        driver_ = std::make_unique<SessionDriver>(desk_->Digitizer());
        ASSERT_NE(driver_->FormWidget(), nullptr);
    }
    void TearDown() override {
        driver_.reset();
        DeskWithWindow::TearDown();
    }
    static void settle() { SessionDriver::Wait(milliseconds(10)); }

    std::unique_ptr<SessionDriver> driver_;
};

TEST_F(SessionDriverTest, ControlsAreWorkedThroughTheirWidgets) {
    auto& c = form().ctl;
    ASSERT_TRUE(driver_->Select(c.optGeometryType, 2));
    settle();
    EXPECT_TRUE(c.optGeometryType[2].Value());
    EXPECT_FALSE(c.optGeometryType[0].Value());
    EXPECT_FALSE(driver_->Select(c.optGeometryType, 3)) << "no such option";

    // Typing replaces the text; keys the box refuses are dropped, as for a person.
    ASSERT_TRUE(driver_->TypeInto(c.txtRecordPPS, "7x"));
    settle();
    EXPECT_EQ(c.txtRecordPPS.Text(), "7");
    auto* edit = qobject_cast<QLineEdit*>(desk_->Digitizer().WidgetFor(c.txtRecordPPS));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text().toStdString(), "7");
    // A box of several characters is emptied first, whatever each key does to its length.
    ASSERT_TRUE(driver_->TypeInto(c.txtRecordPPS, "15"));
    ASSERT_EQ(c.txtRecordPPS.Text(), "15");
    ASSERT_TRUE(driver_->TypeInto(c.txtRecordPPS, "3"));
    EXPECT_EQ(c.txtRecordPPS.Text(), "3");

    // The scroll bar reaches both ends and a value between, whichever way its keys run.
    for (int value : {c.vscrollRecordPPS.Min(), c.vscrollRecordPPS.Max(), 5}) {
        ASSERT_TRUE(driver_->Scroll(c.vscrollRecordPPS, value)) << value;
        EXPECT_EQ(c.vscrollRecordPPS.Value(), value);
    }
    EXPECT_FALSE(driver_->Scroll(c.vscrollRecordPPS, c.vscrollRecordPPS.Max() + 1))
        << "past the end the bar stops at it";
    EXPECT_EQ(c.vscrollRecordPPS.Value(), c.vscrollRecordPPS.Max());
}

TEST_F(SessionDriverTest, ToolbarButtonsAreClickedAndHiddenOnesAreNot) {
    auto& bar = form().ctl.toolbarScribeline;
    ASSERT_TRUE(driver_->Select(form().ctl.optGeometryType, 1));
    ASSERT_TRUE(bar.Button("start").enabled);
    ASSERT_TRUE(driver_->Toolbar("start"));
    settle();
    EXPECT_TRUE(form().DigitizingActive());
    EXPECT_FALSE(driver_->Toolbar("no-such-key"));
    // During a run the options menu does not open.
    EXPECT_EQ(driver_->ChooseMenuItem("saveDataIn3D", QPoint(2, 60)), MenuChoice::NoMenu);
    EXPECT_FALSE(driver_->Toolbar("pause")) << "hidden on the window's toolbar";
    EXPECT_TRUE(form().DigitizingActive());
}

TEST_F(SessionDriverTest, MenuItemsAreChosenInThePopupAndMissingOnesDismissIt) {
    frmOptionsContextMenu& options = form().Options();
    const bool was = options.Checked("saveDataIn3D");
    EXPECT_EQ(driver_->ChooseMenuItem("saveDataIn3D", QPoint(2, 60)), MenuChoice::Chosen);
    EXPECT_EQ(options.Checked("saveDataIn3D"), !was);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "the menu closed";

    // An item inside a submenu: the submenu opens on the way.
    const int delay = form().values.viewRefreshDelay;
    EXPECT_EQ(driver_->ChooseMenuItem("ViewRefreshDelayIncrease", QPoint(2, 60)),
              MenuChoice::Chosen);
    EXPECT_GT(form().values.viewRefreshDelay, delay);

    EXPECT_EQ(driver_->ChooseMenuItem("NoSuchItem", QPoint(2, 60)), MenuChoice::NotEnabled);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "dismissed";
    EXPECT_FALSE(options.IsPoppedUp());
}

// Any popup menu: an item two levels down is reached through its submenu, a disabled item or
// one that is not there dismisses every level, and with no menu nothing is clicked.
TEST(SessionDriverPopup, ChoosesThroughSubmenusAndRefusesDisabledItems) {
    QWidget owner;
    owner.setGeometry(50, 50, 300, 200);
    owner.show();
    QMenu menu(&owner);
    menu.addAction(QStringLiteral("Plain"))->setObjectName(QStringLiteral("plain"));
    QAction* off = menu.addAction(QStringLiteral("Off"));
    off->setObjectName(QStringLiteral("off"));
    off->setEnabled(false);
    QMenu* sub = menu.addMenu(QStringLiteral("More"));
    sub->menuAction()->setObjectName(QStringLiteral("more"));
    QMenu* deeper = sub->addMenu(QStringLiteral("Deeper"));
    deeper->addAction(QStringLiteral("Deep"))->setObjectName(QStringLiteral("deep"));

    struct Case {
        const char* name;
        MenuChoice outcome;
        const char* chosen; // the action exec returned; empty: none
    };
    for (const Case c :
         {Case{"deep", MenuChoice::Chosen, "deep"}, Case{"plain", MenuChoice::Chosen, "plain"},
          Case{"off", MenuChoice::NotEnabled, ""}, Case{"missing", MenuChoice::NotEnabled, ""}}) {
        SCOPED_TRACE(c.name);
        const auto outcome = SessionDriver::ChooseFromNextPopup(c.name, milliseconds(300));
        QString chosen = QStringLiteral("(not run)");
        QTimer::singleShot(0, &owner, [&] {
            QAction* a = menu.exec(owner.mapToGlobal(QPoint(10, 10)));
            chosen = a == nullptr ? QString() : a->objectName();
        });
        EXPECT_TRUE(SessionDriver::WaitUntil([&] { return chosen != QStringLiteral("(not run)"); },
                                             milliseconds(400)));
        EXPECT_EQ(*outcome, c.outcome);
        EXPECT_EQ(chosen.toStdString(), c.chosen);
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    }
    // No menu opens: the chooser gives up after its time and says so.
    const auto none = SessionDriver::ChooseFromNextPopup("plain", milliseconds(30));
    SessionDriver::Wait(milliseconds(60));
    EXPECT_EQ(*none, MenuChoice::NoMenu);
}

TEST_F(SessionDriverTest, ADisabledButtonIgnoresTheClick) {
    controls::Button& begin = form().ctl.cmdBeginDigitalizing;
    QWidget* widget = desk_->Digitizer().WidgetFor(begin);
    ASSERT_NE(widget, nullptr);
    int clicks = 0;
    QObject::connect(qobject_cast<QPushButton*>(widget), &QPushButton::clicked,
                     [&clicks] { ++clicks; });
    widget->setVisible(true); // placed or not, the press must be refused while disabled
    widget->setEnabled(false);
    SessionDriver::Click(widget, SessionDriver::Centre(widget));
    EXPECT_EQ(clicks, 0);
    widget->setEnabled(true);
    SessionDriver::Click(widget, SessionDriver::Centre(widget));
    EXPECT_EQ(clicks, 1);
}

TEST(SessionDriverChords, ChordsAsSessionsWriteThem) {
    struct Case {
        const char* text;
        bool ok;
        int key;
        Qt::KeyboardModifiers modifiers;
    };
    const Case cases[] = {
        {"Ctrl+F7", true, Qt::Key_F7, Qt::ControlModifier},
        {"Ctrl+F12", true, Qt::Key_F12, Qt::ControlModifier},
        {"Ctrl+I", true, Qt::Key_I, Qt::ControlModifier},
        {"Shift+Alt+X", true, Qt::Key_X, Qt::ShiftModifier | Qt::AltModifier},
        {"Enter", true, Qt::Key_Return, Qt::NoModifier},
        {"7", true, Qt::Key_7, Qt::NoModifier},
        {"F13", false, 0, {}},
        {"F0", false, 0, {}},
        {"F01", false, 0, {}},
        {"Meta+A", false, 0, {}},
        {"Ctrl+", false, 0, {}},
        {"a", false, 0, {}},
        {"", false, 0, {}},
    };
    for (const Case& c : cases) {
        int key = 0;
        Qt::KeyboardModifiers modifiers;
        EXPECT_EQ(SessionDriver::ParseChord(c.text, key, modifiers), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(key, c.key) << c.text;
            EXPECT_EQ(modifiers, c.modifiers) << c.text;
        }
    }
}

TEST(SessionDriverWait, TimersRunWhileWaitingAndWaitUntilStopsEarly) {
    int fired = 0;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&fired] { ++fired; });
    timer.start();
    QElapsedTimer clock;
    clock.start();
    SessionDriver::Wait(milliseconds(110));
    EXPECT_GE(clock.elapsed(), 110);
    EXPECT_GE(fired, 3) << "the event loop ran while waiting";
    clock.restart();
    const int from = fired;
    EXPECT_TRUE(SessionDriver::WaitUntil([&] { return fired > from; }, milliseconds(300)));
    EXPECT_LT(clock.elapsed(), 200);
    EXPECT_FALSE(SessionDriver::WaitUntil([] { return false; }, milliseconds(30)));
}

} // namespace
} // namespace scribeline::frontend
