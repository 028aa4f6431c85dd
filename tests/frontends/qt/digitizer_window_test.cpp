// The digitizer window's widgets over its control model (offscreen): every control has a widget
// showing its state, a change repaints only its own widget, and what a person does on a widget
// reaches the model.
#include "command/clsScribeline.hpp"
#include "frontends/qt/desk.hpp"
#include "hosts/gis/layers.hpp"
#include "tests/frontends/qt/desk_fixture.hpp"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QToolBar>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace scribeline::frontend {
namespace {

namespace fs = std::filesystem;

class DigitizerWindowTest : public DeskWithWindow {
protected:
    void SetUp() override {
        DeskWithWindow::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        settle();
    }
    DigitizerWindow& window() { return desk_->Digitizer(); }
    // Queued work (attaching, the widgets following the model) runs.
    static void settle() {
        for (int i = 0; i < 5; ++i) {
            QApplication::processEvents();
        }
    }
    // The widgets showing the model's state for every control.
    void expectWidgetsShowTheModel() {
        form().ctl.ForEach([&](const controls::Control& control) {
            if (dynamic_cast<const controls::Timer*>(&control) != nullptr) {
                return; // nothing to show
            }
            const auto* picture = dynamic_cast<const controls::PictureBox*>(&control);
            if (picture != nullptr && picture->hWnd() == kNoWindow) {
                return;
            }
            QWidget* widget = window().WidgetFor(control);
            ASSERT_NE(widget, nullptr) << control.Name() << control.Index();
            if (picture != nullptr) {
                return; // the core moves and draws its own windows
            }
            EXPECT_EQ(widget->isEnabled(), control.Enabled()) << control.Name() << control.Index();
            bool framesShown = true;
            for (const controls::Control* frame = window().ContainerOf(control);
                 frame != nullptr && framesShown; frame = window().ContainerOf(*frame)) {
                framesShown = frame->Visible();
            }
            if (!control.Visible() || !framesShown) {
                EXPECT_TRUE(widget->isHidden()) << control.Name() << control.Index();
            } else if (widget->isHidden()) {
                // Only the command buttons the toolbar stands for have no place on the form.
                const bool command =
                    control.Name().rfind("cmd", 0) == 0 || control.Name().rfind("Command", 0) == 0;
                EXPECT_TRUE(command) << control.Name() << control.Index() << " has no place";
            }
            if (const auto* captioned = dynamic_cast<const controls::CaptionedControl*>(&control)) {
                QString shown;
                if (auto* box = qobject_cast<QGroupBox*>(widget)) {
                    shown = box->title();
                } else if (auto* label = qobject_cast<QLabel*>(widget)) {
                    shown = label->text();
                } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
                    shown = button->text();
                }
                EXPECT_EQ(shown.toStdString(), captioned->Caption()) << control.Name();
            }
            if (const auto* text = dynamic_cast<const controls::TextBox*>(&control)) {
                auto* edit = qobject_cast<QLineEdit*>(widget);
                ASSERT_NE(edit, nullptr);
                EXPECT_EQ(edit->text().toStdString(), text->Text()) << control.Name();
            }
            if (const auto* option = dynamic_cast<const controls::OptionButton*>(&control)) {
                auto* radio = qobject_cast<QRadioButton*>(widget);
                ASSERT_NE(radio, nullptr);
                EXPECT_EQ(radio->isChecked(), option->Value()) << control.Name() << control.Index();
            }
        });
    }
};

