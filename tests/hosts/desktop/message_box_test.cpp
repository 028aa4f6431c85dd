#include "hosts/desktop/headless_desktop.hpp"

#include <gtest/gtest.h>

namespace scribeline::desktop {
namespace {

TEST(MessageBoxes, AnsweredOkByDefaultAndRecorded) {
    HeadlessDesktop d;
    EXPECT_EQ(d.MessageBox(kNoWindow, "text", "Isolinea", mb::Ok | mb::SystemModal), idr::Ok);
    ASSERT_EQ(d.MessageBoxes().size(), 1u);
    EXPECT_EQ(d.MessageBoxes()[0].title, "Isolinea");
    EXPECT_EQ(d.MessageBoxes()[0].flags, mb::Ok | mb::SystemModal);
    EXPECT_EQ(d.FindWindow(std::nullopt, "Isolinea"), kNoWindow) << "closed after answering";
}

TEST(MessageBoxes, OpenBoxIsATopLevelWindowThatATimerCanClose) {
    HeadlessDesktop d;
    d.SetMessageBoxResponder([](const MessageBoxRecord&) {
        return MessageBoxAnswer{idr::Ok, 5000};
    });
    int found = 0;
    d.SetTimer(300, [&] {
        const WindowHandle box = d.FindWindow(std::nullopt, "x_y_z");
        if (box != kNoWindow) {
            ++found;
            d.PostCloseMessage(box);
        }
    });
    const int result = d.MessageBox(kNoWindow, "closing soon", "x_y_z", mb::Ok);
    EXPECT_EQ(result, idr::Ok);
    EXPECT_EQ(found, 1);
    const MessageBoxRecord& r = d.MessageBoxes().back();
    EXPECT_TRUE(r.closedByMessage);
    EXPECT_EQ(r.closedAtMs, 300) << "closed at the first tick, not after 5 s";
    EXPECT_EQ(d.TickCount(), 300);
}

TEST(MessageBoxes, ScriptedAnswerAfterItsTime) {
    HeadlessDesktop d;
    d.SetMessageBoxResponder([](const MessageBoxRecord& r) {
        return MessageBoxAnswer{r.title == "Ask" ? idr::No : idr::Ok, 1000};
    });
    int ticks = 0;
    d.SetTimer(100, [&] { ++ticks; });
    EXPECT_EQ(d.MessageBox(kNoWindow, "?", "Ask", mb::YesNo), idr::No);
    EXPECT_EQ(ticks, 10) << "timers run while the box is open";
    EXPECT_FALSE(d.MessageBoxes().back().closedByMessage);
    d.ClearMessageBoxes();
    EXPECT_TRUE(d.MessageBoxes().empty());
}

TEST(MessageBoxes, ClosingAnOkCancelBoxIsCancel) {
    HeadlessDesktop d;
    d.SetMessageBoxResponder([](const MessageBoxRecord&) {
        return MessageBoxAnswer{idr::Ok, 1000};
    });
    d.SetTimer(10, [&] { d.PostCloseMessage(d.FindWindow("#32770", std::nullopt)); });
    EXPECT_EQ(d.MessageBox(kNoWindow, "t", "T", mb::OkCancel), idr::Cancel);
}

} // namespace
} // namespace scribeline::desktop
