// The "Define Fields" dialog driven through its controls as a user would.
#include "attributes/frmDefProperty.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace scribeline {
namespace {

class DefPropertyTest : public ::testing::Test {
protected:
    ProcessState process;
    frmDefProperty dialog{process, nullptr};
    frmDefProperty::Controls& c = dialog.ctl;
    int closedCount = 0;
    std::vector<UserDefinedField> closedWith;

    void SetUp() override {
        dialog.Closed = [this](const std::vector<UserDefinedField>& fields) {
            ++closedCount;
            closedWith = fields;
        };
        dialog.Show(true);
    }

    // Types a name over an empty box, chooses a type (-1: none) and presses Add.
    void add(const std::string& name, int type = -1, const std::string& length = "") {
        c.cmdClear.UserClick();
        c.txtFieldName.UserType(name);
        if (type >= 0) {
            c.cboFieldType.UserChoose(type);
        }
        if (!length.empty()) {
            c.txtFieldLength.SetText("");
            c.txtFieldLength.UserType(length);
        }
        c.cmdAdd.UserClick();
    }
};

TEST_F(DefPropertyTest, LoadsEmptyWithTheListButtonsDisabled) {
    EXPECT_TRUE(dialog.Visible());
    EXPECT_TRUE(dialog.Modal());
    EXPECT_EQ(dialog.Caption(), "Define Fields");
    EXPECT_EQ(dialog.Focused(), &c.txtFieldName);
    EXPECT_EQ(process.loadedForms, std::vector<IForm*>{&dialog});
    for (const controls::Control* button :
         {&c.cmdDelete, &c.Command1, &c.cmdSelectAll, &c.cmdInvertSelection, &c.cmdAdd}) {
        EXPECT_FALSE(button->Enabled()) << button->Name();
    }
    EXPECT_FALSE(c.Picture1.Visible());
    EXPECT_EQ(c.cboFieldType.Items(),
              (std::vector<std::string>{"Short Integer", "Long Integer", "Float", "Double", "Text",
                                        "Date"}));
    EXPECT_EQ(c.List1.ListCount(), 0);
    EXPECT_FALSE(c.List2.Visible());
    EXPECT_FALSE(c.List3.Visible());
}

TEST_F(DefPropertyTest, NameFilterCutAndAddRule) {
    struct Case {
        const char* typed;
        const char* name;
        bool addEnabled;
    };
    const Case cases[] = {
        {"1abc", "1abc", false},
        {"abc1", "abc1", true},
        {"_road", "_road", false},
        {"abcdefghijkl", "abcdefghij", true},
        {"a-b c.d!", "abcd", true},
        {"Road_1", "Road_1", true},
        {"", "", false},
        {"\xc3\xa4rger", "rger", true},
        {"ab\bx", "ax", true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.typed);
        c.cmdClear.UserClick();
        c.txtFieldName.UserType(k.typed);
        EXPECT_EQ(c.txtFieldName.Text(), k.name);
        EXPECT_EQ(c.cmdAdd.Enabled(), k.addEnabled);
    }
    // The caret follows a cut name to its end.
    c.cmdClear.UserClick();
    c.txtFieldName.UserType("abcdefghijkl");
    EXPECT_EQ(c.txtFieldName.SelStart(), 10);
}

TEST_F(DefPropertyTest, TypeChoiceSetsTheInputs) {
    struct Case {
        int type;
        bool length;
        bool precision;
        const char* lengthText;
    };
    const Case cases[] = {{4, true, false, "50"}, {0, false, true, "50"}, {1, false, true, "50"},
                          {2, false, true, "50"}, {3, false, true, "50"}, {5, false, false, "50"}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.type);
        c.cboFieldType.UserChoose(k.type);
        EXPECT_EQ(c.txtFieldLength.Enabled(), k.length);
        EXPECT_EQ(c.txtFieldPrecision.Enabled(), k.precision);
        EXPECT_EQ(c.txtFieldScale.Enabled(), k.precision);
        EXPECT_EQ(c.txtFieldLength.Text(), k.lengthText);
    }
}

