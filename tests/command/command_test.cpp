// The command class as the host drives it: its members, the layer predicate, opening the
// window, the layer list, continuing a run, failures inside every member, terminating.
#include "command/clsScribeline.hpp"
#include "errors/ErrorHandling.hpp"
#include "hosts/desktop/headless_desktop.hpp"
#include "tests/doubles/fake_globe.hpp"
#include "tests/doubles/fake_map.hpp"
#include "tests/doubles/recording_subsystems.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace scribeline::testing {
namespace {

class CommandTest : public ::testing::Test {
protected:
    desktop::HeadlessDesktop desk{desktop::DesktopOptions{}};
    FakeGlobeClient globe{desk};
    FakeGlobeConnector connector{globe};
    std::shared_ptr<FakeMapApplication> host =
        std::make_shared<FakeMapApplication>(desk, Rect{100, 80, 1300, 980});
    SubsystemJournal journal;
    std::unique_ptr<clsScribeline> command;
    std::vector<ErrorHandling::ErrorReport> reports;

    void SetUp() override {
        ErrorHandling::Clear();
        ErrorHandling::SetDebugSink(
            [this](const ErrorHandling::ErrorReport& r) { reports.push_back(r); });
        command = std::make_unique<clsScribeline>(Environment{desk, connector},
                                                  RecordingSubsystems(journal));
    }
    void TearDown() override {
        command.reset();
        ErrorHandling::SetDebugSink({});
    }
    FakeMap& map() { return *host->document->map; }
    int formWindows() {
        int n = 0;
        for (WindowHandle h : desk.TopLevelWindows()) {
            n += desk.GetClassName(h) == "ScribelineForm" ? 1 : 0;
        }
        return n;
    }
};

TEST_F(CommandTest, MembersAnswerWhatTheHostAsks) {
    EXPECT_FALSE(command->Checked());
    EXPECT_EQ(command->Name(), "Scribeline");
    EXPECT_EQ(command->Caption(), "Scribeline 2.2");
    EXPECT_EQ(command->Tooltip(), "Scribeline 2.2");
    EXPECT_EQ(command->Message(),
              "Export points, polylines or polygons digitized on Google Earth to ArcMap.");
    EXPECT_EQ(command->HelpFile(), "");
    EXPECT_EQ(command->HelpContextID(), 0);
    EXPECT_EQ(command->Category(), "Scribeline");
    const PictureHandle icon = command->Bitmap();
    EXPECT_NE(icon, 0U);
    EXPECT_EQ(command->Window().Images().Key(icon), "scribeline");
    EXPECT_EQ(command->Bitmap(), icon);
    EXPECT_TRUE(reports.empty());
}

TEST(LayerPredicate, ModesAndLayers) {
    struct Case {
        int layers;
        std::int64_t selected;
        bool pageLayout;
        const char* mode;
        bool expected;
    };
    const std::vector<Case> cases = {
        {0, 0, false, "", false},          {1, 0, false, "", true},
        {0, 0, true, "layout", true},      {3, 0, false, "LAYOUT", false},
        {0, 0, true, "Layout", true},      {0, 5, false, "SELECTION", false},
        {2, 0, false, "SELECTION", false}, {2, 1, false, "selection", true},
        {2, 0, false, "anything", true},   {0, 1, false, "anything", false},
    };
    for (const auto& c : cases) {
        FakeMxDocument document;
        for (int i = 0; i < c.layers; ++i) {
            document.map->layers.push_back(std::make_shared<FakeOtherLayer>("l"));
        }
        document.map->selectionCount = c.selected;
        document.pageLayout = c.pageLayout;
        EXPECT_EQ(CheckMapLayers(&document, c.mode), c.expected)
            << c.mode << " layers " << c.layers;
    }
    EXPECT_THROW((void)CheckMapLayers(nullptr, ""), PortError);
}

TEST_F(CommandTest, EnabledWhileTheFocusMapHoldsALayerOfAnyKind) {
    EXPECT_FALSE(command->Enabled()); // before OnCreate: no document, quietly false
    command->OnCreate(host);
    EXPECT_FALSE(command->Enabled());
    map().layers.push_back(std::make_shared<FakeOtherLayer>("raster"));
    EXPECT_TRUE(command->Enabled());
    EXPECT_EQ(ErrorHandling::CurrentError().number, 0);
}

TEST_F(CommandTest, OnCreateLoadsTheWindowHiddenWithTheWelcomeInTheGlobe) {
    command->OnCreate(host);
    frmGE2Arc& window = command->Window();
    EXPECT_TRUE(window.IsLoaded());
    EXPECT_FALSE(window.Visible());
    EXPECT_FALSE(command->Process().windowOpen);
    EXPECT_EQ(command->Process().loadCount, 1);
    EXPECT_EQ(desk.GetParent(window.ctl.pictGEInfoWelcome.hWnd()), globe.renderWindow);
    EXPECT_TRUE(reports.empty());
}

TEST_F(CommandTest, OnClickOpensTheWindowAndASecondPressContinues) {
    AddFeatureLayer(map(), "roads", GeometryType::Polyline, 4);
    command->OnCreate(host);
    command->OnClick();
    frmGE2Arc& window = command->Window();
    EXPECT_TRUE(command->Process().windowOpen);
    EXPECT_TRUE(window.Visible());
    EXPECT_EQ(window.Application(), host);
    EXPECT_EQ(window.state.vertexCount, 0);
    EXPECT_EQ(window.ctl.cboSelectLayer.Text(), "roads");
    // The ready picture stands in the globe; the welcome picture went home.
    EXPECT_EQ(desk.GetParent(window.ctl.pictGEInfoReady.hWnd()), globe.renderWindow);
    EXPECT_EQ(desk.GetParent(window.ctl.pictGEInfoWelcome.hWnd()), window.hWnd());
    // Bottom left of the map host's main window (100,80 1200x900 px).
    EXPECT_EQ(window.FormBounds().left, 1500);
    EXPECT_EQ(window.FormBounds().top, (80 + 900) * 15 - 4290);
    journal.calls.clear();
    command->OnClick();
    EXPECT_EQ(journal.calls, (std::vector<std::string>{"cmdDigitizePauseOrContinue_Click"}));
    EXPECT_EQ(formWindows(), 1);
    EXPECT_TRUE(reports.empty());
}

TEST_F(CommandTest, TheLayerListTakesOnlyDigitizableFeatureLayers) {
    auto group = std::make_shared<FakeGroupLayer>("group");
    group->Add(std::make_shared<FakeFeatureLayer>(
        "in group", std::make_shared<FakeFeatureClass>(GeometryType::Polygon, 2)));
    // Added in reverse: each becomes layer 0.
    AddFeatureLayer(map(), "empty", GeometryType::Point, 0);
    AddFeatureLayer(map(), "dimensions", GeometryType::Polyline, 3, false, 12);
    AddFeatureLayer(map(), "annotation", GeometryType::Polygon, 3, false, 11);
    AddFeatureLayer(map(), "multipoints", GeometryType::Multipoint, 3);
    map().AddLayer(std::make_shared<FakeFeatureLayer>("no class", nullptr));
    map().AddLayer(std::make_shared<FakeOtherLayer>("raster"));
    map().AddLayer(group);
    AddFeatureLayer(map(), "wells", GeometryType::Point, 1);
    auto parcels = AddFeatureLayer(map(), "parcels", GeometryType::Polygon, 10, true);

    command->OnCreate(host);
    command->OnClick();
    const auto& list = command->Window().ctl.cboSelectLayer;
    EXPECT_EQ(list.Items(), (std::vector<std::string>{"parcels", "wells", "in group"}));
    EXPECT_EQ(list.Text(), "parcels");
    // Counted with a new, empty filter.
    auto featureClass = std::dynamic_pointer_cast<FakeFeatureClass>(parcels->FeatureClass());
    EXPECT_EQ(featureClass->countFilters, (std::vector<std::string>{""}));
}

TEST_F(CommandTest, TheLayerListIsFilledOnEveryOpening) {
    command->OnCreate(host);
    command->OnClick();
    EXPECT_TRUE(command->Window().ctl.cboSelectLayer.Items().empty());
    EXPECT_EQ(command->Window().ctl.cboSelectLayer.Text(), "");
    command->Window().UserClose();
    EXPECT_FALSE(command->Process().windowOpen);
    AddFeatureLayer(map(), "new", GeometryType::Point, 1);
    command->OnClick();
    EXPECT_EQ(command->Window().ctl.cboSelectLayer.Items(), (std::vector<std::string>{"new"}));
    EXPECT_EQ(command->Process().loadCount, 2);
    EXPECT_EQ(formWindows(), 1);
}

// Each member made to fail from the inside: nothing escapes, nothing stays pending, and the
// member answers its default.
TEST_F(CommandTest, EveryMemberTrapsEveryFailure) {
    command->OnCreate(host);
    reports.clear();
    struct Member {
        const char* name;
        std::function<std::string()> call; // the member's result as text
        std::string fallback;              // what it answers when it fails
    };
    auto text = [](bool v) { return std::string(v ? "true" : "false"); };
    const std::vector<Member> members = {
        {"ICommand_Enabled", [&] { return text(command->Enabled()); }, "false"},
        {"ICommand_Checked", [&] { return text(command->Checked()); }, "false"},
        {"ICommand_Name", [&] { return command->Name(); }, ""},
        {"ICommand_Caption", [&] { return command->Caption(); }, ""},
        {"ICommand_Tooltip", [&] { return command->Tooltip(); }, ""},
        {"ICommand_Message", [&] { return command->Message(); }, ""},
        {"ICommand_HelpFile", [&] { return command->HelpFile(); }, ""},
        {"ICommand_HelpContextID", [&] { return std::to_string(command->HelpContextID()); }, "0"},
        {"ICommand_Bitmap", [&] { return std::to_string(command->Bitmap()); }, "0"},
        {"ICommand_Category", [&] { return command->Category(); }, ""},
        {"ICommand_OnCreate",
         [&] {
             command->OnCreate(host);
             return std::string();
         },
         ""},
        {"ICommand_OnClick",
         [&] {
             command->OnClick();
             return std::string();
         },
         ""},
    };
    map().layers.push_back(std::make_shared<FakeOtherLayer>("raster")); // Enabled would be true
    for (const auto& member : members) {
        SCOPED_TRACE(member.name);
        command->SetMemberProbe([&](const std::string& name) {
            if (name == member.name) {
                throw std::runtime_error("injected into " + name);
            }
        });
        for (int twice = 0; twice < 2; ++twice) {
            reports.clear();
            std::string result = "unset";
            EXPECT_NO_THROW(result = member.call());
            EXPECT_EQ(result, member.fallback);
            EXPECT_EQ(ErrorHandling::CurrentError().number, 0);
            ASSERT_EQ(reports.size(), 1U);
            EXPECT_EQ(reports[0].location, std::string(member.name) + " Scribeline ");
            EXPECT_EQ(reports[0].error.description, std::string("injected into ") + member.name);
            EXPECT_EQ(reports[0].error.number, ErrorHandling::kErrRuntime);
            EXPECT_TRUE(reports[0].outermost);
            EXPECT_EQ(reports[0].mode, ErrorHandling::kSilent);
        }
    }
    EXPECT_FALSE(command->Process().windowOpen); // OnClick ended before opening anything
    command->SetMemberProbe({});
    EXPECT_TRUE(desk.MessageBoxes().empty()); // silent
}

TEST_F(CommandTest, RealFailuresInsideMembersAreTrappedWithTheirStep) {
    host->failDocument = true;
    command->OnCreate(host);
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_EQ(reports[0].location, "ICommand_OnCreate Scribeline Line : 10");
    EXPECT_EQ(reports[0].error.number, ErrorHandling::kErrAutomation);
    EXPECT_EQ(reports[0].error.source, "Document");

    host->failDocument = false;
    reports.clear();
    connector.unreachable = true;
    command->OnCreate(host);
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_EQ(reports[0].location, "ICommand_OnCreate Scribeline Line : 30");
    EXPECT_EQ(reports[0].error.source, "CreateApplication");
    EXPECT_FALSE(command->Window().IsLoaded());

    reports.clear();
    EXPECT_EQ(command->Bitmap(), 0U); // the window cannot load without the globe
    command->OnClick();
    EXPECT_EQ(reports.size(), 2U);
    connector.unreachable = false;

    reports.clear();
    host->document->map->fail = true;
    EXPECT_FALSE(command->Enabled());
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_EQ(reports[0].error.source, "LayerCount");
    EXPECT_EQ(ErrorHandling::CurrentError().number, 0);
    EXPECT_TRUE(desk.MessageBoxes().empty());
}

TEST_F(CommandTest, TerminateUnloadsTheWindowStillLoaded) {
    AddFeatureLayer(map(), "roads", GeometryType::Polyline, 4);
    command->OnCreate(host);
    command->OnClick();
    ASSERT_EQ(formWindows(), 1);
    const WindowHandle ready = command->Window().ctl.pictGEInfoReady.hWnd();
    command->Class_Terminate();
    EXPECT_EQ(formWindows(), 0);
    EXPECT_FALSE(desk.IsWindow(ready)); // placed in the globe, taken down all the same
    EXPECT_TRUE(command->Process().loadedForms.empty());
    EXPECT_EQ(desk.ActiveTimers(), 0);
    command.reset(); // runs it again, harmlessly
}

} // namespace
} // namespace scribeline::testing