TEST_F(DigitizerWindowTest, EveryControlHasAWidgetShowingItsState) {
    expectWidgetsShowTheModel();
    EXPECT_EQ(window().Errors(), 0) << window().LastError();
    // After the user changes things, still.
    auto* polygon = qobject_cast<QRadioButton*>(window().WidgetFor(form().ctl.optGeometryType[2]));
    ASSERT_NE(polygon, nullptr);
    polygon->click();
    settle();
    EXPECT_EQ(form().ctl.optGeometryType.Selected(), 2);
    expectWidgetsShowTheModel();
    auto* interval = qobject_cast<QRadioButton*>(window().WidgetFor(form().ctl.optContourLevel[1]));
    ASSERT_NE(interval, nullptr);
    interval->click();
    settle();
    EXPECT_EQ(form().ctl.optContourLevel.Selected(), 1);
    expectWidgetsShowTheModel();
    EXPECT_EQ(window().Errors(), 0) << window().LastError();
}

// Every caption has room for its whole text, and no two controls share a place (frames hold
// controls; the two layout images share one, one of them hidden), in both layouts.
TEST_F(DigitizerWindowTest, EveryCaptionFitsAndNoControlsOverlap) {
    for (const char* layout : {"less_options", "more_options"}) {
        form().ApplyLayout(layout);
        settle();
        std::vector<std::pair<std::string, QRect>> placed;
        form().ctl.ForEach([&](const controls::Control& control) {
            QWidget* widget = window().WidgetFor(control);
            if (widget == nullptr || widget->isHidden() ||
                dynamic_cast<const controls::PictureBox*>(&control) != nullptr) {
                return;
            }
            const std::string name = control.Name() + std::to_string(control.Index());
            if (auto* box = qobject_cast<QGroupBox*>(widget)) {
                const int title = box->fontMetrics().horizontalAdvance(box->title());
                EXPECT_LE(title + 12, box->width()) << layout << " " << name << " title is cut";
                return; // frames hold the others
            }
            if (auto* radio = qobject_cast<QRadioButton*>(widget)) {
                EXPECT_LE(radio->sizeHint().width(), radio->width())
                    << layout << " " << name << " \"" << radio->text().toStdString() << "\" is cut";
            } else if (auto* label = qobject_cast<QLabel*>(widget);
                       label != nullptr && !label->text().isEmpty()) {
                EXPECT_LE(label->sizeHint().width(), label->width())
                    << layout << " " << name << " is cut";
            }
            if (widget->parentWidget() == window().WidgetFor(form().ctl.toolbarScribeline)) {
                return;
            }
            placed.emplace_back(name, widget->geometry());
        });
        for (std::size_t i = 0; i < placed.size(); ++i) {
            for (std::size_t j = i + 1; j < placed.size(); ++j) {
                EXPECT_FALSE(placed[i].second.intersects(placed[j].second))
                    << layout << ": " << placed[i].first << " and " << placed[j].first;
            }
        }
        // Everything shown lies inside the window.
        QWidget* formWidget = desk_->Desktop().Widget(form().hWnd());
        ASSERT_NE(formWidget, nullptr);
        // What starts inside the window ends inside it (the compact layout clips the expanded
        // part whole; the toolbar folds its buttons).
        for (const auto& [name, rect] : placed) {
            if (formWidget->rect().contains(rect.topLeft()) && name != "toolbarScribeline-1") {
                EXPECT_TRUE(formWidget->rect().contains(rect))
                    << layout << ": " << name << " is cut";
            }
        }
    }
}

// A frame holds its controls: the measure track's labels are hidden with it, and when a run
// shows it in the option frames' place, the labels come with it and the hidden frames' options
// go.
TEST_F(DigitizerWindowTest, AHiddenFrameHidesWhatItHolds) {
    auto& c = form().ctl;
    QWidget* label = window().WidgetFor(c.Label5);
    QWidget* track = window().WidgetFor(c.frameMeasureTrack);
    QWidget* point = window().WidgetFor(c.optGeometryType[0]);
    QWidget* contour = window().WidgetFor(c.optContourLevel[0]);
    ASSERT_TRUE(label && track && point && contour);
    EXPECT_TRUE(c.Label5.Visible());
    EXPECT_TRUE(label->isHidden());
    EXPECT_FALSE(point->isHidden());

    form().Options().SetChecked("MeasureTrack", true);
    form().ApplyLayout("digitizing");
    settle();
    EXPECT_FALSE(track->isHidden());
    EXPECT_FALSE(label->isHidden());
    EXPECT_TRUE(track->geometry().contains(label->geometry())) << "left behind by its frame";
    EXPECT_TRUE(point->isHidden()) << "the option frame is hidden";
    EXPECT_TRUE(contour->isHidden()) << "the terrain frame is hidden";
    expectWidgetsShowTheModel();
}

