#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "field/MetaballField.h"

namespace
{

const float kFarAway = 1.0e7f; // a metaball here adds practically nothing anywhere near

// A field whose metaballs all sit far away, still, with their timers well clear of zero.
void clear(MetaballField& field)
{
    for (int i = 0; i < MetaballField::count; ++i)
    {
        Metaball& ball = field.metaball(i);
        ball = Metaball{0.1f, 0.1f, 0.9f, kFarAway, kFarAway, 0, 0, 0, 0, 10.0f};
    }
}

void colour(Metaball& ball, float r, float g, float b)
{
    ball.r = r;
    ball.g = g;
    ball.b = b;
}

bool sameScene(const MetaballField& a, const MetaballField& b)
{
    return std::memcmp(&a.metaball(0), &b.metaball(0), sizeof(Metaball) * MetaballField::count) ==
           0;
}

class Field : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::srand(1234);
        clear(field);
    }
    MetaballField field;
};

TEST_F(Field, PointOnACentreTakesThatMetaballsColourWithoutDividingByZero)
{
    std::srand(99);
    MetaballField scene; // a random scene; put one of its metaballs on the point
    Metaball& ball = scene.metaball(7);
    const FieldSample sample = scene.evaluate(Vec2{ball.x, ball.y});
    EXPECT_GE(sample.value, 5625.0f / 0.0000001f);
    EXPECT_TRUE(std::isfinite(sample.value));
    EXPECT_FLOAT_EQ(sample.r, ball.r);
    EXPECT_FLOAT_EQ(sample.g, ball.g);
    EXPECT_FLOAT_EQ(sample.b, ball.b);
}

TEST_F(Field, LoneMetaballMakesUnitLevelOnARadiusOf75)
{
    Metaball& ball = field.metaball(0);
    ball.x = 100.0f;
    ball.y = -40.0f;
    EXPECT_NEAR(field.evaluate(Vec2{175.0f, -40.0f}).value, 1.0f, 1e-5);
    EXPECT_NEAR(field.evaluate(Vec2{100.0f, -190.0f}).value, 0.25f, 1e-5);
}

TEST_F(Field, FirstColourStandsWhereNoLaterMetaballPassesTheCutoff)
{
    Metaball& first = field.metaball(0);
    first.x = 0.0f;
    first.y = 0.0f;
    colour(first, 0.9f, 0.05f, 0.3f);
    // Weights 1/7 (just under the cut-off) and smaller still.
    field.metaball(3).x = 0.0f;
    field.metaball(3).y = 75.0f * std::sqrt(6.0f) - 10.0f;
    field.metaball(9).x = 300.0f;
    field.metaball(9).y = 0.0f;
    const FieldSample sample = field.evaluate(Vec2{0.0f, -10.0f});
    EXPECT_EQ(sample.r, 0.9f);
    EXPECT_EQ(sample.g, 0.05f);
    EXPECT_EQ(sample.b, 0.3f);
}

TEST_F(Field, LaterMetaballTintsOnlyAboveTheCutoff)
{
    // First contributes 1 at the origin; the second 0.2, a weight of 0.2 / 1.2 > 0.15.
    Metaball& first = field.metaball(0);
    first.x = 75.0f;
    first.y = 0.0f;
    colour(first, 1.0f, 0.0f, 0.0f);
    Metaball& second = field.metaball(1);
    second.x = -75.0f * std::sqrt(5.0f);
    second.y = 0.0f;
    colour(second, 0.0f, 1.0f, 0.0f);

    const FieldSample tinted = field.evaluate(Vec2{0.0f, 0.0f});
    const float w = 0.2f / 1.2f;
    EXPECT_NEAR(tinted.value, 1.2f, 1e-5);
    EXPECT_NEAR(tinted.r, 1.0f - w, 1e-5);
    EXPECT_NEAR(tinted.g, w, 1e-5);

    // The same second metaball weighs 1/7 (at most 0.15) further out and tints nothing,
    // though it is the strongest of those that come after the first.
    second.x = -75.0f * std::sqrt(6.0f);
    const FieldSample untinted = field.evaluate(Vec2{0.0f, 0.0f});
    EXPECT_EQ(untinted.r, 1.0f);
    EXPECT_EQ(untinted.g, 0.0f);
}

TEST_F(Field, TwoEquidistantMetaballsAverageWhicheverComesFirst)
{
    for (int order = 0; order < 2; ++order)
    {
        clear(field);
        Metaball& left = field.metaball(order == 0 ? 0 : 1);
        Metaball& right = field.metaball(order == 0 ? 1 : 0);
        left.x = -50.0f;
        left.y = 0.0f;
        colour(left, 1.0f, 0.0f, 0.2f);
        right.x = 50.0f;
        right.y = 0.0f;
        colour(right, 0.0f, 0.6f, 1.0f);
        const FieldSample sample = field.evaluate(Vec2{0.0f, 20.0f});
        EXPECT_NEAR(sample.r, 0.5f, 1e-6) << order;
        EXPECT_NEAR(sample.g, 0.3f, 1e-6) << order;
        EXPECT_NEAR(sample.b, 0.6f, 1e-6) << order;
    }
}

