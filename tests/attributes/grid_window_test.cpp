// The property grid inside the digitizer window: its rows from the target layer's fields, the
// define button with its dialog and hover pictures, as a user drives them.
#include "attributes/attribute_grid.hpp"
#include "tests/command/window_fixture.hpp"
#include "tests/support/files.hpp"

#include <gtest/gtest.h>

namespace scribeline::testing {
namespace {

class GridWindowTest : public WindowTest {
protected:
    void SetUp() override {
        Subsystems subsystems = RecordingSubsystems(journal);
        subsystems.attributeGrid = MakeAttributeGrid;
        Open(subsystems);
    }
    clsPropertyGrid& grid() { return dynamic_cast<clsPropertyGrid&>(w().Grid()); }
    controls::ListView& list() { return w().ctl.listviewProperty; }

    static Fields layerFields() {
        Fields fields;
        fields.AddField(Field{"FID", FieldType::OID});
        fields.AddField(Field{"Shape", FieldType::Geometry});
        fields.AddField(Field{"_Name", FieldType::String, 20});
        fields.AddField(Field{"Lanes", FieldType::SmallInteger, 4});
        fields.AddField(Field{"Length", FieldType::Double, 16});
        fields.AddField(Field{"Built", FieldType::Date, 10});
        return fields;
    }
};

TEST(FieldTypeName, TheTenEntryTable) {
    // One line per code, the codes just outside the table included.
    std::string dump;
    for (int code = -1; code <= 10; ++code) {
        dump += std::to_string(code) + ": " + FieldTypeName(code) + "\n";
    }
    ExpectGolden(dump, "attributes/field_type_names.txt");
}

TEST(GridValue, EmptyIsNullNumbersLeadTextStays) {
    struct Case {
        FieldType type;
        const char* text;
        FieldValue value;
    };
    const Case cases[] = {
        {FieldType::SmallInteger, "", std::monostate{}},
        {FieldType::Integer, "12abc", std::int64_t{12}},
        {FieldType::Integer, "abc", std::int64_t{0}},
        {FieldType::SmallInteger, "7.6 m", std::int64_t{8}},
        {FieldType::Integer, "-2.5", std::int64_t{-3}},
        {FieldType::Integer, "1e30", std::int64_t{9200000000000000000}},
        {FieldType::Single, "2.5kg", 2.5},
        {FieldType::Double, "x", 0.0},
        {FieldType::Double, "", std::monostate{}},
        {FieldType::String, "12abc", std::string("12abc")},
        {FieldType::String, " ", std::string(" ")},
        {FieldType::Date, "2024-05-06", std::string("2024-05-06")},
        {FieldType::Geometry, "x", std::monostate{}},
        {FieldType::OID, "1", std::monostate{}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GridValue(c.type, c.text), c.value) << c.text;
    }
}

TEST_F(GridWindowTest, DefListViewHeadAddsTheThreeColumnsOnce) {
    w().DefListViewHead();
    w().DefListViewHead();
    ASSERT_EQ(list().ColumnCount(), 3);
    const char* keys[] = {"Pcode", "Pdesc", "Pqty"};
    const char* captions[] = {"Name", "Type", "Value"};
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(list().Header(i).key, keys[i - 1]);
        EXPECT_EQ(list().Header(i).caption, captions[i - 1]);
    }
    EXPECT_EQ(list().Header(1).width, 900);
    EXPECT_EQ(list().Header(3).width, 1560);
    // The Type column takes what the list leaves over.
    EXPECT_EQ(list().Header(2).width, list().Width() - 900 - 1560 - 330);
    const auto& columns = grid().ListView().Columns();
    EXPECT_FALSE(columns[0]->edit);
    EXPECT_FALSE(columns[1]->edit);
    EXPECT_TRUE(columns[1]->grow);
    EXPECT_TRUE(columns[2]->edit);
    EXPECT_FALSE(w().ctl.txtQty.Visible());
}

TEST_F(GridWindowTest, RowsAreTheAttributeFieldsWithEmptyValues) {
    grid().FillFromFields(layerFields());
    ASSERT_EQ(list().ItemCount(), 4);
    const char* rows[][2] = {
        {"_Name", "String"}, {"Lanes", "Integer"}, {"Length", "Double"}, {"Built", "Date"}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(list().CellText(i, 1), rows[i][0]);
        EXPECT_EQ(list().CellText(i, 2), rows[i][1]);
        EXPECT_EQ(list().CellText(i, 3), "");
        EXPECT_FALSE(list().Item(i).tag);
    }
    // A refill replaces the rows.
    Fields two;
    two.AddField(Field{"FID", FieldType::OID});
    two.AddField(Field{"Shape", FieldType::Geometry});
    grid().FillFromFields(two);
    EXPECT_EQ(list().ItemCount(), 0);
}

TEST_F(GridWindowTest, AReloadedWindowStartsWithAFreshGrid) {
    grid().FillFromFields(layerFields());
    list().UserClickCell(0, 3);
    w().ctl.txtQty.UserType("left over");
    ASSERT_TRUE(w().Unload());
    w().Load();
    EXPECT_EQ(list().ColumnCount(), 3);
    EXPECT_EQ(list().ItemCount(), 0);
    EXPECT_FALSE(w().ctl.txtQty.Visible());
    EXPECT_FALSE(grid().ListView().EditOpen());
    EXPECT_TRUE(grid().UserDefinedFields().empty());
}

TEST_F(GridWindowTest, ClicksOnTheWindowsGridEditOnlyValues) {
    grid().FillFromFields(layerFields());
    auto& box = w().ctl.txtQty;
    list().UserClickCell(1, 1);
    EXPECT_FALSE(box.Visible());
    list().UserClickCell(9, 3); // no such row
    EXPECT_FALSE(box.Visible());
    list().UserClickCell(1, 3);
    ASSERT_TRUE(box.Visible());
    EXPECT_EQ(w().Focused(), &box);
    box.UserType("3 lanes");
    // The focus moving to another control commits the edit.
    w().ctl.txtRecordPPS.SetFocus();
    EXPECT_FALSE(box.Visible());
    EXPECT_EQ(list().CellText(1, 3), "3 lanes");
}

TEST_F(GridWindowTest, TheDefineButtonOpensTheDialogAndOkHandsTheFieldsOver) {
    EXPECT_TRUE(grid().UserDefinedFields().empty());
    w().ctl.imgDefProperty.UserClick();
    frmDefProperty* dialog = grid().Dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->Visible());
    EXPECT_TRUE(dialog->Modal());
    EXPECT_NE(std::find(process.loadedForms.begin(), process.loadedForms.end(), dialog),
              process.loadedForms.end());
    dialog->ctl.txtFieldName.UserType("ROAD");
    dialog->ctl.cboFieldType.UserChoose(4);
    dialog->ctl.cmdAdd.UserClick();
    dialog->ctl.Command1.UserClick();
    ASSERT_EQ(grid().UserDefinedFields().size(), 1u);
    EXPECT_EQ(grid().UserDefinedFields()[0].name, "ROAD");
    EXPECT_EQ(grid().UserDefinedFields()[0].typeIndex, 4);
    EXPECT_EQ(grid().UserDefinedFields()[0].lengthText, "50");