// The welcome picture that the command takes back from the globe lies under the toolbar, not
// over it; the ready picture stands in the globe's render window.
TEST_F(DigitizerWindowTest, StatusPicturesStayUnderTheToolbarOnTheForm) {
    settle();
    QWidget* formWidget = desk_->Desktop().Widget(form().hWnd());
    QWidget* welcome = desk_->Desktop().Widget(form().ctl.pictGEInfoWelcome.hWnd());
    QWidget* ready = desk_->Desktop().Widget(form().ctl.pictGEInfoReady.hWnd());
    QWidget* toolbar = window().WidgetFor(form().ctl.toolbarScribeline);
    ASSERT_NE(formWidget, nullptr);
    ASSERT_NE(welcome, nullptr);
    ASSERT_NE(ready, nullptr);
    ASSERT_NE(toolbar, nullptr);
    EXPECT_EQ(welcome->parentWidget(), formWidget);
    EXPECT_EQ(ready->parentWidget(), desk_->Desktop().Widget(desk_->Globe().RenderWindow()));
    const QPoint centre = welcome->geometry().center();
    QWidget* top = formWidget->childAt(centre);
    ASSERT_NE(top, nullptr);
    EXPECT_TRUE(top == toolbar || toolbar->isAncestorOf(top))
        << "the welcome picture covers the toolbar";
    EXPECT_TRUE(toolbar->autoFillBackground()) << "the picture shows through the toolbar";
    // Handing it to the globe and back again (what a long action does) keeps it under.
    form().SetControlParentToGE(form().ctl.pictGEInfoWelcome);
    settle();
    EXPECT_NE(welcome->parentWidget(), formWidget);
    form().RecoverControlParent();
    settle();
    top = formWidget->childAt(welcome->geometry().center());
    EXPECT_TRUE(top == toolbar || (top != nullptr && toolbar->isAncestorOf(top)));
}

TEST_F(DigitizerWindowTest, AChangeRepaintsOnlyItsWidget) {
    std::map<const controls::Control*, int> before;
    for (const controls::Control* c : window().BoundControls()) {
        before[c] = window().SyncCount(*c);
    }
    controls::TextBox& box = form().ctl.txtStartElevation;
    box.SetText("750");
    box.SetText("760"); // two changes before the loop runs: one repaint
    settle();
    for (const controls::Control* c : window().BoundControls()) {
        EXPECT_EQ(window().SyncCount(*c), before[c] + (c == &box ? 1 : 0)) << c->Name();
    }
    EXPECT_EQ(qobject_cast<QLineEdit*>(window().WidgetFor(box))->text(), QStringLiteral("760"));
    form().ctl.frameDEM.SetCaption("DEM Samples");
    settle();
    EXPECT_EQ(qobject_cast<QGroupBox*>(window().WidgetFor(form().ctl.frameDEM))->title(),
              QStringLiteral("DEM Samples"));
    EXPECT_EQ(window().SyncCount(box), before[&box] + 1);
}

