#include "frontends/qt/session_driver.hpp"

#include "frontends/qt/digitizer_window.hpp"
#include "hosts/qtdesktop/qt_input.hpp"
#include "platform/key_chord.hpp"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <QToolBar>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>
#include <memory>
#include <vector>

namespace scribeline::frontend {

namespace {

// Real input carries the time it happened; ours counts up from the first event so that no
// two events share a stamp (the desktop port tells a repeat of one event by it).
ulong NextStamp() {
    static QElapsedTimer clock;
    static ulong last = 0;
    if (!clock.isValid()) {
        clock.start();
    }
    last = std::max(last + 1, static_cast<ulong>(clock.elapsed()) + 1);
    return last;
}

Qt::MouseButtons Held(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held) {
    if (type == QEvent::MouseButtonPress) {
        return held | button;
    }
    if (type == QEvent::MouseButtonRelease) {
        return held & ~Qt::MouseButtons(button);
    }
    return held;
}

void SendMouse(QWidget* top, QPoint at, QEvent::Type type, Qt::MouseButton button,
               Qt::MouseButtons held) {
    QWidget* target = SessionDriver::WidgetAt(top, at);
    if (target == nullptr) {
        return;
    }
    // A press grabs the mouse: the release and the moves of a drag go to the same widget.
    if (QWidget* grabber = QWidget::mouseGrabber(); grabber != nullptr) {
        target = grabber;
    }
    const QPoint global = top->mapToGlobal(at);
    const QPoint local = target->mapFromGlobal(global);
    QMouseEvent event(type, local, local, global, button, Held(type, button, held), Qt::NoModifier);
    event.setTimestamp(NextStamp());
    QApplication::sendEvent(target, &event);
}

int KeyOfCharacter(QChar c) {
    const ushort u = c.toUpper().unicode();
    if ((u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == ' ') {
        return u;
    }
    // Qt's keys for the printable ASCII characters are their codes.
    return u < 0x7f ? static_cast<int>(u) : Qt::Key_unknown;
}

QMenu* ActivePopupMenu() {
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

// The chain of actions from a menu to the item named `name`: the submenus' actions first.
bool PathTo(QMenu* menu, const QString& name, std::vector<QAction*>& path) {
    for (QAction* action : menu->actions()) {
        path.push_back(action);
        if (action->objectName() == name) {
            return true;
        }
        if (action->menu() != nullptr && PathTo(action->menu(), name, path)) {
            return true;
        }
        path.pop_back();
    }
    return false;
}

} // namespace

QWidget* SessionDriver::WidgetAt(QWidget* top, QPoint at) {
    if (top == nullptr) {
        return nullptr;
    }
    QWidget* child = top->childAt(at);
    return child != nullptr ? child : top;
}

void SessionDriver::Press(QWidget* top, QPoint at, Qt::MouseButton button) {
    SendMouse(top, at, QEvent::MouseButtonPress, button, QApplication::mouseButtons());
}

void SessionDriver::Release(QWidget* top, QPoint at, Qt::MouseButton button) {
    SendMouse(top, at, QEvent::MouseButtonRelease, button, QApplication::mouseButtons() | button);
}

void SessionDriver::Move(QWidget* top, QPoint at, Qt::MouseButtons held) {
    SendMouse(top, at, QEvent::MouseMove, Qt::NoButton, held);
}

void SessionDriver::Click(QWidget* top, QPoint at, Qt::MouseButton button) {
    QPointer<QWidget> guard(top);
    Press(top, at, button);
    if (guard) {
        Release(top, at, button);
    }
}

void SessionDriver::Wheel(QWidget* top, QPoint at, int delta) {
    QWidget* target = WidgetAt(top, at);
    if (target == nullptr) {
        return;
    }
    const QPoint global = top->mapToGlobal(at);
    const QPoint local = target->mapFromGlobal(global);
    QWheelEvent event(local, global, QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    event.setTimestamp(NextStamp());
    QApplication::sendEvent(target, &event);
}

QPoint SessionDriver::Centre(const QWidget* widget) {
    return widget == nullptr ? QPoint() : widget->rect().center();
}

void SessionDriver::Key(QWidget* target, int qtKey, Qt::KeyboardModifiers modifiers,
                        const QString& text) {
    if (target == nullptr) {
        return;
    }
    QPointer<QWidget> guard(target);
    QKeyEvent press(QEvent::KeyPress, qtKey, modifiers, text);
    press.setTimestamp(NextStamp());
    QApplication::sendEvent(target, &press);
    if (!guard) {
        return;
    }
    QKeyEvent release(QEvent::KeyRelease, qtKey, modifiers, text);
    release.setTimestamp(NextStamp());
    QApplication::sendEvent(target, &release);
}

void SessionDriver::Type(QWidget* target, const QString& text) {
    QPointer<QWidget> guard(target);
    for (const QChar c : text) {
        if (!guard) {
            return;
        }
        const Qt::KeyboardModifiers shift =
            c.isUpper() ? Qt::KeyboardModifiers(Qt::ShiftModifier) : Qt::NoModifier;
        Key(target, KeyOfCharacter(c), shift, QString(c));
    }
}

bool SessionDriver::ParseChord(const std::string& chord, int& qtKey,
                               Qt::KeyboardModifiers& modifiers) {
    const auto event = ParseKeyChord(chord);
    if (!event) {
        modifiers = Qt::NoModifier;
        return false;
    }
    qtKey = qtdesktop::qtKeyOf(*event);
    modifiers = qtdesktop::qtModifiersOf(*event);
    return true;
}

void SessionDriver::Pump() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void SessionDriver::Wait(std::chrono::milliseconds duration) {
    (void)WaitUntil([] { return false; }, duration);
}

bool SessionDriver::WaitUntil(const std::function<bool()>& done,
                              std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        Pump();
        if (done()) {
            return true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= until) {
            return false;
        }
        // Sleep in the event loop itself: a timer due meanwhile runs on time.
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - now);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents,
                                        static_cast<int>(std::min<long long>(left.count(), 5)));
    }
}

std::shared_ptr<const MenuChoice>
SessionDriver::ChooseFromNextPopup(const std::string& name, std::chrono::milliseconds timeout) {
    // The menu runs its own modal loop inside the call that opens it: the choice is made
    // from a timer that runs in that loop.
    auto result = std::make_shared<MenuChoice>(MenuChoice::NoMenu);
    auto* poll = new QTimer();
    poll->setInterval(5);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    auto opened = std::make_shared<bool>(false);
    const QString wanted = QString::fromStdString(name);
    QObject::connect(poll, &QTimer::timeout, poll,
                     [poll, started, opened, wanted, result, timeout] {
                         MenuChoice& outcome = *result;
                         auto finish = [poll] {
                             poll->stop();
                             poll->deleteLater();
                         };
                         // Closes every open level, innermost first.
                         auto dismiss = [&finish] {
                             for (int level = 0; level < 8; ++level) {
                                 QMenu* open = ActivePopupMenu();
                                 if (open == nullptr) {
                                     break;
                                 }
                                 Key(open, Qt::Key_Escape);
                             }
                             finish();
                         };
                         QMenu* menu = ActivePopupMenu();
                         if (menu == nullptr) {
                             if (*opened || started->elapsed() > timeout.count()) {
                                 finish();
                             }
                             return;
                         }
                         if (!*opened) {
                             *opened = true;
                             outcome = MenuChoice::NotEnabled;
                         }
                         // The root menu: the one no other open menu leads to.
                         QMenu* root = menu;
                         while (auto* parent = qobject_cast<QMenu*>(root->parentWidget())) {
                             if (!parent->isVisible()) {
                                 break;
                             }
                             root = parent;
                         }
                         std::vector<QAction*> path;
                         if (!PathTo(root, wanted, path)) {
                             dismiss();
                             return;
                         }
                         // Walk down from the root: the first action on the path whose menu is not
                         // open yet is what to click now (a submenu opens; the next tick goes on
                         // inside it).
                         QMenu* at = root;
                         for (QAction* step : path) {
                             if (!step->isEnabled() || !step->isVisible()) {
                                 dismiss();
                                 return;
                             }
                             if (step->menu() != nullptr && step->menu()->isVisible()) {
                                 at = step->menu();
                                 continue;
                             }
                             const QRect r = at->actionGeometry(step);
                             if (!r.isValid()) {
                                 dismiss();
                                 return;
                             }
                             Move(at, r.center());
                             if (step->menu() != nullptr) {
                                 Click(at, r.center());
                                 return;
                             }
                             outcome = MenuChoice::Chosen;
                             finish();
                             Click(at, r.center());
                             return;
                         }
                     });
    poll->start();
    return result;
}

// ---- the digitizer window ----

SessionDriver::SessionDriver(DigitizerWindow& window)
    : SessionDriver([&window](const controls::Control& c) { return window.WidgetFor(c); },
                    [&window] { return window.FormWidget(); }) {}

SessionDriver::SessionDriver(std::function<QWidget*(const controls::Control&)> widgetFor,
                             std::function<QWidget*()> form)
    : widgetFor_(std::move(widgetFor)), form_(std::move(form)) {}

QWidget* SessionDriver::FormWidget() const {
    return form_ ? form_() : nullptr;
}

QWidget* SessionDriver::shown(const controls::Control& control) const {
    QWidget* widget = widgetFor_ ? widgetFor_(control) : nullptr;
    return widget != nullptr && widget->isVisible() ? widget : nullptr;
}

bool SessionDriver::Push(const controls::Control& control) {
    QWidget* widget = shown(control);
    if (widget == nullptr) {
        return false;
    }
    Click(widget, Centre(widget));
    return true;
}

bool SessionDriver::Toolbar(const std::string& key) {
    auto* bar = qobject_cast<QToolBar*>(
        FormWidget() == nullptr ? nullptr : FormWidget()->findChild<QToolBar*>());
    if (bar == nullptr || !bar->isVisible()) {
        return false;
    }
    auto* action = bar->findChild<QAction*>(QString::fromStdString(key));
    QWidget* button = action == nullptr ? nullptr : bar->widgetForAction(action);
    if (button == nullptr || !button->isVisible()) {
        return false;
    }
    Click(button, Centre(button));
    return true;
}

bool SessionDriver::Select(const controls::OptionArray& options, int index) {
    if (index < 0 || index >= options.Count()) {
        return false;
    }
    return Push(options[index]);
}

bool SessionDriver::TypeInto(const controls::TextBox& box, const std::string& text) {
    QWidget* edit = shown(box);
    if (edit == nullptr) {
        return false;
    }
    // As many Backspaces as the box holds characters now (each one shortens it).
    const std::size_t length = box.Text().size();
    for (std::size_t i = 0; i < length; ++i) {
        Key(edit, Qt::Key_Backspace);
    }
    Type(edit, QString::fromStdString(text));
    return true;
}

bool SessionDriver::Scroll(const controls::ScrollBar& control, int value) {
    auto* bar = qobject_cast<QScrollBar*>(shown(control));
    if (bar == nullptr) {
        return false;
    }
    // Which way a key moves the value depends on the bar's orientation and inversion: try.
    auto moveBy = [&](int key) {
        const int before = control.Value();
        Key(bar, key);
        Pump();
        return control.Value() - before;
    };
    // Coarse with the page keys, fine with the arrows; stop when a key no longer helps.
    for (int key : {Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Up, Qt::Key_Down}) {
        for (int guard = 0; guard < 100000 && control.Value() != value; ++guard) {
            const int distance = std::abs(value - control.Value());
            const int moved = moveBy(key);
            if (moved == 0 || std::abs(value - control.Value()) >= distance) {
                // Overshot or wrong way: back one key's worth when it went the wrong way.
                if (moved != 0 && std::abs(value - control.Value()) > distance) {
                    const int opposite = key == Qt::Key_PageUp     ? Qt::Key_PageDown
                                         : key == Qt::Key_PageDown ? Qt::Key_PageUp
                                         : key == Qt::Key_Up       ? Qt::Key_Down
                                                                   : Qt::Key_Up;
                    (void)moveBy(opposite);
                }
                break;
            }
        }
    }
    return control.Value() == value;
}

bool SessionDriver::Choose(const controls::ComboBox& list, int index) {
    auto* combo = qobject_cast<QComboBox*>(shown(list));
    if (combo == nullptr || index < 0 || index >= combo->count()) {
        return false;
    }
    if (combo->currentIndex() == index) {
        // Choosing the entry shown: open the list and take it with Enter.
        Key(combo, Qt::Key_Down, Qt::AltModifier);
        Pump();
        if (QAbstractItemView* view = combo->view(); view != nullptr && view->isVisible()) {
            Key(view, Qt::Key_Return);
        }
        return true;
    }
    const int key = combo->currentIndex() < index ? Qt::Key_Down : Qt::Key_Up;
    while (combo->currentIndex() != index) {
        const int before = combo->currentIndex();
        Key(combo, key);
        if (combo->currentIndex() == before) {
            return false;
        }
    }
    return true;
}

MenuChoice SessionDriver::ChooseMenuItem(const std::string& name, QPoint at) {
    QWidget* form = FormWidget();
    if (form == nullptr) {
        return MenuChoice::NoMenu;
    }
    const auto outcome = ChooseFromNextPopup(name, std::chrono::milliseconds(500));
    Click(form, at, Qt::RightButton);
    // The menu opens from a queued call after the click and closes with the choice.
    (void)WaitUntil(
        [&outcome] { return *outcome != MenuChoice::NoMenu && ActivePopupMenu() == nullptr; },
        std::chrono::milliseconds(600));
    Pump();
    return *outcome;
}

bool SessionDriver::KeyChord(int qtKey, Qt::KeyboardModifiers modifiers) {
    QWidget* form = FormWidget();
    if (form == nullptr) {
        return false;
    }
    Key(form, qtKey, modifiers);
    return true;
}

} // namespace scribeline::frontend
