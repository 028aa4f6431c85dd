// The spatial index built from record bounds read by ourselves is the same SHPTree that
// shapelib's SHPCreateTree builds, node for node, and answers queries with the same
// candidates. Also the record checks on well-formed files.
#include "records.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

using namespace kctest;

namespace {

void expectSameNodes(const SHPTreeNode* a, const SHPTreeNode* b, int depth = 0) {
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(a->adfBoundsMin[i], b->adfBoundsMin[i]) << depth;
        ASSERT_EQ(a->adfBoundsMax[i], b->adfBoundsMax[i]) << depth;
    }
    ASSERT_EQ(a->nShapeCount, b->nShapeCount) << depth;
    // the same ids in each node (inserted in another order)
    std::vector<int> ia(a->panShapeIds, a->panShapeIds + a->nShapeCount);
    std::vector<int> ib(b->panShapeIds, b->panShapeIds + b->nShapeCount);
    std::sort(ia.begin(), ia.end());
    std::sort(ib.begin(), ib.end());
    ASSERT_EQ(ia, ib) << depth;
    ASSERT_EQ(a->nSubNodes, b->nSubNodes) << depth;
    for (int i = 0; i < a->nSubNodes; ++i)
        expectSameNodes(a->apsSubNode[i], b->apsSubNode[i], depth + 1);
}

void compareTrees(const std::string& base) {
    SHPHandle h = kc::openShapefile(base.c_str(), "rb");
    ASSERT_NE(h, nullptr);
    SHPTree* ours = kc::buildTree(h);
    SHPTree* theirs = SHPCreateTree(h, 2, 0, nullptr, nullptr);
    ASSERT_NE(ours, nullptr);
    ASSERT_NE(theirs, nullptr);
    EXPECT_EQ(ours->nMaxDepth, theirs->nMaxDepth);
    EXPECT_EQ(ours->nDimension, theirs->nDimension);
    EXPECT_EQ(ours->nTotalCount, theirs->nTotalCount);
    EXPECT_EQ(ours->hSHP, theirs->hSHP);
    expectSameNodes(ours->psRoot, theirs->psRoot);
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> u(-200, 200), w(0, 20);
    for (int q = 0; q < 2000; ++q) {
        double mn[4] = {u(rng), u(rng) / 2, 0, 0};
        double mx[4] = {mn[0] + w(rng), mn[1] + w(rng), 0, 0};
        int na = 0, nb = 0;
        int* a = SHPTreeFindLikelyShapes(ours, mn, mx, &na);
        int* b = SHPTreeFindLikelyShapes(theirs, mn, mx, &nb);
        ASSERT_EQ(na, nb);
        for (int i = 0; i < na; ++i)
            ASSERT_EQ(a[i], b[i]);
        std::free(a);
        std::free(b);
    }
    SHPDestroyTree(ours);
    SHPDestroyTree(theirs);
    SHPClose(h);
}

TEST(Index, SameTreeAsShapelibForPoints) {
    TempDir dir;
    std::vector<Feature> fs;
    std::mt19937_64 rng(1);
    std::uniform_real_distribution<double> x(-180, 180), y(-90, 90);
    for (int i = 0; i < 20000; ++i)
        fs.push_back({{{x(rng), y(rng)}}});
    fs.push_back({}); // a null record: shapelib indexes it at (0, 0)
    fs.push_back({{{0, 0}}});
    writeShapefile(dir.file("pts"), SHPT_POINT, fs);
    compareTrees(dir.file("pts"));
}

TEST(Index, SameTreeAsShapelibForLinesAndPolygons) {
    TempDir dir;
    std::mt19937_64 rng(2);
    std::uniform_real_distribution<double> x(-180, 180), y(-90, 90), d(-2, 2);
    for (int type : {SHPT_ARC, SHPT_POLYGONZ, SHPT_MULTIPOINTM}) {
        std::vector<Feature> fs;
        for (int i = 0; i < 3000; ++i) {
            Part p;
            const double x0 = x(rng), y0 = y(rng);
            for (int k = 0; k < 5; ++k)
                p.push_back({x0 + d(rng), y0 + d(rng), 1, 2});
            fs.push_back({p});
        }
        const std::string base = dir.file("t" + std::to_string(type));
        writeShapefile(base, type, fs);
        compareTrees(base);
    }
}

TEST(Index, TinyFilesKeepEverythingAtTheRoot) {
    TempDir dir;
    writeShapefile(dir.file("three"), SHPT_POINT, {{{{1, 1}}}, {{{2, 2}}}, {{{3, 3}}}});
    compareTrees(dir.file("three"));
    writeShapefile(dir.file("none"), SHPT_POINT, {});
    compareTrees(dir.file("none"));
}

} // namespace
