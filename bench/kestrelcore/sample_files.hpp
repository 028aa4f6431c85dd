// The generated shapefiles both Kestrelcore benchmark programs measure on: random points, and
// random-walk polylines of 20 vertices, each with a .dbf holding one integer field FID.
#pragma once

#include <shapefil.h>

#include <random>
#include <string>

namespace kcbench {

inline void WriteFids(const std::string& base, int n) {
    DBFHandle d = DBFCreate(base.c_str());
    DBFAddField(d, "FID", FTInteger, 9, 0);
    for (int i = 0; i < n; ++i)
        DBFWriteIntegerAttribute(d, i, 0, i);
    DBFClose(d);
}

// n points spread evenly over the whole globe (degrees), written in random order.
inline void WritePoints(const std::string& base, int n, unsigned seed) {
    SHPHandle h = SHPCreate(base.c_str(), SHPT_POINT);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> lon(-180, 180), lat(-90, 90);
    for (int i = 0; i < n; ++i) {
        double x = lon(rng), y = lat(rng);
        SHPObject* o = SHPCreateSimpleObject(SHPT_POINT, 1, &x, &y, nullptr);
        SHPWriteObject(h, -1, o);
        SHPDestroyObject(o);
    }
    SHPClose(h);
    WriteFids(base, n);
}

// n polylines of 20 vertices, each a random walk of steps up to 0.01 degree.
inline void WriteLines(const std::string& base, int n, unsigned seed) {
    SHPHandle h = SHPCreate(base.c_str(), SHPT_ARC);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> lon(-179, 179), lat(-89, 89), step(-0.01, 0.01);
    double x[20], y[20];
    for (int i = 0; i < n; ++i) {
        x[0] = lon(rng);
        y[0] = lat(rng);
        for (int k = 1; k < 20; ++k) {
            x[k] = x[k - 1] + step(rng);
            y[k] = y[k - 1] + step(rng);
        }
        SHPObject* o = SHPCreateSimpleObject(SHPT_ARC, 20, x, y, nullptr);
        SHPWriteObject(h, -1, o);
        SHPDestroyObject(o);
    }
    SHPClose(h);
    WriteFids(base, n);
}

} // namespace kcbench
