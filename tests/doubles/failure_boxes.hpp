// The message boxes of a headless desktop that report a failed action.
#pragma once

#include "hosts/desktop/headless_desktop.hpp"

#include <string>
#include <vector>

namespace scribeline::testing {

// The texts of the boxes shown so far whose text says "failed", in the order shown.
inline std::vector<std::string> FailureTexts(const desktop::HeadlessDesktop& desk) {
    std::vector<std::string> out;
    for (const auto& box : desk.MessageBoxes()) {
        if (box.text.find("failed") != std::string::npos) {
            out.push_back(box.text);
        }
    }
    return out;
}

} // namespace scribeline::testing
