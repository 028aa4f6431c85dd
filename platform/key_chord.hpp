// Key chords as sessions, tests and the self-test write them: "Ctrl+F8", "Ctrl+I", "Shift+Alt+X",
// "Enter". One reader, so every front end accepts the same chords.
#pragma once

#include "platform/desktop.hpp"

#include <optional>
#include <string_view>

namespace scribeline {

// The key-down event of a chord: its virtual key (letters and digits by their upper-case
// code, F1..F12, Enter, Escape, Tab, Backspace, Up, Down, Home, End) and the modifiers written
// before it ("Ctrl+", "Shift+", "Alt+", in any order). An Alt chord is a system key. Nothing
// for a chord with an unknown modifier or key; no typed character is set.
[[nodiscard]] std::optional<KeyEvent> ParseKeyChord(std::string_view text);

} // namespace scribeline
