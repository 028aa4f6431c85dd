#include "hosts/globe/geodesy.hpp"
#include "hosts/globe/raster_dem.hpp"
#include "platform/numbers.hpp"

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include "tests/hosts/globe/synthetic_terrain.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <random>

namespace scribeline::globe {
namespace {

namespace fs = std::filesystem;

class DemTest : public ::testing::Test {
protected:
    void SetUp() override {
        GDALAllRegister();
        std::random_device rd;
        dir_ = fs::temp_directory_path() / ("globe-dem-" + std::to_string(rd()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A GeoTIFF of `columns` x `rows` Float32 cells with values from `value(column, row)`.
    template <typename F>
    fs::path Tiff(const std::string& name, int epsg, std::array<double, 6> gt, int columns,
                  int rows, F value, std::optional<double> noData = std::nullopt) {
        const fs::path path = dir_ / name;
        GDALDriver* drv = GetGDALDriverManager()->GetDriverByName("GTiff");
        GDALDataset* ds = drv->Create(path.c_str(), columns, rows, 1, GDT_Float32, nullptr);
        ds->SetGeoTransform(gt.data());
        if (epsg != 0) {
            OGRSpatialReference srs;
            srs.importFromEPSG(epsg);
            ds->SetSpatialRef(&srs);
        }
        std::vector<float> cells(static_cast<std::size_t>(columns * rows));
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                cells[static_cast<std::size_t>(r * columns + c)] = static_cast<float>(value(c, r));
            }
        }
        GDALRasterBand* band = ds->GetRasterBand(1);
        if (noData) {
            band->SetNoDataValue(*noData);
        }
        EXPECT_EQ(band->RasterIO(GF_Write, 0, 0, columns, rows, cells.data(), columns, rows,
                                 GDT_Float32, 0, 0, nullptr),
                  CE_None);
        GDALClose(ds);
        return path;
    }

    // The peer tool's value at a WGS 84 position (nearest cell).
    static double LocationInfo(const fs::path& file, double lon, double lat) {
        const std::string cmd = std::string(GDALLOCATIONINFO) + " -valonly -wgs84 " +
                                file.string() + " " + FormatFixed(lon, 6) + " " +
                                FormatFixed(lat, 6) + " 2>/dev/null";
        FILE* p = popen(cmd.c_str(), "r");
        char buf[128] = {};
        const bool read = p != nullptr && std::fgets(buf, sizeof buf, p) != nullptr;
        if (p != nullptr) {
            pclose(p);
        }
        EXPECT_TRUE(read) << cmd;
        return LeadingNumber(buf);
    }

    fs::path dir_;
};

// 20 x 10 cells of 0.01 degrees from 10 E, 47.1 N; value 100 + 10 column + row.
constexpr std::array<double, 6> kGeo = {10.0, 0.01, 0.0, 47.1, 0.0, -0.01};
double Ramp(int c, int r) {
    return 100.0 + 10.0 * c + r;
}
double CentreLon(int c) {
    return 10.0 + (c + 0.5) * 0.01;
}
double CentreLat(int r) {
    return 47.1 - (r + 0.5) * 0.01;
}

TEST_F(DemTest, GeographicTiffGivesItsHeightsLikeThePeerTool) {
    const fs::path file = Tiff("geo.tif", 4326, kGeo, 20, 10, Ramp);
    DemOptions options;
    options.fallback = testing::BuiltInTerrain();
    const auto dem = RasterDem::Load(file, options);
    EXPECT_EQ(dem->Columns(), 20);
    EXPECT_EQ(dem->Rows(), 10);
    EXPECT_NEAR(dem->West(), 10.0, 1e-12);
    EXPECT_NEAR(dem->South(), 47.0, 1e-12);
    for (const auto& [c, r] : {std::pair{0, 0}, {5, 3}, {19, 9}, {12, 7}}) {
        const double expected = LocationInfo(file, CentreLon(c), CentreLat(r));
        EXPECT_DOUBLE_EQ(expected, Ramp(c, r));
        EXPECT_NEAR(dem->Elevation(CentreLat(r), CentreLon(c)), expected, 1e-6);
    }
    // Bilinear between posts: a ramp is reproduced exactly (tolerance: float cells).
    EXPECT_NEAR(dem->Elevation(47.1 - 0.0325, 10.0 + 0.0575), 100.0 + 10.0 * 5.25 + 2.75, 1e-4);
    // The outer half cell repeats the edge posts.
    EXPECT_NEAR(dem->Elevation(47.0999, 10.0001), Ramp(0, 0), 1e-6);
    EXPECT_DOUBLE_EQ(dem->MaxElevation(), testing::BuiltInTerrain()->MaxElevation());
}

TEST_F(DemTest, NoDataAndOutsideFallBack) {
    const fs::path file = Tiff(
        "holes.tif", 4326, kGeo, 20, 10,
        [](int c, int r) { return (c == 4 && r == 4) || c >= 15 ? -9999.0 : Ramp(c, r); }, -9999.0);
    DemOptions options;
    options.fallback = testing::BuiltInTerrain();
    const auto dem = RasterDem::Load(file, options);
    // Half way between the hole and its east neighbour: the neighbour's weight alone.
    EXPECT_NEAR(dem->Elevation(CentreLat(4), 10.0 + 0.05), Ramp(5, 4), 1e-4);
    // On the hole's own centre: its neighbours with data, not the fallback.
    const double onHole = dem->Elevation(CentreLat(4), CentreLon(4));
    EXPECT_GE(onHole, Ramp(3, 3));
    EXPECT_LE(onHole, Ramp(5, 5));
    // Where none of the four posts around holds data: the fallback.
    EXPECT_DOUBLE_EQ(dem->Elevation(CentreLat(2), CentreLon(17)),
                     testing::BuiltInTerrain()->Elevation(CentreLat(2), CentreLon(17)));
    EXPECT_DOUBLE_EQ(dem->Elevation(46.0, 10.1), testing::BuiltInTerrain()->Elevation(46.0, 10.1));
    EXPECT_FALSE(dem->Covers(46.0, 10.1));
    EXPECT_TRUE(dem->Covers(47.05, 10.1));

    DemOptions bare;
    bare.fallback = nullptr;
    const auto flat = RasterDem::Load(file, bare);
    EXPECT_EQ(flat->Elevation(46.0, 10.1), 0.0);
    EXPECT_EQ(flat->Elevation(CentreLat(2), CentreLon(17)), 0.0);
    EXPECT_NEAR(flat->MaxElevation(), Ramp(14, 9), 1e-4);
    EXPECT_EQ(flat->MinElevation(), 0.0);
}

TEST_F(DemTest, ProjectedTiffIsReprojectedOnLoad) {
    // UTM zone 32: 1 km cells, value rising 1 m per 100 m east and 2 m per 100 m north.
    const double x0 = 600000.0;
    const double y0 = 5300000.0;
    const std::array<double, 6> gt = {x0, 1000.0, 0.0, y0, 0.0, -1000.0};
    const fs::path file = Tiff("utm.tif", 32632, gt, 30, 30, [](int c, int r) {
        return 500.0 + 10.0 * (c + 0.5) + 20.0 * (30 - r - 0.5);
    });
    DemOptions options;
    options.fallback = testing::BuiltInTerrain();
    const auto dem = RasterDem::Load(file, options);
    OGRSpatialReference utm;
    utm.importFromEPSG(32632);
    OGRSpatialReference wgs;
    wgs.importFromEPSG(4326);
    wgs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    std::unique_ptr<OGRCoordinateTransformation> ct(OGRCreateCoordinateTransformation(&utm, &wgs));
    for (const auto& [c, r] : {std::pair{10, 10}, {15, 20}, {5, 25}}) {
        double x = x0 + (c + 0.5) * 1000.0;
        double y = y0 - (r + 0.5) * 1000.0;
        ASSERT_TRUE(ct->Transform(1, &x, &y));
        const double peer = LocationInfo(file, x, y);
        EXPECT_DOUBLE_EQ(peer, 500.0 + 10.0 * (c + 0.5) + 20.0 * (30 - r - 0.5));
        // Two bilinear steps over a plane in UTM: within 5 cm.
        EXPECT_NEAR(dem->Elevation(y, x), peer, 0.05) << c << " " << r;
    }
    // The corners of the reprojected box lie outside the turned UTM square: no data there,
    // so the fallback shows, not a made-up 0.
    const double lat = dem->North() - 0.0005;
    const double lon = dem->West() + 0.0005;
    EXPECT_DOUBLE_EQ(dem->Elevation(lat, lon), testing::BuiltInTerrain()->Elevation(lat, lon));
}

TEST_F(DemTest, AsciiGridWithoutReferenceSystemReadsAsDegrees) {
    const fs::path file = dir_ / "grid.asc";
    std::ofstream(file) << "ncols 3\nnrows 2\nxllcorner 170\nyllcorner -10\ncellsize 5\n"
                           "NODATA_value -1\n1 2 3\n4 -1 6\n";
    const auto dem = RasterDem::Load(file);
    EXPECT_NEAR(dem->Elevation(-2.5, 172.5), 1.0, 1e-6);
    EXPECT_NEAR(dem->Elevation(-7.5, 182.5), 6.0, 1e-6);  // east of 180 as written
    EXPECT_NEAR(dem->Elevation(-7.5, -177.5), 6.0, 1e-6); // the same place
    EXPECT_EQ(dem->Description(), "grid.asc");
}

TEST_F(DemTest, WholeGlobeRasterInterpolatesAcrossItsSeam) {
    const std::array<double, 6> gt = {-180.0, 90.0, 0.0, 90.0, 0.0, -90.0};
    const auto dem = RasterDem::Load(
        Tiff("world.tif", 4326, gt, 4, 2, [](int c, int r) { return 100.0 * c + r; }));
    // Between the last column (centre 135) and the first (centre -135) across 180.
    EXPECT_NEAR(dem->Elevation(45.0, 180.0), 0.5 * (300.0 + 0.0), 1e-4);
}

TEST_F(DemTest, HeightBoundsNearAPointHold) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> height(-50.0, 3000.0);
    std::vector<double> values(64 * 48);
    for (double& v : values) {
        v = height(random);
    }
    const auto dem = RasterDem::Load(
        Tiff("rough.tif", 4326, {10.0, 0.001, 0.0, 47.0, 0.0, -0.001}, 64, 48,
             [&](int c, int r) { return values[static_cast<std::size_t>(r * 64 + c)]; }));
    std::uniform_real_distribution<double> lat(46.952, 47.0);
    std::uniform_real_distribution<double> lon(10.0, 10.064);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int i = 0; i < 200; ++i) {
        const double la = lat(random);
        const double lo = lon(random);
        const double radius = 50.0 + 400.0 * (i % 4);
        const double bound = dem->MaxElevationNear(la, lo, radius);
        for (int k = 0; k < 30; ++k) {
            const double dn = 0.7 * radius * unit(random);
            const double de = 0.7 * radius * unit(random);
            ASSERT_LE(dem->Elevation(la + dn / MetresPerDegreeLatitude(la),
                                     lo + de / MetresPerDegreeLongitude(la)),
                      bound);
        }
    }
}

TEST_F(DemTest, UnusableRastersAreRefusedWithReasons) {
    const auto refused = [](const fs::path& p, const DemOptions& o, const std::string& reason) {
        try {
            RasterDem::Load(p, o);
            ADD_FAILURE() << "accepted " << p;
        } catch (const DemError& e) {
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
        }
    };
    refused(dir_ / "missing.tif", {}, "cannot open");
    const fs::path plain = dir_ / "plain.txt";
    std::ofstream(plain) << "hello";
    refused(plain, {}, "cannot open");
    const fs::path ok = Tiff("ok.tif", 4326, kGeo, 20, 10, Ramp);
    DemOptions band2;
    band2.band = 2;
    refused(ok, band2, "no band 2");
    DemOptions small;
    small.maxCells = 100;
    refused(ok, small, "more than the 100");
    const fs::path metres =
        Tiff("metres.tif", 0, {600000.0, 1000.0, 0.0, 5300000.0, 0.0, -1000.0}, 4, 4, Ramp);
    refused(metres, {}, "not in degrees");
}

} // namespace
} // namespace scribeline::globe