    // Reopened, the list is still there; Cancel leaves the window without fields.
    w().ctl.imgDefProperty.UserClick();
    EXPECT_EQ(grid().Dialog(), dialog);
    EXPECT_EQ(dialog->ctl.List1.ListCount(), 1);
    dialog->ctl.Command2.UserClick();
    EXPECT_TRUE(grid().UserDefinedFields().empty());
    EXPECT_TRUE(boxes().empty());
}

TEST_F(GridWindowTest, HoverPicturesOfTheDefineButton) {
    auto& image = w().ctl.imgDefProperty;
    EXPECT_EQ(image.PictureKey(), "defproperty1");
    w().ApplyLayout("more_options"); // the property panel is in the wide layout
    w().Show(false);
    auto moveTo = [&](const controls::Control& control) {
        const int tx = desk.TwipsPerPixelX();
        const int ty = desk.TwipsPerPixelY();
        const Point client{(control.Left() + control.Width() / 2) / tx,
                           (control.Top() + control.Height() / 2) / ty};
        const auto screen = desk.ClientToScreen(w().hWnd(), client);
        ASSERT_TRUE(screen.has_value());
        desk.InjectMouse(MouseMessage::Move, *screen);
        desk.DoEvents();
    };
    struct Step {
        const controls::Control* over;
        const char* picture;
    };
    const Step steps[] = {{&image, "defproperty2"},
                          {&w().ctl.frameGeometryType, "defproperty1"},
                          {&image, "defproperty2"},
                          {&w().ctl.frameLayer, "defproperty1"}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.over->Name());
        moveTo(*s.over);
        EXPECT_EQ(image.PictureKey(), s.picture);
    }
}

} // namespace
} // namespace scribeline::testing
