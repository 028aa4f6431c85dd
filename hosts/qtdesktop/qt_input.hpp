// Translation between the port's input records and Qt's input events.
#pragma once

#include "platform/desktop.hpp"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QString>
#include <QWheelEvent>

#include <optional>

namespace scribeline::qtdesktop {

// The Qt key for a port key event: printable characters by their character, named keys
// (Enter, arrows, F1..F12, modifiers) by their virtual key.
[[nodiscard]] int qtKeyOf(const KeyEvent& event);
[[nodiscard]] Qt::KeyboardModifiers qtModifiersOf(const KeyEvent& event);
// The text Qt attaches to the key event: the typed character, empty for control chords.
[[nodiscard]] QString qtTextOf(const KeyEvent& event);
// A Qt key press or release as the port sees it. Alt chords are system keys.
[[nodiscard]] KeyEvent keyEventOf(const QKeyEvent& event);

// The port message for a Qt mouse event; nullopt for buttons the port does not know.
[[nodiscard]] std::optional<MouseMessage> mouseMessageOf(QEvent::Type type, Qt::MouseButton button);
// The Qt event type and button for a port mouse message.
struct QtMouse {
    QEvent::Type type = QEvent::MouseMove;
    Qt::MouseButton button = Qt::NoButton;
};
[[nodiscard]] QtMouse qtMouseOf(MouseMessage message);

} // namespace scribeline::qtdesktop