TEST_F(DefPropertyTest, SameNameTwiceShowsTheWarningAndAddsOnce) {
    add("ROAD", 4);
    EXPECT_FALSE(c.Picture1.Visible());
    add("ROAD", 4);
    EXPECT_TRUE(c.Picture1.Visible());
    EXPECT_EQ(c.List1.ListCount(), 1);
    EXPECT_EQ(dialog.Focused(), &c.txtFieldName);
    // Changing the name hides the warning; another case is another name.
    c.txtFieldName.UserType("S");
    EXPECT_FALSE(c.Picture1.Visible());
    add("road", 4);
    EXPECT_EQ(c.List1.ListCount(), 2);
    EXPECT_TRUE(c.Command1.Enabled());
    EXPECT_TRUE(c.cmdSelectAll.Enabled());
    EXPECT_TRUE(c.cmdInvertSelection.Enabled());
    EXPECT_FALSE(c.cmdDelete.Enabled());
}

TEST_F(DefPropertyTest, OkFillsDefaultLengths) {
    struct Case {
        const char* name;
        int type;
        const char* length; // typed into the length box ("" none)
        int typeIndex;
        const char* lengthText;
    };
    const Case cases[] = {
        {"NoType", -1, "", 4, "50"},   {"S", 0, "", 0, "8"},      {"L", 1, "", 1, "16"},
        {"F", 2, "", 2, "16"},         {"D", 3, "", 3, "32"},     {"T", 4, "", 4, "50"},
        {"Dt", 5, "", 5, "10"},        {"T25", 4, "25", 4, "25"}, {"Tblank", 4, "", 4, "50"},
        {"Tmixed", 4, "1a2", 4, "12"},
    };
    for (const Case& k : cases) {
        c.cmdClear.UserClick();
        c.txtFieldName.UserType(k.name);
        if (k.type >= 0) {
            c.cboFieldType.UserChoose(k.type);
        }
        if (k.type == 4) {
            c.txtFieldLength.SetText(std::string(k.name) == "Tblank" ? "   " : "");
            c.txtFieldLength.UserType(k.length);
        }
        c.cmdAdd.UserClick();
    }
    c.Command1.UserClick();
    EXPECT_FALSE(dialog.Visible());
    ASSERT_EQ(closedCount, 1);
    ASSERT_EQ(dialog.Result().size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(dialog.Result()[i].name, cases[i].name);
        EXPECT_EQ(dialog.Result()[i].typeIndex, cases[i].typeIndex);
        EXPECT_EQ(dialog.Result()[i].lengthText, cases[i].lengthText);
    }
    EXPECT_EQ(closedWith.size(), std::size(cases));
}

TEST_F(DefPropertyTest, ALengthLeftInADisabledBoxIsNotKept) {
    c.txtFieldName.UserType("Count");
    c.cboFieldType.UserChoose(4); // fills 50
    c.cboFieldType.UserChoose(0); // the box keeps 50 but is disabled
    c.cmdAdd.UserClick();
    c.Command1.UserClick();
    ASSERT_EQ(dialog.Result().size(), 1u);
    EXPECT_EQ(dialog.Result()[0].lengthText, "8");
}

TEST_F(DefPropertyTest, SelectDeleteAndTheEnableRules) {
    add("A");
    add("B");
    add("C");
    add("D");
    c.List1.UserToggle(1);
    EXPECT_TRUE(c.cmdDelete.Enabled());
    c.List1.UserToggle(1);
    EXPECT_FALSE(c.cmdDelete.Enabled());
    c.cmdInvertSelection.UserClick(); // all four
    c.List1.UserToggle(0);
    c.List1.UserToggle(2); // B and D stay selected
    c.cmdDelete.UserClick();
    ASSERT_EQ(c.List1.ListCount(), 2);
    EXPECT_EQ(c.List1.List(0), "A");
    EXPECT_EQ(c.List1.List(1), "C");
    EXPECT_EQ(c.List2.ListCount(), 2);
    EXPECT_EQ(c.List3.ListCount(), 2);
    EXPECT_FALSE(c.cmdDelete.Enabled());
    EXPECT_TRUE(c.Command1.Enabled());
    c.cmdSelectAll.UserClick();
    EXPECT_EQ(c.List1.SelCount(), 2);
    c.cmdDelete.UserClick();
    EXPECT_EQ(c.List1.ListCount(), 0);
    for (const controls::Control* button :
         {&c.cmdDelete, &c.Command1, &c.cmdSelectAll, &c.cmdInvertSelection}) {
        EXPECT_FALSE(button->Enabled()) << button->Name();
    }
}

TEST_F(DefPropertyTest, DeletingTheOnlyFieldDisablesOk) {
    add("ROAD", 4);
    EXPECT_TRUE(c.Command1.Enabled());
    c.List1.UserToggle(0);
    c.cmdDelete.UserClick();
    EXPECT_FALSE(c.Command1.Enabled());
}

