#include "hosts/desktop/send_keys.hpp"

#include <cctype>
#include <map>
#include <stdexcept>

namespace scribeline::desktop {

namespace {

struct Modifiers {
    bool shift = false;
    bool control = false;
    bool alt = false;
};

int namedKey(const std::string& name) {
    static const std::map<std::string, int> keys = {
        {"ENTER", vk::Return},   {"ESC", vk::Escape}, {"ESCAPE", vk::Escape}, {"TAB", vk::Tab},
        {"BACKSPACE", vk::Back}, {"BS", vk::Back},    {"BKSP", vk::Back},     {"HOME", vk::Home},
        {"END", vk::End},        {"UP", vk::Up},      {"DOWN", vk::Down},     {"LEFT", 0x25},
        {"RIGHT", 0x27},         {"DELETE", 0x2E},    {"DEL", 0x2E},
    };
    if (auto it = keys.find(name); it != keys.end()) {
        return it->second;
    }
    if (name.size() >= 2 && name[0] == 'F') {
        const int n = std::stoi(name.substr(1));
        if (n >= 1 && n <= 12) {
            return 0x70 + n - 1;
        }
    }
    throw std::invalid_argument("SendKeys: unknown key {" + name + "}");
}

void press(std::vector<KeyEvent>& out, int virtualKey, char character, const Modifiers& m) {
    KeyEvent down;
    down.message = m.alt ? KeyMessage::SysKeyDown : KeyMessage::KeyDown;
    down.virtualKey = virtualKey;
    down.character = character;
    down.shift = m.shift;
    down.control = m.control;
    down.alt = m.alt;
    out.push_back(down);
    KeyEvent up = down;
    up.message = m.alt ? KeyMessage::SysKeyUp : KeyMessage::KeyUp;
    out.push_back(up);
}

void pressChar(std::vector<KeyEvent>& out, char c, Modifiers m) {
    const auto uc = static_cast<unsigned char>(c);
    int key = std::toupper(uc);
    if (std::isupper(uc) != 0) {
        m.shift = true;
    }
    if (std::isalnum(uc) == 0) {
        key = uc; // punctuation keeps its character code
    }
    // With Ctrl held the platform delivers no printable character.
    press(out, key, m.control ? '\0' : c, m);
}

} // namespace

std::vector<KeyEvent> parseSendKeys(const std::string& keys) {
    std::vector<KeyEvent> out;
    Modifiers pending;
    std::size_t i = 0;
    while (i < keys.size()) {
        const char c = keys[i];
        if (c == '^' || c == '+' || c == '%') {
            (c == '^' ? pending.control : c == '+' ? pending.shift : pending.alt) = true;
            ++i;
            continue;
        }
        if (c == '(') {
            const std::size_t close = keys.find(')', i);
            if (close == std::string::npos) {
                throw std::invalid_argument("SendKeys: unbalanced parenthesis");
            }
            for (std::size_t k = i + 1; k < close; ++k) {
                pressChar(out, keys[k], pending);
            }
            pending = {};
            i = close + 1;
            continue;
        }
        if (c == '{') {
            // "{}}" and "{{}" give the braces themselves.
            std::size_t close = keys.find('}', i + 2);
            if (i + 1 < keys.size() && keys[i + 1] == '}') {
                close = i + 2 < keys.size() && keys[i + 2] == '}' ? i + 2 : std::string::npos;
            }
            if (close == std::string::npos) {
                throw std::invalid_argument("SendKeys: unbalanced brace");
            }
            const std::string name = keys.substr(i + 1, close - i - 1);
            if (name.size() == 1) {
                pressChar(out, name[0], pending);
            } else {
                press(out, namedKey(name), name == "ENTER" ? '\r' : '\0', pending);
            }
            pending = {};
            i = close + 1;
            continue;
        }
        if (c == ')' || c == '}') {
            throw std::invalid_argument("SendKeys: unbalanced bracket");
        }
        if (c == '~') {
            press(out, vk::Return, '\r', pending);
        } else {
            pressChar(out, c, pending);
        }
        pending = {};
        ++i;
    }
    return out;
}

} // namespace scribeline::desktop
