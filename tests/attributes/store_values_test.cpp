// Values typed into the window's grid land in a real shapefile of the map host, read back
// through OGR: every field type, empty values as null, numbers taken from the text's start.
#include "attributes/attribute_grid.hpp"
#include "command/frmGE2Arc.hpp"
#include "hosts/gis/gis_host.hpp"
#include "hosts/gis/headless.hpp"
#include "tests/doubles/fake_globe.hpp"
#include "tests/doubles/recording_subsystems.hpp"
#include "tests/hosts/gis/test_support.hpp"

#include <gtest/gtest.h>
#include <ogrsf_frmts.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace scribeline::testing {
namespace {

using gis::testing::TempFolder;

// What the table holds in one field after the store: nothing (null), an integer, a real, a text.
using Expected = std::variant<std::monostate, std::int64_t, double, std::string>;

class StoreValuesTest : public ::testing::Test {
protected:
    TempFolder folder;
    desktop::HeadlessDesktop desk{desktop::DesktopOptions{}};
    FakeGlobeClient globe{desk};
    FakeGlobeConnector connector{globe};
    gis::GisHost host{desk, gis::HeadlessOptions(desk)};
    ProcessState process;
    SubsystemJournal journal;
    std::unique_ptr<frmGE2Arc> window;
    std::shared_ptr<IFeatureClass> featureClass;

    static constexpr const char* kNames[] = {"Short", "Long", "Float", "Dbl", "Text", "Built"};

    void SetUp() override {
        Subsystems subsystems = RecordingSubsystems(journal);
        subsystems.attributeGrid = MakeAttributeGrid;
        window = std::make_unique<frmGE2Arc>(Environment{desk, connector}, process, subsystems);
        window->Load();

        Fields fields;
        Field shape{"Shape", FieldType::Geometry};
        shape.geometryDef = GeometryDef{GeometryType::Point, false, nullptr};
        fields.AddField(shape);
        fields.AddField(Field{kNames[0], FieldType::SmallInteger, 5});
        fields.AddField(Field{kNames[1], FieldType::Integer, 10});
        fields.AddField(Field{kNames[2], FieldType::Single, 12, 12, 4});
        fields.AddField(Field{kNames[3], FieldType::Double, 19, 19, 6});
        fields.AddField(Field{kNames[4], FieldType::String, 30});
        fields.AddField(Field{kNames[5], FieldType::Date, 10});
        auto workspace = host.Workspaces().ShapefileFolder(folder.path());
        featureClass = workspace->CreateFeatureClass("grid", fields, "Shape", "");
        window->Grid().FillFromFields(featureClass->GetFields());
    }

    // Types one value into each Value cell the way a user does, then stores a feature.
    void storeFeature(const std::vector<std::string>& typed) {
        auto& list = window->ctl.listviewProperty;
        auto& box = window->ctl.txtQty;
        for (int row = 0; row < static_cast<int>(typed.size()); ++row) {
            list.UserClickCell(row, 3);
            ASSERT_TRUE(box.Visible());
            box.UserType(typed[static_cast<std::size_t>(row)]);
            if (typed[static_cast<std::size_t>(row)].empty()) {
                box.UserKey(vk::Back); // empties the selected earlier value
            }
            box.UserKey(vk::Return);
        }
        auto feature = featureClass->CreateFeature();
        feature->SetShape(Geometry::point(10.0, -20.0));
        window->Grid().StoreValues(*feature);
        feature->Store();
    }

    // Every feature's fields as OGR reads the shapefile.
    std::vector<std::vector<Expected>> readBack() {
        GDALAllRegister();
        const std::string path = (folder / "grid.shp").string();
        std::unique_ptr<GDALDataset> dataset(
            GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
        EXPECT_NE(dataset, nullptr);
        std::vector<std::vector<Expected>> rows;
        if (!dataset) {
            return rows;
        }
        OGRLayer* layer = dataset->GetLayer(0);
        layer->ResetReading();
        while (OGRFeature* raw = layer->GetNextFeature()) {
            std::unique_ptr<OGRFeature> feature(raw);
            std::vector<Expected> row;
            for (int i = 0; i < feature->GetFieldCount(); ++i) {
                if (!feature->IsFieldSetAndNotNull(i)) {
                    row.emplace_back(std::monostate{});
                    continue;
                }
                switch (feature->GetFieldDefnRef(i)->GetType()) {
                case OFTInteger:
                case OFTInteger64:
                    row.emplace_back(static_cast<std::int64_t>(feature->GetFieldAsInteger64(i)));
                    break;
                case OFTReal:
                    row.emplace_back(feature->GetFieldAsDouble(i));
                    break;
                default:
                    row.emplace_back(std::string(feature->GetFieldAsString(i)));
                    break;
                }
            }
            rows.push_back(std::move(row));
        }
        return rows;
    }
};

TEST_F(StoreValuesTest, EveryFieldTypeFromTheGrid) {
    struct Case {
        const char* what;
        std::vector<std::string> typed;
        std::vector<Expected> stored;
    };
    const std::vector<Case> cases = {
        {"all empty",
         {"", "", "", "", "", ""},
         {std::monostate{}, std::monostate{}, std::monostate{}, std::monostate{}, std::monostate{},
          std::monostate{}}},
        {"leading numbers and text as given",
         {"12abc", "abc", "2.5kg", "-1e3 m", "Main road 1", "2024-05-06"},
         {std::int64_t{12}, std::int64_t{0}, 2.5, -1000.0, std::string("Main road 1"),
          std::string("2024/05/06")}},
        {"rounding into integers, numbers in a text field",
         {"7.6", "-41.5", "abc", "0.125", "12abc", ""},
         {std::int64_t{8}, std::int64_t{-42}, 0.0, 0.125, std::string("12abc"), std::monostate{}}},
    };
    ASSERT_EQ(window->ctl.listviewProperty.ItemCount(), 6);
    for (const Case& c : cases) {
        storeFeature(c.typed);
    }
    const auto rows = readBack();
    ASSERT_EQ(rows.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        ASSERT_EQ(rows[i].size(), cases[i].stored.size());
        for (std::size_t k = 0; k < rows[i].size(); ++k) {
            SCOPED_TRACE(kNames[k]);
            if (std::holds_alternative<double>(cases[i].stored[k])) {
                ASSERT_TRUE(std::holds_alternative<double>(rows[i][k]));
                // Single fields keep about 7 significant digits.
                EXPECT_NEAR(std::get<double>(rows[i][k]), std::get<double>(cases[i].stored[k]),
                            1e-6);
            } else {
                EXPECT_EQ(rows[i][k], cases[i].stored[k]);
            }
        }
    }
}

TEST_F(StoreValuesTest, AnEditStillOpenIsStoredAsTyped) {
    auto& list = window->ctl.listviewProperty;
    list.UserClickCell(4, 3);
    window->ctl.txtQty.UserType("pending");
    auto feature = featureClass->CreateFeature();
    feature->SetShape(Geometry::point(1.0, 1.0));
    window->Grid().StoreValues(*feature);
    EXPECT_EQ(feature->Value(6), FieldValue(std::string("pending")));
    EXPECT_FALSE(window->ctl.txtQty.Visible());
}

} // namespace
} // namespace scribeline::testing
