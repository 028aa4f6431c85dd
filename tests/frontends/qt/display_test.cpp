// The display check that runs before Qt is asked for a platform (Qt aborts without one).
#include "frontends/qt/display.hpp"

#include <gtest/gtest.h>

#include <map>

namespace scribeline::frontend {
namespace {

Environment Env(std::map<std::string, std::string> values) {
    return [values](const std::string& name) -> std::optional<std::string> {
        const auto it = values.find(name);
        if (it == values.end()) {
            return std::nullopt;
        }
        return it->second;
    };
}

bool Reachable(const std::string&) {
    return true;
}
bool Unreachable(const std::string&) {
    return false;
}

TEST(DisplayProblem, NoDisplayNamesDisplayAndXvfbRun) {
    for (const auto& env : {Env({}), Env({{"DISPLAY", ""}}), Env({{"QT_QPA_PLATFORM", "xcb"}}),
                            Env({{"QT_QPA_PLATFORM", "xcb"}, {"WAYLAND_DISPLAY", "wayland-0"}})}) {
        const auto problem = DisplayProblem(env, Reachable);
        ASSERT_TRUE(problem.has_value());
        EXPECT_NE(problem->find("DISPLAY"), std::string::npos) << *problem;
        EXPECT_NE(problem->find("xvfb-run"), std::string::npos) << *problem;
    }
}

TEST(DisplayProblem, DisplaysThatWork) {
    EXPECT_FALSE(DisplayProblem(Env({{"DISPLAY", ":0"}}), Reachable));
    EXPECT_FALSE(DisplayProblem(Env({{"WAYLAND_DISPLAY", "wayland-0"}}), Unreachable));
    // A platform the user chose is taken at their word, display or not.
    EXPECT_FALSE(DisplayProblem(Env({{"QT_QPA_PLATFORM", "offscreen"}}), Unreachable));
    EXPECT_FALSE(DisplayProblem(Env({{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", ":1"}}), Reachable));
    // No way to ask the server: assumed to answer.
    EXPECT_FALSE(DisplayProblem(Env({{"DISPLAY", ":0"}})));
}

TEST(DisplayProblem, DisplayWithoutServerSaysWhich) {
    const auto problem = DisplayProblem(Env({{"DISPLAY", ":42"}}), Unreachable);
    ASSERT_TRUE(problem.has_value());
    EXPECT_NE(problem->find("DISPLAY=:42"), std::string::npos) << *problem;
    EXPECT_NE(problem->find("xvfb-run"), std::string::npos) << *problem;
}

TEST(XServerReachable, LocalNamesAreCheckedRemoteOnesAssumed) {
    EXPECT_FALSE(XServerReachable(":65000"));
    EXPECT_FALSE(XServerReachable("unix:65001.0"));
    EXPECT_FALSE(XServerReachable(":"));
    EXPECT_FALSE(XServerReachable(":x"));
    EXPECT_TRUE(XServerReachable("somehost:0"));
}

} // namespace
} // namespace scribeline::frontend