TEST_F(DigitizerWindowTest, TextBoxKeysGoThroughTheModel) {
    controls::TextBox& box = form().ctl.txtStartElevation;
    auto* edit = qobject_cast<QLineEdit*>(window().WidgetFor(box));
    ASSERT_NE(edit, nullptr);
    // Make it editable as a person would: the start elevation option first.
    auto* start = qobject_cast<QRadioButton*>(window().WidgetFor(form().ctl.optStartElevation[0]));
    const std::string before = box.Text();
    auto press = [edit](int key, const QString& text) {
        QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(edit, &e);
    };
    start->click();
    settle();
    if (!box.Enabled()) {
        GTEST_SKIP() << "the start elevation is not editable with the default contour choice";
    }
    press(Qt::Key_End, QString());
    press(Qt::Key_Backspace, QString());
    press(Qt::Key_4, QStringLiteral("4"));
    settle();
    EXPECT_EQ(box.Text(), before.substr(0, before.size() - 1) + "4");
    EXPECT_EQ(edit->text().toStdString(), box.Text());
}

TEST_F(DigitizerWindowTest, ToolbarHasAnIconedActionPerKeyInTheModelsState) {
    auto* bar = qobject_cast<QToolBar*>(window().WidgetFor(form().ctl.toolbarScribeline));
    ASSERT_NE(bar, nullptr);
    for (const controls::ToolbarButton& button : form().ctl.toolbarScribeline.Buttons()) {
        if (button.style == controls::ButtonStyle::Separator) {
            continue;
        }
        QAction* action = bar->findChild<QAction*>(QString::fromStdString(button.key));
        ASSERT_NE(action, nullptr) << button.key;
        EXPECT_EQ(action->isEnabled(), button.enabled) << button.key;
        EXPECT_EQ(action->toolTip().toStdString(), button.tooltip) << button.key;
        EXPECT_FALSE(action->icon().isNull()) << button.key;
    }
}

} // namespace
} // namespace scribeline::frontend

namespace scribeline::frontend {
namespace {

void SendMouse(QWidget* widget, QEvent::Type type, QPoint at) {
    QMouseEvent e(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                  Qt::NoModifier);
    QApplication::sendEvent(widget, &e);
}

// A person at the mouse: the toolbar's start, a left click on the globe (which digitizes and
// does not pan while the run is active), the feature finished, then quitting, which ends the
// run and keeps the finished feature.
TEST_F(DigitizerWindowTest, ClickOnTheGlobeDigitizesAndQuittingSavesTheRun) {
    auto* point = qobject_cast<QRadioButton*>(window().WidgetFor(form().ctl.optGeometryType[0]));
    ASSERT_NE(point, nullptr);
    point->click();
    auto* bar = qobject_cast<QToolBar*>(window().WidgetFor(form().ctl.toolbarScribeline));
    ASSERT_NE(bar, nullptr);
    QAction* start = bar->findChild<QAction*>(QStringLiteral("start"));
    ASSERT_NE(start, nullptr);
    start->trigger();
    settle();
    ASSERT_TRUE(form().state.digitizingActive) << window().LastError();

    QWidget* globe = desk_->Desktop().Widget(desk_->Globe().RenderWindow());
    ASSERT_NE(globe, nullptr);
    const globe::CameraState camera = desk_->Globe().Camera();
    const QPoint at(globe->width() / 2, globe->height() / 2);
    SendMouse(globe, QEvent::MouseButtonPress, at);
    SendMouse(globe, QEvent::MouseMove, at + QPoint(30, 20)); // would pan outside a run
    SendMouse(globe, QEvent::MouseButtonRelease, at + QPoint(30, 20));
    EXPECT_TRUE(desk_->Globe().RunActive());
    EXPECT_DOUBLE_EQ(desk_->Globe().Camera().FocusPointLatitude, camera.FocusPointLatitude);
    EXPECT_DOUBLE_EQ(desk_->Globe().Camera().FocusPointLongitude, camera.FocusPointLongitude);
    // The capture tick (500 ms) takes the click.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(900);
    while (form().state.vertexCount == 0 && std::chrono::steady_clock::now() < until) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_EQ(form().state.vertexCount, 1);
    // Finished, the feature is stored; quitting keeps finished features.
    settle();
    QAction* finish = bar->findChild<QAction*>(QStringLiteral("finishfeature"));
    ASSERT_NE(finish, nullptr);
    ASSERT_TRUE(finish->isEnabled());
    finish->trigger();
    settle();

    EXPECT_TRUE(desk_->RequestQuit());
    EXPECT_FALSE(form().IsLoaded());
    EXPECT_FALSE(form().state.digitizingActive);
    // The run's layer holds the point.
    std::int64_t features = 0;
    for (const auto& layer : desk_->Host().FocusMapImpl().Layers()) {
        if (auto* f = dynamic_cast<gis::FeatureLayer*>(layer.get());
            f != nullptr && f->FeatureClass() &&
            f->FeatureClass()->ShapeType() == GeometryType::Point) {
            features += f->FeatureClass()->FeatureCount(nullptr);
        }
    }
    EXPECT_EQ(features, 1);
}

} // namespace
} // namespace scribeline::frontend

