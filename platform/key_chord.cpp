#include "platform/key_chord.hpp"

#include <array>
#include <utility>

namespace scribeline {

namespace {

constexpr int kVkF1 = 0x70;

constexpr std::array<std::pair<std::string_view, int>, 8> kNamedKeys{{
    {"Enter", vk::Return},
    {"Escape", vk::Escape},
    {"Tab", vk::Tab},
    {"Backspace", vk::Back},
    {"Up", vk::Up},
    {"Down", vk::Down},
    {"Home", vk::Home},
    {"End", vk::End},
}};

std::optional<int> KeyOf(std::string_view name) {
    if (name.size() == 1 &&
        ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= '0' && name[0] <= '9'))) {
        return name[0];
    }
    // F1..F12, without a leading zero.
    if (name.size() >= 2 && name.size() <= 3 && name[0] == 'F' && name[1] != '0') {
        int n = 0;
        for (const char c : name.substr(1)) {
            if (c < '0' || c > '9') {
                return std::nullopt;
            }
            n = n * 10 + (c - '0');
        }
        return n <= 12 ? std::optional<int>(kVkF1 + n - 1) : std::nullopt;
    }
    for (const auto& [keyName, key] : kNamedKeys) {
        if (keyName == name) {
            return key;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<KeyEvent> ParseKeyChord(std::string_view text) {
    KeyEvent chord;
    std::string_view rest = text;
    // A "+" at the end is the key's name, not a separator (there is no such key, so it fails).
    for (auto plus = rest.find('+'); plus != std::string_view::npos && plus + 1 < rest.size();
         plus = rest.find('+')) {
        const std::string_view modifier = rest.substr(0, plus);
        if (modifier == "Ctrl") {
            chord.control = true;
        } else if (modifier == "Shift") {
            chord.shift = true;
        } else if (modifier == "Alt") {
            chord.alt = true;
        } else {
            return std::nullopt;
        }
        rest = rest.substr(plus + 1);
    }
    const auto key = KeyOf(rest);
    if (!key) {
        return std::nullopt;
    }
    chord.virtualKey = *key;
    chord.message = chord.alt ? KeyMessage::SysKeyDown : KeyMessage::KeyDown;
    return chord;
}

} // namespace scribeline
