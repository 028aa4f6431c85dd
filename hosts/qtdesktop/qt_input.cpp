#include "hosts/qtdesktop/qt_input.hpp"

#include <array>
#include <cctype>
#include <utility>

namespace scribeline::qtdesktop {

namespace {

// Named keys: virtual key and Qt key. Letters, digits and space share their codes.
constexpr std::array<std::pair<int, int>, 19> kNamedKeys{{
    {vk::Back, Qt::Key_Backspace}, {vk::Tab, Qt::Key_Tab},         {vk::Return, Qt::Key_Return},
    {vk::Shift, Qt::Key_Shift},    {vk::Control, Qt::Key_Control}, {vk::Menu, Qt::Key_Alt},
    {vk::Escape, Qt::Key_Escape},  {0x21, Qt::Key_PageUp},         {0x22, Qt::Key_PageDown},
    {vk::End, Qt::Key_End},        {vk::Home, Qt::Key_Home},       {0x25, Qt::Key_Left},
    {vk::Up, Qt::Key_Up},          {0x27, Qt::Key_Right},          {vk::Down, Qt::Key_Down},
    {0x2D, Qt::Key_Insert},        {0x2E, Qt::Key_Delete},         {vk::Return, Qt::Key_Enter},
    {vk::Tab, Qt::Key_Backtab},
}};

constexpr int kVkF1 = 0x70;

bool printable(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x20 && u < 0x7F;
}

} // namespace

int qtKeyOf(const KeyEvent& event) {
    if (printable(event.character)) {
        // Qt names printable keys by their unshifted upper-case character.
        return std::toupper(static_cast<unsigned char>(event.character));
    }
    const int key = event.virtualKey;
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z') || key == ' ') {
        return key;
    }
    if (key >= kVkF1 && key < kVkF1 + 24) {
        return Qt::Key_F1 + (key - kVkF1);
    }
    for (const auto& [virtualKey, qtKey] : kNamedKeys) {
        if (virtualKey == key) {
            return qtKey;
        }
    }
    return Qt::Key_unknown;
}

Qt::KeyboardModifiers qtModifiersOf(const KeyEvent& event) {
    Qt::KeyboardModifiers m = Qt::NoModifier;
    if (event.shift) {
        m |= Qt::ShiftModifier;
    }
    if (event.control) {
        m |= Qt::ControlModifier;
    }
    if (event.alt) {
        m |= Qt::AltModifier;
    }
    return m;
}

QString qtTextOf(const KeyEvent& event) {
    if (event.character == '\0' || event.control) {
        return {};
    }
    return QString(QChar::fromLatin1(event.character));
}

KeyEvent keyEventOf(const QKeyEvent& event) {
    KeyEvent k;
    const Qt::KeyboardModifiers m = event.modifiers();
    k.shift = m.testFlag(Qt::ShiftModifier);
    k.control = m.testFlag(Qt::ControlModifier);
    k.alt = m.testFlag(Qt::AltModifier);
    const bool down = event.type() == QEvent::KeyPress;
    k.message = k.alt ? (down ? KeyMessage::SysKeyDown : KeyMessage::SysKeyUp)
                      : (down ? KeyMessage::KeyDown : KeyMessage::KeyUp);
    const QString text = event.text();
    if (text.size() == 1 && !k.control) {
        const char16_t u = text.at(0).unicode();
        if ((u >= 0x20 && u < 0x7F) || u == '\r') {
            k.character = static_cast<char>(u);
        }
    }
    const int key = event.key();
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z') || key == ' ') {
        k.virtualKey = key;
    } else if (key >= Qt::Key_F1 && key < Qt::Key_F1 + 24) {
        k.virtualKey = kVkF1 + (key - Qt::Key_F1);
    } else if (key > ' ' && key < 0x7F) {
        k.virtualKey = key; // punctuation keeps its character code
    } else {
        for (const auto& [virtualKey, qtKey] : kNamedKeys) {
            if (qtKey == key) {
                k.virtualKey = virtualKey;
                break;
            }
        }
    }
    return k;
}

std::optional<MouseMessage> mouseMessageOf(QEvent::Type type, Qt::MouseButton button) {
    switch (type) {
    case QEvent::MouseMove:
        return MouseMessage::Move;
    case QEvent::Wheel:
        return MouseMessage::Wheel;
    case QEvent::MouseButtonPress:
        if (button == Qt::LeftButton) {
            return MouseMessage::LeftDown;
        }
        if (button == Qt::RightButton) {
            return MouseMessage::RightDown;
        }
        if (button == Qt::MiddleButton) {
            return MouseMessage::MiddleDown;
        }
        return std::nullopt;
    case QEvent::MouseButtonRelease:
        if (button == Qt::LeftButton) {
            return MouseMessage::LeftUp;
        }
        if (button == Qt::RightButton) {
            return MouseMessage::RightUp;
        }
        if (button == Qt::MiddleButton) {
            return MouseMessage::MiddleUp;
        }
        return std::nullopt;
    case QEvent::MouseButtonDblClick:
        if (button == Qt::LeftButton) {
            return MouseMessage::LeftDoubleClick;
        }
        if (button == Qt::RightButton) {
            return MouseMessage::RightDoubleClick;
        }
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

QtMouse qtMouseOf(MouseMessage message) {
    switch (message) {
    case MouseMessage::Move:
        return {QEvent::MouseMove, Qt::NoButton};
    case MouseMessage::LeftDown:
        return {QEvent::MouseButtonPress, Qt::LeftButton};
    case MouseMessage::LeftUp:
        return {QEvent::MouseButtonRelease, Qt::LeftButton};
    case MouseMessage::LeftDoubleClick:
        return {QEvent::MouseButtonDblClick, Qt::LeftButton};
    case MouseMessage::RightDown:
        return {QEvent::MouseButtonPress, Qt::RightButton};
    case MouseMessage::RightUp:
        return {QEvent::MouseButtonRelease, Qt::RightButton};
    case MouseMessage::RightDoubleClick:
        return {QEvent::MouseButtonDblClick, Qt::RightButton};
    case MouseMessage::MiddleDown:
        return {QEvent::MouseButtonPress, Qt::MiddleButton};
    case MouseMessage::MiddleUp:
        return {QEvent::MouseButtonRelease, Qt::MiddleButton};
    case MouseMessage::Wheel:
        return {QEvent::Wheel, Qt::NoButton};
    }
    return {};
}

} // namespace scribeline::qtdesktop