namespace scribeline::frontend {
namespace {

void ExpectMenuShowsModel(QMenu* qmenu, const MenuItem& parent, int& shortcuts) {
    for (const MenuItem& item : parent.children) {
        if (item.kind == MenuItemKind::Separator || !item.visible) {
            continue;
        }
        QAction* a = qmenu->findChild<QAction*>(QString::fromStdString(item.name));
        if (item.kind == MenuItemKind::Submenu) {
            QMenu* sub = nullptr;
            for (QMenu* m : qmenu->findChildren<QMenu*>()) {
                if (m->menuAction()->objectName().toStdString() == item.name) {
                    sub = m;
                }
            }
            ASSERT_NE(sub, nullptr) << item.name;
            EXPECT_EQ(sub->title().toStdString(), item.caption);
            ExpectMenuShowsModel(sub, item, shortcuts);
            continue;
        }
        ASSERT_NE(a, nullptr) << item.name;
        EXPECT_EQ(a->text().toStdString(), item.caption) << item.name;
        EXPECT_EQ(a->isEnabled(), item.enabled) << item.name;
        const bool marked = item.kind == MenuItemKind::Check || item.kind == MenuItemKind::Radio;
        EXPECT_EQ(a->isCheckable(), marked) << item.name;
        if (marked) {
            EXPECT_EQ(a->isChecked(), item.checked) << item.name;
        }
        if (item.kind == MenuItemKind::Radio) {
            ASSERT_NE(a->actionGroup(), nullptr) << item.name;
            EXPECT_TRUE(a->actionGroup()->isExclusive());
        }
        EXPECT_EQ(a->shortcut().toString().toStdString(), item.shortcut) << item.name;
        shortcuts += item.shortcut.empty() ? 0 : 1;
    }
}

TEST_F(DigitizerWindowTest, OptionsMenuShowsMarksAndShortcuts) {
    frmOptionsContextMenu& options = form().Options();
    QWidget parent;
    QMenu* menu = DigitizerWindow::BuildOptionsMenu(options, &parent);
    int shortcuts = 0;
    ExpectMenuShowsModel(menu, options.menuScribeline(), shortcuts);
    EXPECT_GT(shortcuts, 0);
    // A changed mark shows in the next menu.
    const std::string name = options.ItemNames().front();
    const bool was = options.Checked(name);
    options.SetChecked(name, !was);
    QMenu* again = DigitizerWindow::BuildOptionsMenu(options, &parent);
    QAction* a = again->findChild<QAction*>(QString::fromStdString(name));
    ASSERT_NE(a, nullptr);
    if (a->isCheckable()) {
        EXPECT_EQ(a->isChecked(), !was);
    }
    options.SetChecked(name, was);
}

} // namespace
} // namespace scribeline::frontend

