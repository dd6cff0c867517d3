// Every way the field can be evaluated gives, to the bit, what the plain loop gives: the
// shipped evaluate and evaluateRow behind ScalarField, and each row implementation this CPU can
// run on its own.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "field/MetaballField.h"
#include "field/MetaballSum.h"
#include "tests/support/ReferenceField.h"

namespace
{

std::vector<metaball_sum::RowWay> rowWaysThatRunHere()
{
    metaball_sum::RowWay ways[metaball_sum::kMostRowWays];
    return std::vector<metaball_sum::RowWay>(ways, ways + metaball_sum::rowWaysThatRunHere(ways));
}

// Longer than a lattice row; 21 points fill a group of sixteen, one of four and one lane more.
const int kLongestRow = 72;
const int kCopiesOfOnePoint = 21;

bool sameBits(const FieldSample& a, const FieldSample& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Compares every way at one point; reports only the first difference it meets, so that a
// fault does not bury the log under a million lines.
class Comparison
{
public:
    explicit Comparison(const MetaballField& field) : field(field), rowWays(rowWaysThatRunHere()) {}

    void at(const Vec2& point)
    {
        const FieldSample expected = referenceEvaluate(field, point);
        const ScalarField& shipped = field;
        check("evaluate", shipped.evaluate(point), expected, point);
    }

    // The point on its own, and in every lane of a row made of copies of it.
    void atAndInEveryLane(const Vec2& point)
    {
        at(point);
        float xs[kCopiesOfOnePoint];
        for (float& x : xs)
            x = point.x;
        along(point.y, xs, kCopiesOfOnePoint);
    }

    // Points (xs[i], y), each row way given the whole run at once.
    void along(float y, const float* xs, int count)
    {
        FieldSample expected[kLongestRow], got[kLongestRow];
        for (int i = 0; i < count; ++i)
            expected[i] = referenceEvaluate(field, Vec2{xs[i], y});
        const ScalarField& shipped = field;
        shipped.evaluateRow(y, xs, count, got);
        checkRow("evaluateRow", y, xs, count, got, expected);
        for (const metaball_sum::RowWay& way : rowWays)
        {
            way.sum(&field.metaball(0), y, xs, count, got);
            checkRow(way.name, y, xs, count, got, expected);
        }
    }

    int differences() const { return count; }

private:
    void check(const char* name, const FieldSample& got, const FieldSample& expected,
               const Vec2& point)
    {
        if (sameBits(got, expected))
            return;
        if (count++ == 0)
            ADD_FAILURE() << name << " differs at (" << point.x << ", " << point.y << "): value "
                          << got.value << " vs " << expected.value << ", colour (" << got.r << ", "
                          << got.g << ", " << got.b << ") vs (" << expected.r << ", " << expected.g
                          << ", " << expected.b << ")";
    }

    void checkRow(const char* name, float y, const float* xs, int count, const FieldSample* got,
                  const FieldSample* expected)
    {
        for (int i = 0; i < count; ++i)
            check(name, got[i], expected[i], Vec2{xs[i], y});
    }

    const MetaballField& field;
    std::vector<metaball_sum::RowWay> rowWays;
    int count = 0;
};

// Point by point, then row by row as the renderer asks.
void compareLattice(Comparison& comparison)
{
    float xs[68];
    for (int column = 0; column < 68; ++column)
        xs[column] = static_cast<float>(-500 + 15 * column);
    for (int row = 0; row < 68; ++row)
    {
        const float y = static_cast<float>(-500 + 15 * row);
        for (int column = 0; column < 68; ++column)
            comparison.at(Vec2{xs[column], y});
        comparison.along(y, xs, 68);
    }
}

void placeAt(Metaball& ball, float x, float y)
{
    ball.x = x;
    ball.y = y;
}

} // namespace

TEST(FieldBits, LatticeSamplesOverThreeSeedsAndAHundredFramesMatchThePlainLoop)
{
    for (unsigned seed : {1u, 4242u, 987654321u})
    {
        std::srand(seed);
        MetaballField field;
        Comparison comparison(field);
        for (int frame = 0; frame < 100; ++frame)
        {
            // Now and then a long step, so that metaballs wrap and cross the lattice fast.
            field.update(frame % 10 == 9 ? 0.5f : 1.0f / 60.0f);
            compareLattice(comparison);
        }
        EXPECT_EQ(comparison.differences(), 0) << "seed " << seed;
    }
}

TEST(FieldBits, PointsOnCentresAndOddPlacesMatchThePlainLoop)
{
    std::srand(7);
    MetaballField field;
    Comparison comparison(field);

    // Rows of every length up to past a lattice row's, so every way of splitting a row into
    // groups of lanes, and a metaball's centre in some lane of each.
    const Metaball& centred = field.metaball(20);
    for (int count = 1; count <= kLongestRow; ++count)
    {
        float xs[kLongestRow];
        for (int i = 0; i < count; ++i)
            xs[i] = i == count / 2 ? centred.x : -849.99f + 23.7f * static_cast<float>(i);
        comparison.along(centred.y, xs, count);
    }

    // On a centre the squared distance is exactly 0 and is replaced; try it in the first,
    // a middle and the last lane of a block, and for the very last metaball.
    for (int index : {0, 7, 8, 20, 31, 34})
    {
        const Metaball& ball = field.metaball(index);
        comparison.atAndInEveryLane(Vec2{ball.x, ball.y});
    }
    // Off the lattice: fractions, far away, and between two metaballs on top of each other.
    placeAt(field.metaball(12), 100.25f, -40.5f);
    placeAt(field.metaball(13), 100.25f, -40.5f);
    for (const Vec2& point :
         {Vec2{0.1f, -0.3f}, Vec2{1e6f, -1e6f}, Vec2{100.25f, 10.0f}, Vec2{-849.99f, 849.99f}})
        comparison.atAndInEveryLane(point);

    // Every metaball in one place: each later one holds less of the running total.
    for (int i = 0; i < MetaballField::count; ++i)
        placeAt(field.metaball(i), 30.0f, 60.0f);
    comparison.atAndInEveryLane(Vec2{30.0f, 75.0f});
    comparison.atAndInEveryLane(Vec2{30.0f, 60.0f});

    // So close that the contribution overflows to infinity and the weights become NaN.
    placeAt(field.metaball(0), 1e-20f, 0.0f);
    comparison.atAndInEveryLane(Vec2{0.0f, 0.0f});
    EXPECT_TRUE(std::isinf(field.evaluate(Vec2{0.0f, 0.0f}).value));

    EXPECT_EQ(comparison.differences(), 0);
}

// The comparisons above cover only the ways that run here. A build that left its vector
// paths out (another compiler or system: the Windows build is tested under Wine) would pass
// them with nothing to compare, so every instruction set this CPU offers must have its way.
TEST(FieldBits, EveryVectorWayThisCpuRunsIsCompared)
{
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    const std::vector<metaball_sum::RowWay> ways = rowWaysThatRunHere();
    std::string names;
    for (const metaball_sum::RowWay& way : ways)
        names += std::string(" [") + way.name + "]";
    std::cout << "row ways compared:" << names << "\n";
    const bool offered[] = {__builtin_cpu_supports("sse2") != 0,
                            __builtin_cpu_supports("avx2") != 0,
                            __builtin_cpu_supports("avx512f") != 0};
    std::size_t expected = 1;
    for (bool set : offered)
        expected += set ? 1 : 0;
    EXPECT_EQ(ways.size(), expected) << names;
#else
    GTEST_SKIP() << "no vector ways on this compiler and CPU";
#endif
}
