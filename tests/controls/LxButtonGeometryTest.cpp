#include "controls/lxButtonGeometry.h"

#include <QRegion>
#include <gtest/gtest.h>
#include <set>

using namespace orvex;

namespace {

constexpr TlxButtonEdgeStyle kAllStyles[] = {lxbegFour,       lxbegNorthWest,  lxbegNorthEast,
                                             lxbegEight,      lxbegTopRight,   lxbegTopLeft,
                                             lxbegBottomLeft, lxbegBottomRight};

using PixelSet = std::set<std::pair<int, int>>;

PixelSet pixelsOf(const QPolygon& pixels) {
    PixelSet set;
    for (const QPoint& p : pixels)
        set.insert({p.x(), p.y()});
    return set;
}

// Pixels of `region` that have a 4-neighbour outside it.
PixelSet boundary(const QRegion& region, int w, int h) {
    PixelSet set;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (!region.contains(QPoint(x, y))) continue;
            if (!region.contains(QPoint(x - 1, y)) || !region.contains(QPoint(x + 1, y)) ||
                !region.contains(QPoint(x, y - 1)) || !region.contains(QPoint(x, y + 1)))
                set.insert({x, y});
        }
    return set;
}

QRegion erode(const QRegion& region, int w, int h) {
    QRegion inner;
    const PixelSet edge = boundary(region, w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (region.contains(QPoint(x, y)) && !edge.count({x, y})) inner += QRect(x, y, 1, 1);
    return inner;
}

} // namespace