namespace scribeline::frontend {
namespace {

void SendChord(QWidget* widget, int key, Qt::KeyboardModifiers modifiers) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(widget, &release);
}

// The window's shortcuts from real key events: on the form, from a text box of the form, and
// on the globe's render window.
TEST_F(DigitizerWindowTest, ShortcutsWorkFromTheWindowATextBoxAndTheGlobe) {
    QWidget* formWidget = desk_->Desktop().Widget(form().hWnd());
    ASSERT_NE(formWidget, nullptr);
    desk_->Desktop().SetForegroundWindow(form().hWnd());
    const int delay = form().values.viewRefreshDelay;
    SendChord(formWidget, Qt::Key_I, Qt::ControlModifier);
    settle();
    EXPECT_GT(form().values.viewRefreshDelay, delay) << "Ctrl+I on the window";

    const int afterWindow = form().values.viewRefreshDelay;
    QWidget* edit = window().WidgetFor(form().ctl.txtRecordPPS);
    ASSERT_NE(edit, nullptr);
    SendChord(edit, Qt::Key_D, Qt::ControlModifier);
    settle();
    EXPECT_LT(form().values.viewRefreshDelay, afterWindow) << "Ctrl+D in a text box";
    EXPECT_EQ(form().ctl.txtRecordPPS.Text().find('d'), std::string::npos);

    const int afterText = form().values.viewRefreshDelay;
    QWidget* globe = desk_->Desktop().Widget(desk_->Globe().RenderWindow());
    ASSERT_NE(globe, nullptr);
    desk_->Desktop().SetForegroundWindow(desk_->Globe().MainWindow());
    SendChord(globe, Qt::Key_I, Qt::ControlModifier);
    settle();
    EXPECT_GT(form().values.viewRefreshDelay, afterText) << "Ctrl+I on the globe";
}

} // namespace
} // namespace scribeline::frontend

namespace scribeline::frontend {
namespace {

// The field-definition dialog from the grid's define image: a field typed, added and handed
// over with OK, all through the dialog's widgets.
TEST_F(DigitizerWindowTest, FieldDialogDefinesAFieldThroughItsWidgets) {
    QWidget* define = window().WidgetFor(form().ctl.imgDefProperty);
    ASSERT_NE(define, nullptr);
    if (!form().ctl.imgDefProperty.Enabled() || !form().ctl.imgDefProperty.Visible()) {
        // The define image shows with the property frame: open it as the menu does.
        form().Options().Click("EditFeatureProperties");
        settle();
    }
    SendMouse(define, QEvent::MouseButtonPress, QPoint(2, 2));
    SendMouse(define, QEvent::MouseButtonRelease, QPoint(2, 2));
    settle();
    FieldDialog* dialog = desk_->Fields();
    ASSERT_NE(dialog, nullptr) << window().LastError();
    ASSERT_TRUE(dialog->Dialog()->isVisible());
    EXPECT_EQ(dialog->Dialog()->windowTitle().toStdString(), frmDefProperty::kCaption);

    auto* name = dialog->Dialog()->findChildren<QLineEdit*>().value(0);
    ASSERT_NE(name, nullptr);
    for (const char c : std::string("HEIGHT")) {
        QKeyEvent e(QEvent::KeyPress, Qt::Key_A + (c - 'A'), Qt::NoModifier, QString(QChar(c)));
        QApplication::sendEvent(name, &e);
    }
    const frmDefProperty& model = dialog->Model();
    EXPECT_EQ(model.ctl.txtFieldName.Text(), "HEIGHT");
    settle(); // the widgets follow the model's changes
    QPushButton* add = nullptr;
    QPushButton* ok = nullptr;
    for (QPushButton* b : dialog->Dialog()->findChildren<QPushButton*>()) {
        if (b->text() == QString::fromStdString(model.ctl.cmdAdd.Caption())) {
            add = b;
        } else if (b->text() == QString::fromStdString(model.ctl.Command1.Caption())) {
            ok = b;
        }
    }
    ASSERT_NE(add, nullptr);
    ASSERT_NE(ok, nullptr);
    ASSERT_TRUE(add->isEnabled());
    add->click();
    settle();
    EXPECT_EQ(model.ctl.List1.ListCount(), 1);
    EXPECT_EQ(dialog->Dialog()->findChild<QListWidget*>()->count(), 1);
    ASSERT_TRUE(ok->isEnabled());
    ok->click();
    ASSERT_EQ(model.Result().size(), 1u);
    EXPECT_EQ(model.Result().front().name, "HEIGHT");
    settle();
    EXPECT_TRUE(desk_->Fields() == nullptr || !desk_->Fields()->Dialog()->isVisible());
}

} // namespace
} // namespace scribeline::frontend

