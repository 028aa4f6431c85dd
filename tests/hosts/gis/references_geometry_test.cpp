// Spatial references over PROJ and the geometry engine's operations.
#include "hosts/gis/geometry_convert.hpp"
#include "hosts/gis/geometry_engine.hpp"
#include "hosts/gis/spatial_reference.hpp"
#include "hosts/gis/workspace.hpp"
#include "tests/hosts/gis/test_support.hpp"

#include <gtest/gtest.h>

#include <ogr_geometry.h>

#include <cmath>

namespace scribeline::gis {
namespace {

Geometry ring(GeometryType type, std::vector<MapPoint> points) {
    Geometry g = Geometry::empty(type);
    g.parts = {std::move(points)};
    return g;
}

TEST(SpatialReferenceTest, NamesCodesAndEquality) {
    SpatialReferenceFactory factory;
    auto wgs84 = factory.CreateGeographicCoordinateSystem(4326);
    EXPECT_EQ(wgs84->Name(), "GCS_WGS_1984");
    EXPECT_EQ(wgs84->FactoryCode(), 4326);
    auto mercator = factory.CreateProjectedCoordinateSystem(3857);
    EXPECT_EQ(mercator->Name(), "WGS_1984_Web_Mercator_Auxiliary_Sphere");
    EXPECT_EQ(mercator->FactoryCode(), 3857);
    auto unknown = factory.CreateUnknownCoordinateSystem();
    EXPECT_EQ(unknown->Name(), "Unknown");
    EXPECT_EQ(unknown->FactoryCode(), 0);

    EXPECT_TRUE(wgs84->IsEqual(*factory.CreateGeographicCoordinateSystem(4326)));
    EXPECT_FALSE(wgs84->IsEqual(*mercator));
    EXPECT_FALSE(wgs84->IsEqual(*unknown));
    EXPECT_TRUE(unknown->IsEqual(*factory.CreateUnknownCoordinateSystem()));
    // The same system read back from ESRI WKT (a .prj file) is still equal and keeps its code.
    auto fromPrj = SpatialReference::FromUserInput(SpatialReference::FromEpsg(4326)->EsriWkt());
    EXPECT_TRUE(fromPrj->IsEqual(*wgs84));
    EXPECT_EQ(fromPrj->FactoryCode(), 4326);

    EXPECT_THROW(factory.CreateGeographicCoordinateSystem(3857), PortError);
    EXPECT_THROW(factory.CreateProjectedCoordinateSystem(4326), PortError);
    EXPECT_THROW(factory.CreateGeographicCoordinateSystem(999999), PortError);
    EXPECT_THROW(factory.CreateGeographicCoordinateSystem(-1), PortError);
    EXPECT_THROW(SpatialReference::FromUserInput("not a reference"), PortError);

    EXPECT_THROW(wgs84->SetFalseOriginAndUnits(-180, -90, 0), PortError);
    EXPECT_THROW(wgs84->SetFalseOriginAndUnits(NAN, -90, 1), PortError);
    wgs84->SetFalseOriginAndUnits(-180, -90, 1000000);
    const auto domain = SpatialReference::From(*wgs84)->Domain();
    ASSERT_TRUE(domain);
    EXPECT_EQ(domain->xyUnits, 1000000);
}

TEST(SpatialReferenceTest, UnitCodes) {
    EXPECT_EQ(SpatialReference::FromEpsg(4326)->UnitCode(), 11);
    EXPECT_EQ(SpatialReference::FromEpsg(3857)->UnitCode(), 9);
    EXPECT_EQ(SpatialReference::FromEpsg(2263)->UnitCode(), 3); // US survey feet
    EXPECT_EQ(SpatialReference().UnitCode(), 0);
    EXPECT_EQ(SpatialReference::FromEpsg(32633)->Definition(), "EPSG:32633");
}

TEST(GeometryEngineTest, ProjectsLongitudeLatitudeOrder) {
    GeometryEngine engine;
    Geometry p = Geometry::point(1113194.9079327357, 0.0);
    p.spatialReference = SpatialReference::FromEpsg(3857);
    auto wgs84 = SpatialReference::FromEpsg(4326);
    const Geometry q = engine.Project(p, *wgs84);
    EXPECT_NEAR(q.Point(0).x, 10.0, 1e-9); // longitude first
    EXPECT_NEAR(q.Point(0).y, 0.0, 1e-9);
    EXPECT_EQ(q.spatialReference.get(), wgs84.get());
    Geometry north = Geometry::point(0.0, 10.0);
    north.spatialReference = wgs84;
    const Geometry m = engine.Project(north, *SpatialReference::FromEpsg(3857));
    EXPECT_NEAR(m.Point(0).x, 0.0, 1e-6);
    EXPECT_NEAR(m.Point(0).y, 1118889.9748579594, 1e-6);
    // z is carried through for z-aware geometries.
    Geometry z = Geometry::point(8.5, 47.0, 500.0);
    z.zAware = true;
    z.spatialReference = wgs84;
    EXPECT_NEAR(engine.Project(z, *SpatialReference::FromEpsg(3857)).Point(0).z, 500.0, 1e-6);

    Geometry none = Geometry::point(1, 2);
    EXPECT_THROW(engine.Project(none, *wgs84), PortError);
    none.spatialReference = std::make_shared<SpatialReference>();
    EXPECT_THROW(engine.Project(none, *wgs84), PortError);
    Geometry outside = Geometry::point(0, 95.0); // beyond the pole
    outside.spatialReference = wgs84;
    EXPECT_THROW(engine.Project(outside, *SpatialReference::FromEpsg(3857)), PortError);
}

TEST(GeometryEngineTest, LayerIn3857ReadAndProjectedTo4326) {
    testing::TempFolder folder;
    WorkspaceRegistry registry;
    auto ws = registry.ShapefileFolder(folder.path());
    Fields fields;
    Field shape{"Shape", FieldType::Geometry};
    shape.geometryDef =
        GeometryDef{GeometryType::Polyline, false, SpatialReference::FromEpsg(3857)};
    fields.AddField(shape);
    auto fc = ws->CreateFeatureClass("mercator", fields, "Shape", "");
    auto f = fc->CreateFeature();
    f->SetShape(ring(GeometryType::Polyline, {{0, 0}, {1113194.9079327357, 1118889.9748579594}}));
    f->Store();
    // A shape given in longitude and latitude is projected into the class on store.
    auto g = fc->CreateFeature();
    Geometry lonlat = ring(GeometryType::Polyline, {{0, 0}, {-10, -10}});
    lonlat.spatialReference = SpatialReference::FromEpsg(4326);
    g->SetShape(lonlat);
    g->Store();

    WorkspaceRegistry fresh;
    auto again = fresh.ShapefileFolder(folder.path())->OpenFeatureClass("mercator");
    EXPECT_EQ(again->SpatialReference()->FactoryCode(), 3857);
    auto cursor = again->Search(nullptr, false);
    GeometryEngine engine;
    auto wgs84 = SpatialReference::FromEpsg(4326);
    const Geometry first = engine.Project(cursor->NextFeature()->Shape(), *wgs84);
    EXPECT_NEAR(first.Point(1).x, 10.0, 1e-9);
    EXPECT_NEAR(first.Point(1).y, 10.0, 1e-9);
    const Geometry stored = cursor->NextFeature()->Shape();
    EXPECT_NEAR(stored.Point(1).x, -1113194.9079327357, 1e-6);
    EXPECT_NEAR(engine.Project(stored, *wgs84).Point(1).y, -10.0, 1e-9);
    EXPECT_EQ(cursor->NextFeature(), nullptr);
}

TEST(GeometryEngineTest, MeasuresOfAUnitSquareAndOpenShapes) {
    GeometryEngine engine;
    // Digitized counter-clockwise and not closed, as a feature under construction is.
    const Geometry square = ring(GeometryType::Polygon, {{0, 0}, {1, 0}, {1, 1}, {0, 1}});
    EXPECT_DOUBLE_EQ(engine.Length(square), 4.0);
    EXPECT_DOUBLE_EQ(engine.Area(square), -1.0);
    const Geometry clockwise =
        ring(GeometryType::Polygon, {{0, 0}, {0, 1}, {1, 1}, {1, 0}, {0, 0}});
    EXPECT_DOUBLE_EQ(engine.Area(clockwise), 1.0);
    const Geometry line = ring(GeometryType::Polyline, {{0, 0}, {3, 4}, {3, 5}});
    EXPECT_DOUBLE_EQ(engine.Length(line), 6.0);
    EXPECT_THROW(engine.Length(Geometry::point(1, 1)), PortError);
    EXPECT_THROW(engine.Area(line), PortError);
    EXPECT_DOUBLE_EQ(engine.Area(Geometry::empty(GeometryType::Polygon)), 0.0);
    EXPECT_DOUBLE_EQ(engine.Length(Geometry::empty(GeometryType::Polyline)), 0.0);

    const auto segments = engine.Segments(line.parts[0]);
    ASSERT_EQ(segments.size(), 2U);
    EXPECT_EQ(segments[1].FromPoint, (MapPoint{3, 4, 0}));
    EXPECT_EQ(segments[1].ToPoint, (MapPoint{3, 5, 0}));
    EXPECT_TRUE(engine.Segments({{1, 1}}).empty());
}

TEST(GeometryEngineTest, RingsOfPolygonsWithHolesAndSeveralExteriors) {
    GeometryEngine engine;
    Geometry g = Geometry::empty(GeometryType::Polygon);
    // Rings in any order and orientation: containment decides which is a hole.
    g.parts = {{{20, 0}, {30, 0}, {30, 10}, {20, 10}},
               {{2, 2}, {4, 2}, {4, 4}, {2, 4}},
               {{0, 0}, {0, 10}, {10, 10}, {10, 0}},
               {{6, 6}, {8, 6}, {8, 8}, {6, 8}}};
    const auto exteriors = engine.ExteriorRings(g);
    ASSERT_EQ(exteriors.size(), 2U);
    std::size_t withHoles = 0;
    for (int i = 0; i < 2; ++i) {
        EXPECT_GT(SignedRingArea(exteriors[static_cast<std::size_t>(i)]), 0.0);
        EXPECT_EQ(exteriors[static_cast<std::size_t>(i)].front(),
                  exteriors[static_cast<std::size_t>(i)].back());
        const auto holes = engine.InteriorRings(g, i);
        for (const auto& h : holes) {
            EXPECT_LT(SignedRingArea(h), 0.0);
        }
        withHoles += holes.size();
    }
    EXPECT_EQ(withHoles, 2U);
    EXPECT_THROW(engine.InteriorRings(g, 2), PortError);
    EXPECT_THROW(engine.InteriorRings(g, -1), PortError);
    EXPECT_THROW(engine.ExteriorRings(ring(GeometryType::Polyline, {{0, 0}, {1, 1}})), PortError);
    EXPECT_TRUE(engine.ExteriorRings(Geometry::empty(GeometryType::Polygon)).empty());

    // An exterior ring A B C D A given clockwise keeps its order and its start.
    const Geometry cw = ring(GeometryType::Polygon, {{0, 0}, {0, 1}, {1, 1}, {1, 0}, {0, 0}});
    EXPECT_EQ(engine.ExteriorRings(cw)[0], cw.parts[0]);
}

TEST(GeometryEngineTest, SimplifyRepairsPolygonsWithGeos) {
    ASSERT_TRUE(OGRGeometryFactory::haveGEOS());
    GeometryEngine engine;
    // A bow tie: two triangles after repair, each clockwise.
    const Geometry bowTie = ring(GeometryType::Polygon, {{0, 0}, {2, 2}, {2, 0}, {0, 2}, {0, 0}});
    const Geometry fixed = engine.Simplify(bowTie);
    EXPECT_EQ(fixed.type, GeometryType::Polygon);
    ASSERT_EQ(fixed.PartCount(), 2);
    for (const auto& part : fixed.parts) {
        EXPECT_GT(SignedRingArea(part), 0.0);
    }
    EXPECT_DOUBLE_EQ(engine.Area(fixed), 2.0);
    const Geometry ccw = ring(GeometryType::Polygon, {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}});
    EXPECT_DOUBLE_EQ(engine.Area(engine.Simplify(ccw)), 1.0);
    Geometry repeated = ring(GeometryType::Polyline, {{0, 0}, {0, 0}, {1, 1}, {1, 1}});
    repeated.parts.push_back({{5, 5}, {5, 5}});
    const Geometry cleaned = engine.Simplify(repeated);
    ASSERT_EQ(cleaned.PartCount(), 1);
    EXPECT_EQ(cleaned.PointCount(), 2);
    const Geometry p = Geometry::point(1, 2);
    EXPECT_EQ(engine.Simplify(p).Point(0), p.Point(0));
}

} // namespace
} // namespace scribeline::gis