TEST(FieldConstruction, SameSeedGivesSameScene)
{
    std::srand(2024);
    MetaballField a;
    std::srand(2024);
    MetaballField b;
    std::srand(2025);
    MetaballField c;
    EXPECT_TRUE(sameScene(a, b));
    EXPECT_FALSE(sameScene(a, c));
}

TEST(FieldConstruction, DrawsInItsFixedOrder)
{
    std::srand(5);
    const float k = 1000.0f / static_cast<float>(RAND_MAX);
    const float x = -500.0f + static_cast<float>(std::rand()) * k;
    const float y = -500.0f + static_cast<float>(std::rand()) * k;
    const float ax =
        -50.0f + static_cast<float>(std::rand()) * (100.0f / static_cast<float>(RAND_MAX));
    std::srand(5);
    MetaballField field;
    EXPECT_EQ(field.metaball(0).x, x);
    EXPECT_EQ(field.metaball(0).y, y);
    EXPECT_EQ(field.metaball(0).ax, ax);
}

TEST(FieldConstruction, EveryMetaballStartsInRangeWithAnAcceptedColour)
{
    for (unsigned seed : {1u, 77u, 31337u, 4000000000u})
    {
        std::srand(seed);
        MetaballField field;
        for (int i = 0; i < MetaballField::count; ++i)
        {
            const Metaball& m = field.metaball(i);
            SCOPED_TRACE(testing::Message() << "seed " << seed << " metaball " << i);
            EXPECT_GE(m.x, -500.0f);
            EXPECT_LE(m.x, 500.0f);
            EXPECT_GE(m.y, -500.0f);
            EXPECT_LE(m.y, 500.0f);
            EXPECT_EQ(m.vx, 0.0f);
            EXPECT_EQ(m.vy, 0.0f);
            EXPECT_LE(std::fabs(m.ax), 50.0f);
            EXPECT_LE(std::fabs(m.ay), 50.0f);
            EXPECT_GE(m.retargetTimer, 0.0f);
            EXPECT_LE(m.retargetTimer, 2.0f);
            EXPECT_GE(m.r + m.g + m.b, 1.0f);
            EXPECT_TRUE(m.r < 0.15f || m.g < 0.15f || m.b < 0.15f);
        }
    }
}

TEST(FieldMotion, ZeroStepChangesNothing)
{
    std::srand(8);
    MetaballField field;
    std::srand(8);
    MetaballField before;
    field.update(0.0f);
    EXPECT_TRUE(sameScene(field, before));
}

TEST_F(Field, TimerAtExactlyZeroWaitsForTheNextStep)
{
    Metaball& ball = field.metaball(4);
    ball.retargetTimer = 0.0f;
    ball.ax = 12.0f;
    ball.ay = -3.0f;
    field.update(0.0f);
    EXPECT_EQ(ball.retargetTimer, 0.0f);
    EXPECT_EQ(ball.ax, 12.0f);
    EXPECT_EQ(ball.ay, -3.0f);

    field.update(0.001f);
    EXPECT_GE(ball.retargetTimer, 2.0f);
    EXPECT_LE(ball.retargetTimer, 6.0f);
    EXPECT_LE(std::fabs(ball.ax), 75.0f);
    EXPECT_LE(std::fabs(ball.ay), 75.0f);
    EXPECT_NE(ball.ax, 12.0f);
}

TEST_F(Field, LeavingTheSquareComesBackOnTheOtherSide)
{
    const float positions[] = {-851.0f, 851.0f, -850.0f, 850.0f, 849.5f};
    const float wrappedTo[] = {850.0f, -850.0f, -850.0f, 850.0f, 849.5f};
    for (int i = 0; i < 5; ++i)
    {
        Metaball& ball = field.metaball(i);
        ball.x = positions[i];
        ball.y = positions[4 - i];
        ball.vx = 5.0f;
    }
    field.update(0.0f);
    for (int i = 0; i < 5; ++i)
    {
        EXPECT_EQ(field.metaball(i).x, wrappedTo[i]) << i;
        EXPECT_EQ(field.metaball(i).y, wrappedTo[4 - i]) << i;
        EXPECT_EQ(field.metaball(i).vx, 5.0f) << "velocity survives the wrap";
    }
}

TEST_F(Field, VelocityMovesBeforeItIsCapped)
{
    Metaball& fast = field.metaball(0);
    fast = Metaball{1, 0, 0, 0.0f, 0.0f, 300.0f, -300.0f, 100.0f, -100.0f, 10.0f};
    field.update(0.5f);
    // 300 + 100 * 0.5 = 350 moves it by 175, then the speed is held at 300.
    EXPECT_EQ(fast.x, 175.0f);
    EXPECT_EQ(fast.y, -175.0f);
    EXPECT_EQ(fast.vx, 300.0f);
    EXPECT_EQ(fast.vy, -300.0f);
    EXPECT_EQ(fast.retargetTimer, 9.5f);
}

TEST_F(Field, LongPauseIsOneLongStep)
{
    Metaball& ball = field.metaball(2);
    ball = Metaball{1, 0, 0, 0.0f, 0.0f, 100.0f, 0.0f, 0.0f, 0.0f, 100.0f};
    field.update(8.0f); // 800 units in one step, not capped by anything
    EXPECT_EQ(ball.x, 800.0f);
}

} // namespace