namespace scribeline::frontend {
namespace {

// The field dialog over a model of its own: its widgets follow the model's change
// notification (changes made by the model itself too), a change repaints only its control's
// widget, and a name already in the list shows the warning picture.
class FieldDialogTest : public ::testing::Test {
protected:
    ProcessState process;
    frmDefProperty model{process, nullptr};
    static void settle() {
        for (int i = 0; i < 3; ++i) {
            QApplication::processEvents();
        }
    }
};

TEST_F(FieldDialogTest, WidgetsFollowTheModelsChangesOnlyWhereTheyHappen) {
    model.Show(true);
    FieldDialog dialog(model);
    auto& c = model.ctl;
    ASSERT_TRUE(dialog.Dialog()->isVisible());
    auto* name = qobject_cast<QLineEdit*>(dialog.WidgetFor(c.txtFieldName));
    auto* add = qobject_cast<QPushButton*>(dialog.WidgetFor(c.cmdAdd));
    auto* ok = qobject_cast<QPushButton*>(dialog.WidgetFor(c.Command1));
    auto* list = qobject_cast<QListWidget*>(dialog.WidgetFor(c.List1));
    QWidget* warning = dialog.WidgetFor(c.Picture1);
    ASSERT_TRUE(name && add && ok && list && warning);
    EXPECT_EQ(dialog.WidgetFor(c.List2), nullptr) << "the hidden lists have no widget";
    EXPECT_FALSE(add->isEnabled());
    EXPECT_TRUE(warning->isHidden());

    // The model changes on its own (no widget touched): only the widgets of what changed.
    const int scaleSyncs = dialog.SyncCount(c.txtFieldScale);
    const int okSyncs = dialog.SyncCount(c.Command1);
    c.txtFieldName.UserType("ROAD");
    settle();
    EXPECT_EQ(name->text(), "ROAD");
    EXPECT_TRUE(add->isEnabled());
    EXPECT_EQ(dialog.SyncCount(c.txtFieldScale), scaleSyncs);
    EXPECT_EQ(dialog.SyncCount(c.Command1), okSyncs);

    c.cmdAdd.UserClick();
    settle();
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "ROAD");
    EXPECT_TRUE(ok->isEnabled());

    // The same name again (the box keeps it): the warning picture shows, the list keeps one.
    EXPECT_EQ(c.txtFieldName.Text(), "ROAD");
    c.cmdAdd.UserClick();
    settle();
    EXPECT_FALSE(warning->isHidden());
    EXPECT_EQ(list->count(), 1);

    // Selecting through the widget reaches the model; Delete empties the list and OK goes off.
    list->itemClicked(list->item(0));
    settle();
    EXPECT_TRUE(c.List1.Selected(0));
    EXPECT_EQ(list->item(0)->checkState(), Qt::Checked);
    qobject_cast<QPushButton*>(dialog.WidgetFor(c.cmdDelete))->click();
    settle();
    EXPECT_EQ(list->count(), 0);
    EXPECT_FALSE(ok->isEnabled());

    // Cancel hides the dialog as the model hides the form.
    qobject_cast<QPushButton*>(dialog.WidgetFor(c.Command2))->click();
    EXPECT_FALSE(model.Visible());
    EXPECT_FALSE(dialog.Dialog()->isVisible());
}

} // namespace
} // namespace scribeline::frontend
