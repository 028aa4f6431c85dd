// The control model as a front end binds to it: one list of controls and one change
// notification per effective change.
#include "command/window_controls.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace scribeline::testing {
namespace {

using controls::ChangeSignal;
using controls::Control;

// Records the name (and index) of every control the signal reports.
struct Recorder {
    std::vector<std::string> seen;
    controls::Subscription subscription;
    explicit Recorder(ChangeSignal& signal)
        : subscription(signal.Subscribe([this](const Control& c) {
              seen.push_back(c.Index() < 0 ? c.Name()
                                           : c.Name() + "(" + std::to_string(c.Index()) + ")");
          })) {}
    std::vector<std::string> take() { return std::exchange(seen, {}); }
};

using Names = std::vector<std::string>;

TEST(ChangeSignal, SubscriptionsComeAndGo) {
    ChangeSignal signal;
    controls::Label label("lbl");
    label.AttachSignal(&signal);
    int a = 0;
    int b = 0;
    auto first = signal.Subscribe([&](const Control&) { ++a; });
    {
        auto second = signal.Subscribe([&](const Control&) { ++b; });
        EXPECT_EQ(signal.SubscriberCount(), 2);
        label.SetCaption("x");
    }
    EXPECT_EQ(signal.SubscriberCount(), 1);
    label.SetCaption("y");
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 1);
    controls::Subscription moved = std::move(first);
    EXPECT_TRUE(moved.Active());
    moved.Reset();
    label.SetCaption("z");
    EXPECT_EQ(a, 2);
    EXPECT_THROW((void)signal.Subscribe(nullptr), std::invalid_argument);
}

TEST(ChangeSignal, HandlerMayUnsubscribeOthersWhileRaising) {
    ChangeSignal signal;
    controls::Label label("lbl");
    label.AttachSignal(&signal);
    controls::Subscription second;
    int secondCalls = 0;
    auto first = signal.Subscribe([&](const Control&) { second.Reset(); });
    second = signal.Subscribe([&](const Control&) { ++secondCalls; });
    label.SetCaption("x");
    EXPECT_EQ(secondCalls, 0);
}

TEST(ChangeSignal, SubscriptionOutlivesSignal) {
    controls::Subscription handle;
    {
        ChangeSignal signal;
        handle = signal.Subscribe([](const Control&) {});
    }
    EXPECT_FALSE(handle.Active());
    handle.Reset(); // no-op
}

TEST(ChangeSignal, UnattachedControlsChangeSilently) {
    controls::TextBox box("txt");
    box.SetText("abc");
    EXPECT_EQ(box.Text(), "abc");
    EXPECT_EQ(box.Signal(), nullptr);
}

