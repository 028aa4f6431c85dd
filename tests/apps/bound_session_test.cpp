// A front end's view of a whole session: a mirror of the window built once through
// Controls::ForEach and kept only by the change notification must equal a fresh snapshot of
// every control after every step, and no notification may come without a change.
#include "apps/scribeline/session_runner.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using scribeline::Controls;
using scribeline::app::LoadSession;
using scribeline::app::RunOptions;
using scribeline::app::RunSession;
namespace controls = scribeline::controls;

namespace {

const fs::path kExamples = SCRIBELINE_EXAMPLES;

// Everything a front end shows of a control, as one line.
std::string Describe(const controls::Control& c) {
    std::ostringstream out;
    const auto& b = c.GetBounds();
    out << c.Name() << '[' << c.Index() << "] e" << c.Enabled() << " v" << c.Visible() << " @"
        << b.left << ',' << b.top << ',' << b.width << ',' << b.height;
    if (const auto* x = dynamic_cast<const controls::CaptionedControl*>(&c)) {
        out << " caption=" << x->Caption();
    }
    if (const auto* x = dynamic_cast<const controls::OptionButton*>(&c)) {
        out << " value=" << x->Value();
    }
    if (const auto* x = dynamic_cast<const controls::TextBox*>(&c)) {
        out << " text=" << x->Text() << " sel=" << x->SelStart() << '+' << x->SelLength()
            << " colours=" << x->BackColor() << '/' << x->ForeColor();
    }
    if (const auto* x = dynamic_cast<const controls::ScrollBar*>(&c)) {
        out << " value=" << x->Value() << " range=" << x->Min() << ".." << x->Max() << '/'
            << x->SmallChange() << '/' << x->LargeChange();
    }
    if (const auto* x = dynamic_cast<const controls::ComboBox*>(&c)) {
        out << " text=" << x->Text() << " index=" << x->ListIndex() << " items=";
        for (const auto& item : x->Items()) {
            out << item << '|';
        }
    }
    if (const auto* x = dynamic_cast<const controls::Image*>(&c)) {
        out << " picture=" << x->PictureKey() << " raised=" << x->Raised();
    }
    if (const auto* x = dynamic_cast<const controls::PictureBox*>(&c)) {
        out << " picture=" << x->PictureKey() << " fill=" << x->FillSolid()
            << " bitmap=" << x->Picture().get();
    }
    if (const auto* x = dynamic_cast<const controls::ListView*>(&c)) {
        out << " selected=" << x->SelectedIndex() << " headers=";
        for (int i = 1; i <= x->ColumnCount(); ++i) {
            const auto& h = x->Header(i);
            out << h.key << ':' << h.caption << ':' << h.width << ':' << h.alignment << ':'
                << h.left << '|';
        }
        out << " rows=";
        for (int r = 0; r < x->ItemCount(); ++r) {
            for (int col = 1; col <= x->ColumnCount(); ++col) {
                out << x->CellText(r, col) << ';';
            }
            out << x->Item(r).tag << '|';
        }
    }
    if (const auto* x = dynamic_cast<const controls::Toolbar*>(&c)) {
        out << " buttons=";
        for (const auto& button : x->Buttons()) {
            out << button.key << ':' << button.imageKey << ':' << button.tooltip << ':'
                << static_cast<int>(button.style) << ':' << button.enabled << button.visible
                << button.value << '|';
        }
    }
    if (const auto* x = dynamic_cast<const controls::Timer*>(&c)) {
        out << " interval=" << x->Interval();
    }
    return out.str();
}

// The mirror a graphical binder keeps.
struct Binder {
    std::map<const controls::Control*, std::string> mirror;
    controls::Subscription subscription;
    const Controls* model = nullptr;
    int notifications = 0;
    int stepsChecked = 0;
    std::string problems;

    void Bind(Controls& c) {
        model = &c;
        c.ForEach(
            [this](const controls::Control& control) { mirror[&control] = Describe(control); });
        subscription = c.OnChanged([this](const controls::Control& control) {
            ++notifications;
            auto it = mirror.find(&control);
            if (it == mirror.end()) {
                problems +=
                    "notified for a control ForEach never visited: " + control.Name() + "\n";
                return;
            }
            std::string now = Describe(control);
            if (now == it->second) {
                problems += "notified without a change: " + now + "\n";
            }
            it->second = std::move(now);
        });
    }

    void Check(const std::string& step) {
        ++stepsChecked;
        model->ForEach([&](const controls::Control& control) {
            const std::string now = Describe(control);
            const std::string& seen = mirror[&control];
            if (now != seen) {
                problems += step + ": a change went unnoticed\n  mirror: " + seen +
                            "\n  window: " + now + "\n";
                mirror[&control] = now; // report each change once
            }
        });
    }
};

class BoundSession : public ::testing::TestWithParam<const char*> {};

TEST_P(BoundSession, TheMirrorFollowsEveryChange) {
    const fs::path out =
        fs::temp_directory_path() /
        ("scribeline-bound-" + std::string(GetParam()) + "-" + std::to_string(::getpid()));
    fs::remove_all(out);
    Binder binder;
    RunOptions options;
    options.outDir = out;
    options.pictures = false;
    options.bind = [&](Controls& c) { binder.Bind(c); };
    options.progress = [&](const std::string& line) { binder.Check(line); };
    const auto session = LoadSession(kExamples / (std::string(GetParam()) + ".json"));
    (void)RunSession(session, options);
    binder.subscription.Reset();
    fs::remove_all(out);

    EXPECT_EQ(binder.problems, "");
    EXPECT_EQ(binder.stepsChecked, static_cast<int>(session.steps.size()));
    EXPECT_GE(binder.notifications, 10) << "a session changes the window";
}

INSTANTIATE_TEST_SUITE_P(Examples, BoundSession,
                         ::testing::Values("attributes", "polygon", "dem_grid", "contours", "views",
                                           "points"));

} // namespace
