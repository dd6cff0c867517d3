// Every way the field can be evaluated gives, to the bit, what the plain loop gives: the
// shipped evaluate and evaluateRow behind ScalarField, and each row implementation this CPU can
// run on its own. And a seed gives the same frames on every CPU: their hashes match those
// another build wrote (VORNELLE_FIELD_HASHES_WRITE names the file one build writes, and
// VORNELLE_FIELD_HASHES the file another build compares with).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
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

// FNV-1a, 64 bits, over the bytes of what it is given.
class BitsHash
{
public:
    template <typename T> void add(const T* items, std::size_t count)
    {
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(items);
        for (std::size_t i = 0; i < sizeof(T) * count; ++i)
            hash = (hash ^ bytes[i]) * 0x100000001b3u;
    }
    std::uint64_t value() const { return hash; }

private:
    std::uint64_t hash = 0xcbf29ce484222325u;
};

// One line per seed and stretch of frames: the hashes of the metaballs' whole state, of every
// lattice row through evaluateRow, and of one lattice row a frame (a different one each time)
// through evaluate.
std::vector<std::string> frameHashes()
{
    const unsigned seeds[] = {1u, 4242u, 987654321u};
    const int frames = 300, framesPerLine = 50;
    float xs[68];
    for (int column = 0; column < 68; ++column)
        xs[column] = static_cast<float>(-500 + 15 * column);

    std::vector<std::string> lines;
    for (unsigned seed : seeds)
    {
        std::srand(seed);
        MetaballField field;
        const ScalarField& shipped = field;
        BitsHash positions, rows, points;
        for (int frame = 0; frame < frames; ++frame)
        {
            field.update(frame % 10 == 9 ? 0.5f : 1.0f / 60.0f);
            positions.add(&field.metaball(0), MetaballField::count);
            FieldSample samples[68];
            for (int row = 0; row < 68; ++row)
            {
                shipped.evaluateRow(xs[row], xs, 68, samples);
                rows.add(samples, 68);
            }
            const float y = xs[frame % 68];
            for (float x : xs)
            {
                const FieldSample sample = shipped.evaluate(Vec2{x, y});
                points.add(&sample, 1);
            }
            if ((frame + 1) % framesPerLine == 0)
            {
                std::ostringstream line;
                line << "seed " << seed << " frames " << frame + 1 - framesPerLine << ".." << frame
                     << std::hex << ": positions " << positions.value() << " evaluateRow "
                     << rows.value() << " evaluate " << points.value();
                lines.push_back(line.str());
            }
        }
    }
    return lines;
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

TEST(FieldBits, FramesHashAsAnotherBuildWrote)
{
    const std::vector<std::string> lines = frameHashes();
    if (const char* path = std::getenv("VORNELLE_FIELD_HASHES_WRITE"))
    {
        std::ofstream out(path);
        for (const std::string& line : lines)
            out << line << "\n";
        ASSERT_TRUE(out.good()) << "cannot write " << path;
    }
    const char* path = std::getenv("VORNELLE_FIELD_HASHES");
    if (!path)
        GTEST_SKIP() << "no other build's hashes to compare with (VORNELLE_FIELD_HASHES)";
    std::ifstream in(path);
    ASSERT_TRUE(in.good()) << "cannot read " << path;
    std::vector<std::string> expected;
    for (std::string line; std::getline(in, line);)
        expected.push_back(line);
    ASSERT_EQ(lines.size(), expected.size()) << path;
    // The first line that differs says which seed and frames went another way.
    for (std::size_t i = 0; i < lines.size(); ++i)
        ASSERT_EQ(lines[i], expected[i]);
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
