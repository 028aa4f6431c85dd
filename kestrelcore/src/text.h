// Helpers for the caller-allocated text buffers of the exports.
#pragma once

#include <cstring>
#include <string>

namespace kc {

// Replaces the buffer's text (nothing happens for a null buffer).
inline void setText(char* buffer, const std::string& text) {
    if (buffer == nullptr)
        return;
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
}

inline void setEmpty(char* buffer) {
    if (buffer != nullptr)
        buffer[0] = '\0';
}

// Appends to the buffer's text.
inline void appendText(char* buffer, const std::string& text) {
    if (buffer == nullptr)
        return;
    setText(buffer + std::strlen(buffer), text);
}

// Fills the record text of KC_ReadDBF for the current table, with its messages.
// Returns 1, or -1 (buffer untouched).
int fillRecordText(int record, char* out);

} // namespace kc