TEST_F(DefPropertyTest, ClearEmptiesTheInputs) {
    c.txtFieldName.UserType("Name");
    c.cboFieldType.UserChoose(4);
    c.cmdClear.UserClick();
    EXPECT_EQ(c.txtFieldName.Text(), "");
    EXPECT_EQ(c.txtFieldLength.Text(), "");
    EXPECT_FALSE(c.cmdAdd.Enabled());
    EXPECT_EQ(dialog.Focused(), &c.txtFieldName);
}

TEST_F(DefPropertyTest, AtMost201Fields) {
    for (int i = 0; i < 205; ++i) {
        std::string name(1, 'F');
        name.append(std::to_string(i));
        add(name);
    }
    EXPECT_EQ(c.List1.ListCount(), frmDefProperty::kMaxFields);
    EXPECT_FALSE(c.cmdAdd.Enabled());
    c.Command1.UserClick();
    EXPECT_EQ(dialog.Result().size(), 201u);
    EXPECT_EQ(dialog.Result().back().name, "F200");
    // Deleting one makes room again.
    dialog.Show(true);
    c.List1.UserToggle(0);
    c.cmdDelete.UserClick();
    c.cmdClear.UserClick();
    c.txtFieldName.UserType("Again");
    EXPECT_TRUE(c.cmdAdd.Enabled());
}

TEST_F(DefPropertyTest, CancelKeepsNoFieldsButTheListSurvivesAReopen) {
    add("ROAD", 4);
    c.Command1.UserClick();
    ASSERT_EQ(dialog.Result().size(), 1u);
    dialog.Show(true);
    EXPECT_EQ(c.List1.ListCount(), 1);
    add("Lanes", 1);
    c.Command2.UserClick();
    EXPECT_FALSE(dialog.Visible());
    EXPECT_TRUE(dialog.Result().empty());
    EXPECT_EQ(closedCount, 2);
    EXPECT_TRUE(closedWith.empty());
    dialog.Show(true);
    EXPECT_EQ(c.List1.ListCount(), 2);
    // Unloading forgets everything; the next load starts empty.
    dialog.Unload();
    EXPECT_TRUE(process.loadedForms.empty());
    dialog.Show(true);
    EXPECT_EQ(c.List1.ListCount(), 0);
}

} // namespace
} // namespace scribeline

namespace scribeline {
namespace {

// The dialog's controls as a model a front end binds to: every control once, and one
// notification per effective change, list entries and their selection included.
TEST(DefPropertyControls, ForEachVisitsEveryControlOnceAndChangesAreNotified) {
    ProcessState process;
    frmDefProperty dialog{process, nullptr};
    auto& c = dialog.ctl;
    std::vector<std::string> names;
    c.ForEach([&](controls::Control& control) { names.push_back(control.Name()); });
    EXPECT_EQ(names.size(), 23u);
    std::vector<std::string> unique = names;
    std::sort(unique.begin(), unique.end());
    EXPECT_EQ(std::unique(unique.begin(), unique.end()), unique.end()) << "a control twice";
    EXPECT_THROW(c.ForEach(nullptr), std::invalid_argument);
    EXPECT_THROW((void)c.OnChanged(nullptr), std::invalid_argument);

    dialog.Show(true);
    std::vector<std::string> changed;
    auto subscription =
        c.OnChanged([&](const controls::Control& control) { changed.push_back(control.Name()); });
    c.txtFieldName.UserType("ROAD");
    EXPECT_NE(std::find(changed.begin(), changed.end(), "txtFieldName"), changed.end());
    EXPECT_NE(std::find(changed.begin(), changed.end(), "cmdAdd"), changed.end()) << "enabled";
    changed.clear();
    c.cmdAdd.UserClick();
    EXPECT_EQ(std::count(changed.begin(), changed.end(), "List1"), 1);
    EXPECT_EQ(std::count(changed.begin(), changed.end(), "List2"), 1);
    changed.clear();
    c.List1.SetSelected(0, false); // already so
    EXPECT_TRUE(changed.empty());
    c.List1.UserToggle(0);
    EXPECT_EQ(std::count(changed.begin(), changed.end(), "List1"), 1);
    changed.clear();
    c.List1.Clear();
    c.List1.Clear(); // empty already
    EXPECT_EQ(std::count(changed.begin(), changed.end(), "List1"), 1);
    subscription.Reset();
    changed.clear();
    c.txtFieldName.UserType("X");
    EXPECT_TRUE(changed.empty()) << "unsubscribed";
}

} // namespace
} // namespace scribeline