// Each setter: one notification when the state changes, none when it does not.
TEST(ControlNotifications, OnePerEffectiveChange) {
    ChangeSignal signal;
    Recorder rec(signal);
    controls::Button button("cmd");
    controls::TextBox box("txt");
    controls::ScrollBar bar("bar");
    controls::ComboBox combo("cbo");
    controls::Image image("img");
    controls::ListView list("lst");
    controls::Toolbar toolbar("tb");
    controls::Timer timer("tmr");
    controls::OptionArray options("opt", {"a", "b", "c"});
    for (Control* c : std::initializer_list<Control*>{&button, &box, &bar, &combo, &image, &list,
                                                      &toolbar, &timer}) {
        c->AttachSignal(&signal);
    }
    options.AttachSignal(&signal);

    button.SetCaption("Go");
    button.SetCaption("Go");
    button.SetEnabled(false);
    button.SetEnabled(false);
    button.SetVisible(false);
    button.Move(10, 20);
    button.Move(10, 20);
    button.Resize(30, 40);
    button.SetBounds({10, 20, 30, 40});
    EXPECT_EQ(rec.take(), (Names{"cmd", "cmd", "cmd", "cmd", "cmd"}));

    int changes = 0;
    box.Change = [&] {
        ++changes;
        EXPECT_EQ(rec.seen.size(), 1U) << "the notification precedes the Change event";
    };
    box.SetText("12");
    EXPECT_EQ(rec.take(), Names{"txt"});
    box.SetText("12");
    box.SetSelection(0, 1);
    box.SetSelection(0, 1);
    box.SetBackColor(rgb(1, 2, 3));
    box.SetBackColor(rgb(1, 2, 3));
    box.SetForeColor(rgb(1, 2, 3));
    EXPECT_EQ(rec.take(), (Names{"txt", "txt", "txt"}));
    box.UserType("5"); // replaces the selection: text and caret in one notification
    EXPECT_EQ(box.Text(), "52");
    EXPECT_EQ(rec.take(), Names{"txt"});
    EXPECT_EQ(changes, 2);

    bar.SetRange(0, 10, 1, 2);
    bar.SetRange(0, 10, 1, 2);
    bar.SetValue(3);
    bar.SetValue(3);
    bar.SetInitialValue(4);
    bar.SetRange(0, 2, 1, 1); // the value follows into the range
    EXPECT_EQ(bar.Value(), 2);
    EXPECT_EQ(rec.take(), (Names{"bar", "bar", "bar", "bar"}));

    combo.AddItem("one");
    combo.AddItem("two");
    combo.UserChoose(1);
    combo.UserChoose(1);
    combo.SetText("two");
    combo.Clear();
    combo.Clear();
    EXPECT_EQ(rec.take(), (Names{"cbo", "cbo", "cbo", "cbo"}));

    image.SetPictureKey("k");
    image.SetPictureKey("k");
    image.SetRaised(true);
    image.SetRaised(true);
    EXPECT_EQ(rec.take(), (Names{"img", "img"}));

    list.AddColumnHeader("a", "A", 100, 0);
    list.AddColumnHeader("b", "B", 100, 0);
    list.SetColumnWidth(1, 100);
    list.AddItem({"r0", {"x"}, false});
    list.SetCellText(0, 2, "x");
    list.SetCellText(0, 2, "y");
    list.SetSelectedIndex(0);
    list.SetSelectedIndex(-5); // clamps to 0: unchanged
    list.SendKey(vk::Down);    // stays on the last row
    list.RemoveItem(0);
    list.ClearItems();
    list.Clear();
    list.Clear();
    EXPECT_EQ(rec.take(), (Names{"lst", "lst", "lst", "lst", "lst", "lst", "lst"}));

    toolbar.Add({"k", "img", "tip", "", controls::ButtonStyle::Default});
    toolbar.SetButtonValue("k", 1);
    toolbar.SetButtonValue("k", 1);
    toolbar.SetButtonEnabled("k", true); // releases it
    toolbar.SetButtonEnabled("k", true);
    toolbar.SetButtonImage("k", "img");
    toolbar.SetButtonImage("k", "img2");
    toolbar.SetButtonVisible("k", false);
    toolbar.SetButtonTooltip("k", "tip2");
    EXPECT_EQ(rec.take(), (Names{"tb", "tb", "tb", "tb", "tb", "tb"}));
    EXPECT_THROW(toolbar.SetButtonValue("nope", 1), std::out_of_range);
    EXPECT_TRUE(rec.take().empty());

    timer.SetInterval(100);
    timer.SetInterval(100);
    timer.SetEnabled(true);
    EXPECT_EQ(rec.take(), (Names{"tmr", "tmr"}));

    options.Select(1);
    EXPECT_EQ(rec.take(), Names{"opt(1)"});
    options.Select(2); // one loses, one gains
    EXPECT_EQ(rec.take(), (Names{"opt(1)", "opt(2)"}));
    options.Select(2);
    EXPECT_TRUE(rec.take().empty());
    options[0].SetCaption("A");
    EXPECT_EQ(rec.take(), Names{"opt(0)"});
}

TEST(WindowControls, ForEachVisitsEveryControlOnceInAStableOrder) {
    Controls c;
    std::vector<const Control*> first;
    std::set<const Control*> distinct;
    std::set<std::pair<std::string, int>> names;
    c.ForEach([&](Control& control) {
        first.push_back(&control);
        distinct.insert(&control);
        names.insert({control.Name(), control.Index()});
    });
    EXPECT_EQ(static_cast<int>(first.size()), c.Count());
    EXPECT_EQ(distinct.size(), first.size()) << "a control visited twice";
    EXPECT_EQ(names.size(), first.size()) << "two controls share a name and index";
    // 54 single controls, 5 option groups (2+3+3+2+3) and 2 image arrays (9+4).
    EXPECT_EQ(first.size(), 54U + 13U + 13U);

    const Controls& constant = c;
    std::vector<const Control*> second;
    constant.ForEach([&](const Control& control) { second.push_back(&control); });
    EXPECT_EQ(first, second);

    EXPECT_EQ(first.front(), &c.toolbarScribeline);
    EXPECT_EQ(first.back(), &c.Command2);
    EXPECT_EQ(c.Find("optGeometryType", 2), &c.optGeometryType[2]);
    EXPECT_EQ(c.Find("txtQty"), &c.txtQty);
    EXPECT_EQ(c.Find("optGeometryType"), nullptr) << "an array member needs its index";
    EXPECT_EQ(c.Find("nothing"), nullptr);
    EXPECT_THROW(c.ForEach(std::function<void(Control&)>{}), std::invalid_argument);
}

TEST(WindowControls, EveryControlReportsThroughOnChanged) {
    Controls c;
    std::vector<const Control*> changed;
    auto subscription = c.OnChanged([&](const Control& control) { changed.push_back(&control); });
    // Toggling visibility is a change every kind of control has.
    std::vector<const Control*> all;
    c.ForEach([&](Control& control) {
        all.push_back(&control);
        control.SetVisible(!control.Visible());
    });
    EXPECT_EQ(changed, all);
    subscription.Reset();
    changed.clear();
    c.txtQty.SetText("9");
    EXPECT_TRUE(changed.empty());
}

} // namespace
} // namespace scribeline::testing
