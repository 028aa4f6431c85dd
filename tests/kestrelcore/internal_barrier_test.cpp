// The exception barrier at the C boundary: any exception becomes the export's failure result
// and one message through the handler, titled with the export's name.
#include "kestrelcore.h"
#include "state.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::vector<std::pair<std::string, std::string>> gSeen;

void KC_CALL record(const char* text, const char* title, void*) {
    gSeen.emplace_back(title, text);
}

TEST(Barrier, TurnsExceptionsIntoTheFailureResultAndAMessage) {
    KC_SetMessageHandler(record, nullptr);
    gSeen.clear();
    EXPECT_EQ(kc::barrier("KC_Test", -1, []() -> int { throw std::runtime_error("boom"); }), -1);
    EXPECT_EQ(kc::barrier("KC_Test", 0, []() -> int { throw std::bad_alloc(); }), 0);
    EXPECT_EQ(kc::barrier("KC_Test", 2, []() -> int { throw 42; }), 2);
    EXPECT_EQ(kc::barrier("KC_Test", 2, [] { return 7; }), 7);
    kc::barrierVoid("KC_Void", [] { throw std::logic_error("void"); });
    ASSERT_EQ(gSeen.size(), 4u);
    EXPECT_EQ(gSeen[0], (std::pair<std::string, std::string>{"KC_Test", "boom"}));
    EXPECT_EQ(gSeen[1].second, "Out of memory.");
    EXPECT_EQ(gSeen[2].second, "Unexpected failure.");
    EXPECT_EQ(gSeen[3], (std::pair<std::string, std::string>{"KC_Void", "void"}));
    KC_SetMessageHandler(nullptr, nullptr);
}

} // namespace
