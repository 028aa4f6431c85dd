// The editable list view on bare controls: which clicks open an edit, what each key does to
// the cell, the numeric normalisation and the resize arithmetic.
#include "attributes/clsEditableListView.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace scribeline {
namespace {

class EditableListViewTest : public ::testing::Test {
protected:
    controls::ListView list{"listviewProperty"};
    controls::TextBox box{"txtQty"};
    clsEditableListView grid;
    clsColumn* value = nullptr;

    void SetUp() override {
        list.SetBounds({4200, 660, 5000, 1800});
        grid.list(list);
        grid.textbox(box);
        grid.addcolumn("Name", "Pcode", 900, false, false, 0, true);
        grid.addcolumn("Type", "Pdesc", 900, true, false, 0, true);
        value = &grid.addcolumn("Value", "Pqty", 1560, false, true, 0, true);
        grid.additem(false, "_Name", {"String", "first"});
        grid.additem(true, "Locked", {"String", "fixed"});
        grid.additem(false, "_Descrip", {"String", "last"});
    }

    // A click a little inside cell (row, column).
    void clickCell(int row, int column) {
        const auto& header = list.Header(column);
        list.UserClickAt(header.left + 10, list.RowTop(row) + 10);
    }
};

TEST_F(EditableListViewTest, OnlyUnlockedValueCellsOpenAnEdit) {
    struct Case {
        const char* what;
        int x;
        int y;
        bool opens;
    };
    const int valueX = list.Header(3).left + 10;
    const Case cases[] = {
        {"value cell of an unlocked row", valueX, list.RowTop(0) + 10, true},
        {"value cell of the last row", valueX, list.RowTop(2) + 10, true},
        {"value cell of a locked row", valueX, list.RowTop(1) + 10, false},
        {"name cell", 10, list.RowTop(0) + 10, false},
        {"type cell", list.Header(2).left + 10, list.RowTop(0) + 10, false},
        {"header", valueX, 10, false},
        {"below the rows", valueX, list.RowTop(3) + 10, false},
        {"right of the columns", list.Header(3).left + list.Header(3).width + 5,
         list.RowTop(0) + 10, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        grid.Commit();
        list.UserClickAt(c.x, c.y);
        EXPECT_EQ(grid.EditOpen(), c.opens);
        EXPECT_EQ(box.Visible(), c.opens);
    }
}

TEST_F(EditableListViewTest, TheBoxLiesOverTheCellWithItsTextSelected) {
    clickCell(2, 3);
    ASSERT_TRUE(grid.EditOpen());
    const auto& header = list.Header(3);
    EXPECT_EQ(box.GetBounds(), (controls::Bounds{4200 + header.left + 70, 660 + list.RowTop(2),
                                                 header.width, controls::ListView::kRowHeight}));
    EXPECT_EQ(box.Text(), "last");
    EXPECT_EQ(box.SelText(), "last");
    EXPECT_EQ(grid.SavedText(), "last");
    EXPECT_EQ(box.BackColor(), clsEditableListView::kHighlight);
    EXPECT_EQ(box.ForeColor(), clsEditableListView::kHighlightText);
    // A second click elsewhere while the edit is open changes nothing.
    clickCell(0, 3);
    EXPECT_EQ(grid.EditRow(), 2);
}

TEST_F(EditableListViewTest, KeysCommitCancelAndMove) {
    struct Case {
        const char* what;
        ValueKind kind;
        const char* format;
        int row;
        const char* cell;
        const char* typed;
        int key;
        const char* stored;
        int selectedAfter;
    };
    const Case cases[] = {
        {"numeric leading number", ValueKind::Format_Numeric, "", 0, "", "12abc", vk::Return, "12",
         0},
        {"numeric without a number", ValueKind::Format_Numeric, "", 0, "", "abc", vk::Return, "0",
         0},
        {"numeric sign and exponent", ValueKind::Format_Numeric, "", 0, "", " -3.5e2x", vk::Return,
         "-350", 0},
        {"numeric trailing zeros", ValueKind::Format_Numeric, "", 0, "", "1.50", vk::Return, "1.5",
         0},
        {"numeric with a pattern", ValueKind::Format_Numeric, "0.00", 0, "", "3.14159", vk::Return,
         "3.14", 0},
        {"pattern with groups", ValueKind::Format_Numeric, "#,##0", 0, "", "1234567.8", vk::Return,
         "1,234,568", 0},
        {"text as typed", ValueKind::Format_String, "", 0, "", "Main road 1", vk::Return,
         "Main road 1", 0},
        {"pattern leaves words alone", ValueKind::Format_String, "0.00", 0, "", "n/a", vk::Return,
         "n/a", 0},
        {"Esc restores the text", ValueKind::Format_String, "", 0, "old", "xyz", vk::Escape, "old",
         0},
        {"Esc restores even in a numeric column", ValueKind::Format_Numeric, "", 0, "", "77",
         vk::Escape, "", 0},
        {"Down in the last row commits and stays", ValueKind::Format_String, "", 2, "last", "typed",
         vk::Down, "typed", 2},
        {"Down moves to the next row", ValueKind::Format_String, "", 0, "first", "x", vk::Down, "x",
         1},
        {"Up moves to the row above", ValueKind::Format_String, "", 2, "last", "y", vk::Up, "y", 1},
        {"Up in the first row stays", ValueKind::Format_String, "", 0, "first", "z", vk::Up, "z",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        value->valueKind = c.kind;
        value->valueFormat = c.format;
        list.SetCellText(c.row, 3, c.cell);
        clickCell(c.row, 3);
        ASSERT_TRUE(grid.EditOpen());
        box.UserType(c.typed); // replaces the selected cell text
        EXPECT_EQ(box.BackColor(), clsEditableListView::kButtonFace);
        box.UserKey(c.key);
        EXPECT_FALSE(grid.EditOpen());
        EXPECT_FALSE(box.Visible());
        EXPECT_EQ(list.CellText(c.row, 3), c.stored);
        EXPECT_EQ(list.SelectedIndex(), c.selectedAfter);
    }
}

TEST_F(EditableListViewTest, LeavingTheBoxOrScrollingCommits) {
    value->valueKind = ValueKind::Format_Numeric;
    clickCell(0, 3);
    box.UserType("4 cars");
    ASSERT_TRUE(box.LostFocus);
    box.LostFocus();
    EXPECT_EQ(list.CellText(0, 3), "4");
    EXPECT_FALSE(grid.EditOpen());
    EXPECT_EQ(box.BackColor(), clsEditableListView::kHighlight);

    clickCell(2, 3);
    box.UserType("9");
    list.UserScroll();
    EXPECT_EQ(list.CellText(2, 3), "9");
    // With the edit closed another cell opens again.
    clickCell(0, 3);
    EXPECT_TRUE(grid.EditOpen());
}

TEST_F(EditableListViewTest, RemovingRowsKeepsTheEditOnItsCell) {
    clickCell(2, 3);
    box.UserType("kept");
    grid.removeitem(0);
    EXPECT_EQ(grid.EditRow(), 1);
    box.UserKey(vk::Return);
    EXPECT_EQ(list.CellText(1, 3), "kept");
    grid.clearitems();
    EXPECT_EQ(list.ItemCount(), 0);
    EXPECT_EQ(list.ColumnCount(), 3);
}

TEST_F(EditableListViewTest, ResizeGivesTheGrowingColumnWhatIsLeft) {
    struct Case {
        int listWidth;
        int expected;
    };
    const Case cases[] = {{5000, 2210}, {4140, 1350}, {2790, 0}, {1000, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.listWidth);
        list.Resize(c.listWidth, 1800);
        grid.Resize();
        EXPECT_EQ(list.Header(2).width, c.expected);
        EXPECT_EQ(list.Header(1).width, 900);
        EXPECT_EQ(list.Header(3).width, 1560);
        EXPECT_EQ(list.Header(3).left, 900 + c.expected);
    }
}

TEST(TextBoxKeys, EnterAndEscAreNeverText) {
    controls::TextBox box{"box"};
    std::vector<int> seen;
    box.KeyPress = [&](int key) {
        seen.push_back(key);
        return key;
    };
    box.UserType("a\r\x1b");
    box.UserKey(vk::Return);
    box.UserKey(vk::Escape);
    box.UserKey(vk::Back);
    EXPECT_EQ(box.Text(), "");
    EXPECT_EQ(seen,
              (std::vector<int>{'a', vk::Return, vk::Escape, vk::Return, vk::Escape, vk::Back}));
}

TEST(EditableListView, ColumnsNeedTheControlsFirst) {
    clsEditableListView grid;
    EXPECT_THROW(grid.addcolumn("Name", "Pcode", 900, false, false, 0, true), std::logic_error);
}

TEST(EditableListView, HiddenColumnsTakeNoRoomAndOpenNoEdit) {
    controls::ListView list{"list"};
    controls::TextBox box{"box"};
    clsEditableListView grid;
    grid.list(list);
    grid.textbox(box);
    auto& hidden = grid.addcolumn("Hidden", "h", 800, false, true, 0, false);
    grid.addcolumn("Shown", "s", 800, false, true, 1, true);
    EXPECT_EQ(hidden.index, 1);
    EXPECT_EQ(list.Header(1).width, 0);
    EXPECT_EQ(list.Header(2).left, 0);
    EXPECT_EQ(list.Header(2).alignment, 1);
    grid.additem(false, "a", {"b", "dropped: no column"});
    EXPECT_EQ(list.Item(0).subItems.size(), 1u);
    list.UserClickAt(10, list.RowTop(0) + 10);
    EXPECT_EQ(grid.EditColumn(), 2);
}

TEST(EditableListView, EventsOfADestroyedGridDoNothing) {
    controls::ListView list{"list"};
    controls::TextBox box{"box"};
    {
        clsEditableListView grid;
        grid.list(list);
        grid.textbox(box);
        grid.addcolumn("Value", "v", 800, false, true, 0, true);
        grid.additem(false, "a", {});
    }
    list.UserClickAt(10, list.RowTop(0) + 10);
    box.SetVisible(true);
    box.UserType("x");
    EXPECT_EQ(box.Text(), "x");
    EXPECT_EQ(list.CellText(0, 1), "a");
}

TEST(LeadingNumber, TakesTheNumberATextStartsWith) {
    struct Case {
        const char* text;
        double value;
    };
    const Case cases[] = {
        {"12abc", 12.0}, {"abc", 0.0}, {"", 0.0},       {"  7", 7.0},  {"-2.5", -2.5},
        {"+4", 4.0},     {".5x", 0.5}, {"1e3", 1000.0}, {"12e", 12.0}, {"1.2.3", 1.2},
        {"-", 0.0},      {"- 3", 0.0}, {"1e999", 0.0},  {"3,5", 3.0},  {"0x1A", 0.0},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(LeadingNumber(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST(NumberText, ShortestTextThatReadsBack) {
    EXPECT_EQ(NumberText(12.0), "12");
    EXPECT_EQ(NumberText(-0.0), "0");
    EXPECT_EQ(NumberText(0.1), "0.1");
    EXPECT_EQ(NumberText(1.0 / 3.0), "0.3333333333333333");
    EXPECT_EQ(NumberText(-350.0), "-350");
    EXPECT_EQ(NumberText(1200000.0), "1200000");
    EXPECT_EQ(NumberText(0.00012), "0.00012");
    EXPECT_EQ(NumberText(1e20), "1e+20");
}

TEST(FormatWithPattern, NumberPatterns) {
    struct Case {
        const char* text;
        const char* pattern;
        const char* result;
    };
    const Case cases[] = {
        {"3.14159", "0.00", "3.14"}, {"3", "0.00", "3.00"},
        {"0.5", "#.##", ".5"},       {"-0.001", "0.00", "0.00"},
        {"-12.6", "0", "-13"},       {"1234", "#,##0", "1,234"},
        {"7", "000", "007"},         {"abc", "0.00", "abc"},
        {"12", "Currency", "12"},    {"12", "", "12"},
        {"1.5", "0.0.0", "1.5"},     {"999.996", "0.00", "1000.00"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatWithPattern(c.text, c.pattern), c.result)
            << c.text << " with " << c.pattern;
    }
}

} // namespace
} // namespace scribeline
