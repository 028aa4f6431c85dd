#include "hosts/desktop/send_keys.hpp"

#include <gtest/gtest.h>

namespace scribeline::desktop {
namespace {

TEST(SendKeys, ModifiersApplyToTheNextKeyOnly) {
    const auto keys = parseSendKeys("^+Gab");
    ASSERT_EQ(keys.size(), 6u);
    EXPECT_EQ(keys[0].virtualKey, 'G');
    EXPECT_TRUE(keys[0].control && keys[0].shift && !keys[0].alt);
    EXPECT_EQ(keys[1].message, KeyMessage::KeyUp);
    EXPECT_EQ(keys[2].virtualKey, 'A');
    EXPECT_EQ(keys[2].character, 'a');
    EXPECT_FALSE(keys[2].control || keys[2].shift);
}

TEST(SendKeys, NamedKeysAndLiterals) {
    const auto keys = parseSendKeys("{HOME}+{END}{ENTER}~{UP}{DOWN}{F7}{+}");
    ASSERT_EQ(keys.size(), 16u);
    EXPECT_EQ(keys[0].virtualKey, vk::Home);
    EXPECT_EQ(keys[2].virtualKey, vk::End);
    EXPECT_TRUE(keys[2].shift);
    EXPECT_EQ(keys[4].virtualKey, vk::Return);
    EXPECT_EQ(keys[6].virtualKey, vk::Return);
    EXPECT_EQ(keys[8].virtualKey, vk::Up);
    EXPECT_EQ(keys[10].virtualKey, vk::Down);
    EXPECT_EQ(keys[12].virtualKey, vk::F7);
    EXPECT_EQ(keys[14].character, '+');
}

TEST(SendKeys, UppercaseTypesWithShiftAndAltIsASystemKey) {
    const auto keys = parseSendKeys("S%x");
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_TRUE(keys[0].shift);
    EXPECT_EQ(keys[0].character, 'S');
    EXPECT_EQ(keys[2].message, KeyMessage::SysKeyDown);
}

TEST(SendKeys, MalformedSequencesAreRejected) {
    EXPECT_THROW(parseSendKeys("{ENTER"), std::invalid_argument);
    EXPECT_THROW(parseSendKeys("{NOSUCHKEY}"), std::invalid_argument);
    EXPECT_THROW(parseSendKeys("^(ab"), std::invalid_argument);
    EXPECT_THROW(parseSendKeys("a}"), std::invalid_argument);
    EXPECT_TRUE(parseSendKeys("").empty());
}

} // namespace
} // namespace scribeline::desktop
