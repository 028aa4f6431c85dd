// Parses the platform's SendKeys notation into key events.
#pragma once

#include "platform/desktop.hpp"

#include <string>
#include <vector>

namespace scribeline::desktop {

// "^" Ctrl, "+" Shift and "%" Alt apply to the next key (or to a group in parentheses);
// "{NAME}" names a key (ENTER, ESC, TAB, BACKSPACE/BS, HOME, END, UP, DOWN, LEFT, RIGHT,
// DELETE/DEL, F1..F12) and "{+}" style braces give the literal character; "~" is Enter.
// Every key gives a key-down and a key-up event. Raises std::invalid_argument on a malformed
// sequence (unknown key name, unbalanced braces or parentheses).
std::vector<KeyEvent> parseSendKeys(const std::string& keys);

} // namespace scribeline::desktop
