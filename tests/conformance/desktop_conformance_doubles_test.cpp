// The suite catches the two faults a desktop is most likely to have: input that waits for the
// next pump, and a Sleep that pumps. Each double fails exactly the check aimed at it.
#include "tests/conformance/desktop_conformance.hpp"
#include "tests/doubles/desktop_doubles.hpp"

namespace scribeline::conformance {
namespace {

TEST(DesktopConformanceCatches, InputQueuedUntilTheNextPump) {
    doubles::QueuedInputDesktop queued;
    EXPECT_FALSE(checkMouseInputDeliveredBeforeReturn(queued));
    EXPECT_FALSE(checkKeysDeliveredBeforeReturn(queued));
    EXPECT_TRUE(checkSleepRunsNothing(queued)) << "its Sleep is honest";
}

TEST(DesktopConformanceCatches, ASleepThatPumps) {
    doubles::PumpingSleepDesktop pumping;
    EXPECT_FALSE(checkSleepRunsNothing(pumping));
    EXPECT_TRUE(checkMouseInputDeliveredBeforeReturn(pumping)) << "its input is honest";
    EXPECT_TRUE(checkKeysDeliveredBeforeReturn(pumping));
}

TEST(DesktopConformanceCatches, NothingInTheDesktopTheDoublesWrap) {
    doubles::ForwardingDesktop plain;
    EXPECT_TRUE(checkMouseInputDeliveredBeforeReturn(plain));
    EXPECT_TRUE(checkKeysDeliveredBeforeReturn(plain));
    EXPECT_TRUE(checkSleepRunsNothing(plain));
}

// The queued double's input does arrive, one pump late: the check fails on timing alone.
TEST(DesktopConformanceCatches, QueuedInputArrivesAtThePump) {
    doubles::QueuedInputDesktop queued;
    int presses = 0;
    queued.SetMouseHook([&](const MouseEvent& e) {
        presses += e.message == MouseMessage::LeftDown ? 1 : 0;
        return HookResult::Pass;
    });
    queued.SendMouseInput(MouseMessage::LeftDown);
    queued.Sleep(100);
    EXPECT_EQ(presses, 0) << "send, sleep, look: nothing there yet";
    queued.DoEvents();
    EXPECT_EQ(presses, 1);
}

} // namespace
} // namespace scribeline::conformance