TEST(LxButtonGeometry, EdgeCutLimitsPerStyle) {
    struct Case {
        TlxButtonEdgeStyle style;
        int requested, height, stored;
    };
    const Case cases[] = {
        {lxbegNorthWest, 30, 20, 18}, {lxbegNorthWest, 18, 20, 18}, {lxbegNorthWest, 8, 20, 8},
        {lxbegNorthEast, 19, 20, 18}, {lxbegTopRight, 25, 20, 18},  {lxbegTopLeft, 25, 24, 22},
        {lxbegBottomLeft, 50, 10, 8}, {lxbegBottomRight, 7, 10, 7}, {lxbegFour, 8, 20, 0},
        {lxbegFour, 0, 20, 0},        {lxbegEight, 9, 20, 9}, // up to H div 2 - 1 is kept
        {lxbegEight, 10, 20, 8},      {lxbegEight, 30, 21, 8},      {lxbegNorthWest, -4, 20, 0},
        {lxbegNorthWest, 5, 1, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(limitEdgeCut(c.style, c.requested, c.height), c.stored)
            << "style " << c.style << " requested " << c.requested << " height " << c.height;
}

TEST(LxButtonGeometry, PolylineLeavesOutOnlyTheFinalPoint) {
    // The outer light line of a 65 x 20 button cut by 8: top row from x 65 down to 9, the
    // diagonal from (8, 0) to (1, 7), the left column from (0, 8) to (0, 19).
    const PixelSet pixels = pixelsOf(polylinePixels(QPolygon{{65, 0}, {8, 0}, {0, 8}, {0, 20}}));
    EXPECT_EQ(pixels.size(), 57u + 8u + 12u);
    for (auto p : {std::pair{65, 0}, {9, 0}, {8, 0}, {7, 1}, {1, 7}, {0, 8}, {0, 19}})
        EXPECT_TRUE(pixels.count(p)) << p.first << "," << p.second;
    EXPECT_FALSE(pixels.count({0, 20}));
    EXPECT_FALSE(pixels.count({7, 0}));
    EXPECT_TRUE(polylinePixels(QPolygon{{3, 3}}).isEmpty());
    EXPECT_EQ(polylinePixels(QPolygon{{0, 0}, {4, 0}}).size(), 4);
}

TEST(LxButtonGeometry, NorthWestOutlineCutsTopLeftAndBottomRight) {
    const QRegion region(buttonOutline(lxbegNorthWest, 65, 20, 8));
    struct Probe {
        int x, y;
        bool inside;
    };
    const Probe probes[] = {
        {0, 0, false},  {7, 0, false},   {8, 0, true},   {0, 7, false},   {0, 8, true},   {3, 4, false},
        {4, 4, true},   {64, 0, true},   {0, 19, true},  {64, 19, false}, {57, 19, true}, {58, 19, false},
        {64, 12, true}, {64, 13, false}, {65, 5, false}, {5, 20, false},
    };
    for (const Probe& p : probes)
        EXPECT_EQ(region.contains(QPoint(p.x, p.y)), p.inside) << p.x << "," << p.y;
}

TEST(LxButtonGeometry, EachStyleCutsItsCorners) {
    const int w = 40, h = 20, e = 6;
    for (TlxButtonEdgeStyle style : kAllStyles) {
        const QRegion region(buttonOutline(style, w, h, e));
        const CutCorners cut = cutCorners(style);
        EXPECT_EQ(!region.contains(QPoint(0, 0)), cut.topLeft) << style;
        EXPECT_EQ(!region.contains(QPoint(w - 1, 0)), cut.topRight) << style;
        EXPECT_EQ(!region.contains(QPoint(w - 1, h - 1)), cut.bottomRight) << style;
        EXPECT_EQ(!region.contains(QPoint(0, h - 1)), cut.bottomLeft) << style;
        EXPECT_TRUE(region.contains(QPoint(w / 2, h / 2))) << style;
    }
    // lxbegEight never cuts deeper than half the height.
    const QRegion eight(buttonOutline(lxbegEight, 40, 20, 15));
    EXPECT_TRUE(eight.contains(QPoint(0, 10)));
    EXPECT_FALSE(eight.contains(QPoint(0, 9)));
}

// The outer lines trace exactly the outline's boundary pixels and the inner lines the boundary one
// pixel further in, each pixel drawn by exactly one of the two lines, for every style.
TEST(LxButtonGeometry, BorderLinesFollowTheOutlineForEveryStyle) {
    const int w = 45, h = 20, e = 7;
    for (TlxButtonEdgeStyle style : kAllStyles) {
        const int cut = limitEdgeCut(style, e, h);
        const QRegion region(buttonOutline(style, w, h, cut));
        const BorderPolylines lines = borderPolylines(style, w, h, cut);

        auto checkRing = [&](const QPolygon& light, const QPolygon& dark, const QRegion& shape,
                             const char* ring) {
            PixelSet lightPixels, darkPixels;
            for (const QPoint& p : polylinePixels(light))
                if (p.x() < w && p.y() < h) lightPixels.insert({p.x(), p.y()});
            for (const QPoint& p : polylinePixels(dark))
                darkPixels.insert({p.x(), p.y()});
            PixelSet both = lightPixels;
            for (const auto& p : darkPixels) {
                EXPECT_FALSE(lightPixels.count(p))
                    << ring << " style " << style << " pixel drawn twice at " << p.first << "," << p.second;
                both.insert(p);
            }
            EXPECT_EQ(both, boundary(shape, w, h)) << ring << " style " << style;
            // Light on the top side, dark on the bottom side.
            const int top = ring[0] == 'o' ? 0 : 1;
            EXPECT_TRUE(lightPixels.count({w / 2, top})) << ring << " style " << style;
            EXPECT_TRUE(darkPixels.count({w / 2, h - 1 - top})) << ring << " style " << style;
            EXPECT_TRUE(lightPixels.count({top, h / 2})) << ring << " style " << style;
            EXPECT_TRUE(darkPixels.count({w - 1 - top, h / 2})) << ring << " style " << style;
        };
        checkRing(lines.outerLight, lines.outerDark, region, "outer");
        checkRing(lines.innerLight, lines.innerDark, erode(region, w, h), "inner");
    }
}

TEST(LxButtonGeometry, GradientStepsRoundHalvesToEven) {
    // From black towards (200, 100, 50) in 20 steps: increments 10, 5 and 2.5 per line.
    const std::vector<QColor> colours = gradientColours(QColor(0, 0, 0), QColor(200, 100, 50), 20);
    ASSERT_EQ(colours.size(), 20u);
    struct Row {
        int index, r, g, b;
    };
    const Row rows[] = {
        {0, 0, 0, 0},    {1, 10, 5, 2},   {2, 20, 10, 5},    {3, 30, 15, 8},
        {5, 50, 25, 12}, {7, 70, 35, 18}, {19, 190, 95, 48}, // one increment short of the end colour
    };
    for (const Row& row : rows)
        EXPECT_EQ(colours[std::size_t(row.index)], QColor(row.r, row.g, row.b)) << "row " << row.index;

    // Downwards as well, and a single line when there is nothing to step over.
    const std::vector<QColor> down = gradientColours(QColor(255, 255, 255), QColor(0, 0, 0), 4);
    EXPECT_EQ(down.back(), QColor(64, 64, 64)); // 255 - 3 * 63.75 = 63.75
    const std::vector<QColor> none = gradientColours(QColor(1, 2, 3), QColor(9, 9, 9), 0);
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(none[0], QColor(1, 2, 3));
}
