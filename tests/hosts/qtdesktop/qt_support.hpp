// Helpers for the Qt desktop's own tests: real-looking input and short real-time waits.
#pragma once

#include "hosts/qtdesktop/qt_desktop.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

namespace scribeline::qtdesktop::testing {

// Input as the window system hands it to a widget: an ordinary timestamp, not ours.
inline bool sendRealPress(QWidget* widget, QPoint local, ulong stamp = 1000) {
    QMouseEvent e(QEvent::MouseButtonPress, local, widget->mapToGlobal(local), Qt::LeftButton,
                  Qt::LeftButton, Qt::NoModifier);
    e.setTimestamp(stamp);
    return QApplication::sendEvent(widget, &e);
}

inline bool sendRealKey(QWidget* widget, int key, const QString& text, ulong stamp = 2000) {
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier, text);
    e.setTimestamp(stamp);
    return QApplication::sendEvent(widget, &e);
}

// Pumps the Qt event loop until `done` holds, at most `maxMs` real milliseconds.
inline bool waitFor(const std::function<bool()>& done, int maxMs = 300) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > maxMs) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

struct Recorder : IWindowHandler {
    std::vector<std::pair<MouseMessage, Point>> mouse;
    std::vector<KeyEvent> keys;
    int closes = 0;
    int destroys = 0;
    bool refuse = false;
    std::function<void()> onMouseAction;
    void onMouse(const MouseEvent& e, Point client) override {
        mouse.emplace_back(e.message, client);
        if (onMouseAction) {
            onMouseAction();
        }
    }
    void onKey(const KeyEvent& e) override { keys.push_back(e); }
    bool onClose() override {
        ++closes;
        return !refuse;
    }
    void onDestroy() override { ++destroys; }
};

} // namespace scribeline::qtdesktop::testing
