#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "field/ScalarField.h"
#include "render/ContourRenderer.h"
#include "render/MarchingSquares.h"
#include "tests/support/GlRecorder.h"

namespace
{

using glrecorder::Segment;
using glrecorder::Vertex;

// A field given as a function of the sample's lattice row and column.
class LatticeField : public ScalarField
{
public:
    using Rule = std::function<FieldSample(int row, int column)>;
    explicit LatticeField(Rule rule) : rule(std::move(rule)) {}

    FieldSample evaluate(const Vec2& point) const override
    {
        ++calls;
        const int column = static_cast<int>(point.x + 500.0f) / 15;
        const int row = static_cast<int>(point.y + 500.0f) / 15;
        return rule(row, column);
    }

    mutable int calls = 0;

private:
    Rule rule;
};

// A lone source whose level-1 contour is a circle of the given radius around (cx, cy).
class RoundField : public ScalarField
{
public:
    RoundField(float cx, float cy, float radius) : cx(cx), cy(cy), radius(radius) {}
    FieldSample evaluate(const Vec2& p) const override
    {
        const float dx = p.x - cx, dy = p.y - cy;
        return FieldSample{radius * radius / (dx * dx + dy * dy + 1e-6f), 0.2f, 0.4f, 0.9f};
    }

private:
    float cx, cy, radius;
};

const std::vector<Segment>& drawn(ScalarField& field, float threshold = 1.0f)
{
    glrecorder::reset();
    ContourRenderer renderer(&field, threshold);
    renderer.draw();
    EXPECT_EQ(glrecorder::malformedCalls(), 0);
    return glrecorder::segments();
}

// The corner of lattice cell (row, column) as drawn: one unit below and left of its sample.
float cornerCoordinate(int k)
{
    return -501.0f + 15.0f * static_cast<float>(k);
}

// Cell sides, named by where they lie on screen.
enum Side
{
    Left,
    Right,
    Bottom,
    Top
};

Vertex midpointOf(Side side, int row, int column)
{
    const float x0 = cornerCoordinate(column), y0 = cornerCoordinate(row);
    switch (side)
    {
    case Left:
        return Vertex{x0, y0 + 7.5f, 0, 0, 0};
    case Right:
        return Vertex{x0 + 15.0f, y0 + 7.5f, 0, 0, 0};
    case Bottom:
        return Vertex{x0 + 7.5f, y0, 0, 0, 0};
    case Top:
    default:
        return Vertex{x0 + 7.5f, y0 + 15.0f, 0, 0, 0};
    }
}

bool within(const Vertex& v, int row, int column)
{
    const float x0 = cornerCoordinate(column), y0 = cornerCoordinate(row);
    return v.x >= x0 && v.x <= x0 + 15.0f && v.y >= y0 && v.y <= y0 + 15.0f;
}

struct SideSegment
{
    Side first, second;
};

struct CornerCase
{
    const char* flags; // A B C D: lower left, lower right, upper left, upper right
    std::vector<SideSegment> segments;
};

// What each arrangement of inside corners must draw, segment by segment.
const std::vector<CornerCase> kCornerCases = {
    {"0000", {}},
    {"0001", {{Top, Right}}},
    {"0010", {{Top, Left}}},
    {"0011", {{Left, Right}}},
    {"0100", {{Right, Bottom}}},
    {"0101", {{Top, Bottom}}},
    {"0110", {{Left, Bottom}, {Top, Right}}}, // saddle: A cut off, then D
    {"0111", {{Left, Bottom}}},
    {"1000", {{Left, Bottom}}},
    {"1001", {{Left, Top}, {Bottom, Right}}}, // saddle: C cut off, then B
    {"1010", {{Top, Bottom}}},
    {"1011", {{Right, Bottom}}},
    {"1100", {{Left, Right}}},
    {"1101", {{Top, Left}}},
    {"1110", {{Top, Right}}},
    {"1111", {}},
};

TEST(ContourCells, EveryCornerCaseDrawsItsSegmentsInOrder)
{
    const int row = 30, column = 40;
    for (const CornerCase& expected : kCornerCases)
    {
        SCOPED_TRACE(expected.flags);
        // Inside corners get 2, everything else 0, so every crossing is an edge's midpoint.
        const std::map<std::pair<int, int>, char> flagAt = {
            {{row, column}, expected.flags[0]},
            {{row, column + 1}, expected.flags[1]},
            {{row + 1, column}, expected.flags[2]},
            {{row + 1, column + 1}, expected.flags[3]}};
        LatticeField field(
            [&](int r, int c)
            {
                const auto found = flagAt.find({r, c});
                const bool inside = found != flagAt.end() && found->second == '1';
                return FieldSample{inside ? 2.0f : 0.0f, 1.0f, 0.0f, 0.0f};
            });

        std::vector<Segment> inCell;
        for (const Segment& s : drawn(field))
            if (within(s.from, row, column) && within(s.to, row, column))
                inCell.push_back(s);

        ASSERT_EQ(inCell.size(), expected.segments.size());
        for (size_t i = 0; i < inCell.size(); ++i)
        {
            const Vertex first = midpointOf(expected.segments[i].first, row, column);
            const Vertex second = midpointOf(expected.segments[i].second, row, column);
            EXPECT_FLOAT_EQ(inCell[i].from.x, first.x);
            EXPECT_FLOAT_EQ(inCell[i].from.y, first.y);
            EXPECT_FLOAT_EQ(inCell[i].to.x, second.x);
            EXPECT_FLOAT_EQ(inCell[i].to.y, second.y);
        }
    }
}

TEST(ContourCells, ThresholdValueCountsAsOutside)
{
    EXPECT_FALSE(marching::isInside(1.0f, 1.0f));
    EXPECT_TRUE(marching::isInside(std::nextafter(1.0f, 2.0f), 1.0f));

    // A sample exactly at the threshold: the crossing lies on that sample's corner,
    // whichever end the edge is measured from.
    const float values[2] = {1.0f, 3.0f};
    const marching::Colour colours[2] = {{1, 0, 0}, {0, 0, 1}};
    const marching::GridCorner atThreshold{-501.0f, -501.0f, 0, false};
    const marching::GridCorner inside{-486.0f, -501.0f, 1, true};
    for (const auto& [p, q] :
         {std::make_pair(atThreshold, inside), std::make_pair(inside, atThreshold)})
    {
        const marching::ContourPoint point = marching::crossing(p, q, values, colours, 1.0f);
        EXPECT_FLOAT_EQ(point.x, -501.0f);
        EXPECT_FLOAT_EQ(point.colour.r, 1.0f);
        EXPECT_FLOAT_EQ(point.colour.b, 0.0f);
    }
}

// Value 3 in columns up to 10, 0.5 beyond: one vertical line of crossings between them.
FieldSample stepAcrossColumns(int, int column)
{
    return column <= 10 ? FieldSample{3.0f, 1.0f, 0.0f, 0.5f} : FieldSample{0.5f, 0.0f, 1.0f, 0.5f};
}

TEST(ContourGeometry, CrossingIsInterpolatedInPlaceAndColour)
{
    LatticeField field(stepAcrossColumns);
    const std::vector<Segment>& segments = drawn(field);
    ASSERT_EQ(segments.size(), 67u); // one per cell row

    // t = (3 - 1) / (3 - 0.5) = 0.8 along the edge from the inside corner. The corners of
    // columns 10 and 11 are drawn at -351 and -336, one unit off their samples.
    const float t = 0.8f;
    const float x = (1.0f - t) * -351.0f + t * -336.0f;
    for (const Segment& s : segments)
        for (const Vertex& v : {s.from, s.to})
        {
            EXPECT_NEAR(v.x, x, 1e-4);
            EXPECT_NEAR(v.r, 0.2f, 1e-6);
            EXPECT_NEAR(v.g, 0.8f, 1e-6);
            EXPECT_NEAR(v.b, 0.5f, 1e-6);
        }
    // Each runs from the cell's top edge to its bottom edge; the first cell row starts one
    // unit below the view and the last reaches 504.
    EXPECT_FLOAT_EQ(segments.front().to.y, -501.0f);
    EXPECT_FLOAT_EQ(segments.back().from.y, 504.0f);
}

TEST(ContourGeometry, UniformFieldsDrawNothing)
{
    for (float value : {0.0f, 1.0f, 1.5f, 1e9f})
    {
        LatticeField field([value](int, int) { return FieldSample{value, 1, 1, 1}; });
        EXPECT_TRUE(drawn(field).empty()) << value;
    }
}

TEST(ContourGeometry, LoneSourceGivesClosedPolygonOnItsCircle)
{
    RoundField field(37.0f, -52.0f, 75.0f);
    const std::vector<Segment>& segments = drawn(field);
    ASSERT_GT(segments.size(), 20u);

    // Every end is shared by exactly one other segment's end, up to the last bits.
    std::vector<Vertex> ends;
    for (const Segment& s : segments)
    {
        ends.push_back(s.from);
        ends.push_back(s.to);
    }
    for (size_t i = 0; i < ends.size(); ++i)
    {
        int partners = 0;
        for (size_t j = 0; j < ends.size(); ++j)
            if (j != i && std::fabs(ends[i].x - ends[j].x) < 1e-3f &&
                std::fabs(ends[i].y - ends[j].y) < 1e-3f)
                ++partners;
        EXPECT_EQ(partners, 1) << "end " << ends[i].x << "," << ends[i].y;
    }
    // Drawn one unit left of and below where the field crosses 1.
    for (const Vertex& v : ends)
        EXPECT_NEAR(std::hypot(v.x - 36.0f, v.y + 53.0f), 75.0f, 1.5f);
    for (const Segment& s : segments)
        EXPECT_FLOAT_EQ(s.from.b, 0.9f);
}

TEST(ContourDraw, SamplesTheWholeLatticeBottomRowFirst)
{
    std::vector<Vec2> asked;
    class Probe : public ScalarField
    {
    public:
        explicit Probe(std::vector<Vec2>& asked) : asked(asked) {}
        FieldSample evaluate(const Vec2& p) const override
        {
            asked.push_back(p);
            return FieldSample{0, 0, 0, 0};
        }
        std::vector<Vec2>& asked;
    } probe(asked);

    drawn(probe);
    drawn(probe); // nothing is kept between frames
    ASSERT_EQ(asked.size(), 2u * 4624u);
    EXPECT_EQ(asked[0].x, -500.0f);
    EXPECT_EQ(asked[0].y, -500.0f);
    EXPECT_EQ(asked[1].x, -485.0f);
    EXPECT_EQ(asked[1].y, -500.0f);
    EXPECT_EQ(asked[68].x, -500.0f);
    EXPECT_EQ(asked[68].y, -485.0f);
    EXPECT_EQ(asked[4623].x, 505.0f);
    EXPECT_EQ(asked[4623].y, 505.0f);
}

TEST(ContourDraw, AsksAFieldThatTakesRowsForEachRowOnceBottomFirst)
{
    struct Row
    {
        float y;
        std::vector<float> xs;
    };
    std::vector<Row> asked;
    class RowProbe : public ScalarField
    {
    public:
        explicit RowProbe(std::vector<Row>& asked) : asked(asked) {}
        FieldSample evaluate(const Vec2&) const override
        {
            ADD_FAILURE() << "asked for a single point";
            return FieldSample{0, 0, 0, 0};
        }
        void evaluateRow(float y, const float* xs, int count, FieldSample* samples) const override
        {
            asked.push_back(Row{y, std::vector<float>(xs, xs + count)});
            // A step between the left and right halves, in the colour of the row.
            for (int i = 0; i < count; ++i)
                samples[i] =
                    FieldSample{xs[i] < 0.0f ? 2.0f : 0.0f, 0.0f, 0.0f, (y + 500.0f) / 1005.0f};
        }
        std::vector<Row>& asked;
    } probe(asked);

    const std::vector<Segment>& segments = drawn(probe);
    ASSERT_EQ(asked.size(), 68u);
    for (int row = 0; row < 68; ++row)
    {
        EXPECT_EQ(asked[row].y, -500.0f + 15.0f * static_cast<float>(row));
        ASSERT_EQ(asked[row].xs.size(), 68u);
        for (int column = 0; column < 68; ++column)
            EXPECT_EQ(asked[row].xs[column], -500.0f + 15.0f * static_cast<float>(column));
    }
    // The samples land where their row and column say: one vertical line between the columns
    // at -5 and 10, coloured by the rows it joins.
    ASSERT_EQ(segments.size(), 67u);
    for (const Segment& s : segments)
    {
        EXPECT_FLOAT_EQ(s.from.x, s.to.x);
        EXPECT_FLOAT_EQ(s.from.b, (s.from.y + 1.0f + 500.0f) / 1005.0f);
    }
}

TEST(ContourDraw, SetsSmoothTwoPixelLines)
{
    LatticeField field(stepAcrossColumns);
    drawn(field);
    EXPECT_EQ(glrecorder::lineWidth(), 2.0f);
    EXPECT_TRUE(glrecorder::lineSmoothEnabled());
}

TEST(ContourDraw, HonoursItsThreshold)
{
    // With the threshold at 2 the step from 3 to 0.5 crosses at t = 0.4.
    LatticeField field(stepAcrossColumns);
    const std::vector<Segment>& segments = drawn(field, 2.0f);
    ASSERT_FALSE(segments.empty());
    EXPECT_NEAR(segments[0].from.x, 0.6f * -351.0f + 0.4f * -336.0f, 1e-4);
}

} // namespace
