#include "field/MetaballField.h"

#include <cstdlib>

#include "field/MetaballSum.h"

namespace
{

const float kStartPositionRange = 500.0f;
const float kStartAccelerationRange = 50.0f;
const float kStartRetargetSeconds = 2.0f;
const float kAccelerationRange = 75.0f;
const float kMinRetargetSeconds = 2.0f;
const float kMaxRetargetSeconds = 6.0f;
const float kSpeedCap = 300.0f;
const float kWrapLimit = 850.0f;
const float kTintedChannel = 0.15f;

// One rand() call, scaled into a..b in single precision.
float uniform(float a, float b)
{
    const float k = (b - a) / static_cast<float>(RAND_MAX);
    return a + static_cast<float>(std::rand()) * k;
}

// Bright enough (sum at least 1) and strongly tinted (some channel below 0.15).
bool isAcceptedColour(const Metaball& ball)
{
    const bool tooDark = ball.r + ball.g + ball.b < 1.0f;
    const bool greyish =
        ball.r >= kTintedChannel && ball.g >= kTintedChannel && ball.b >= kTintedChannel;
    return !tooDark && !greyish;
}

void drawColour(Metaball& ball)
{
    ball.r = ball.g = ball.b = 0.0f;
    while (!isAcceptedColour(ball))
    {
        ball.r = uniform(0.0f, 1.0f);
        ball.g = uniform(0.0f, 1.0f);
        ball.b = uniform(0.0f, 1.0f);
    }
}

void placeAtRandom(Metaball& ball)
{
    ball.x = uniform(-kStartPositionRange, kStartPositionRange);
    ball.y = uniform(-kStartPositionRange, kStartPositionRange);
    ball.vx = 0.0f;
    ball.vy = 0.0f;
    ball.ax = uniform(-kStartAccelerationRange, kStartAccelerationRange);
    ball.ay = uniform(-kStartAccelerationRange, kStartAccelerationRange);
    ball.retargetTimer = uniform(0.0f, kStartRetargetSeconds);
    drawColour(ball);
}

float capped(float speed)
{
    if (speed < -kSpeedCap)
        speed = -kSpeedCap;
    if (speed > kSpeedCap)
        speed = kSpeedCap;
    return speed;
}

// Leaving the square on one side brings a metaball back on the other.
float wrapped(float position)
{
    if (position < -kWrapLimit)
        position = kWrapLimit;
    if (position > kWrapLimit)
        position = -kWrapLimit;
    return position;
}

void advance(Metaball& ball, float dt)
{
    ball.vx = ball.vx + ball.ax * dt;
    ball.vy = ball.vy + ball.ay * dt;
    // The position moves with the new velocity before it is capped.
    ball.x = ball.x + ball.vx * dt;
    ball.y = ball.y + ball.vy * dt;
    ball.vx = capped(ball.vx);
    ball.vy = capped(ball.vy);
    ball.x = wrapped(ball.x);
    ball.y = wrapped(ball.y);

    ball.retargetTimer = ball.retargetTimer - dt;
    if (ball.retargetTimer < 0.0f)
    {
        ball.retargetTimer = uniform(kMinRetargetSeconds, kMaxRetargetSeconds);
        ball.ax = uniform(-kAccelerationRange, kAccelerationRange);
        ball.ay = uniform(-kAccelerationRange, kAccelerationRange);
    }
}

} // namespace

MetaballField::MetaballField() : metaballs(new Metaball[count]())
{
    for (int i = 0; i < count; ++i)
        placeAtRandom(metaballs[i]);
}

MetaballField::~MetaballField()
{
    delete[] metaballs;
}

FieldSample MetaballField::evaluate(const Vec2& point) const
{
    return metaball_sum::oneByOne(metaballs, point);
}

void MetaballField::evaluateRow(float y, const float* xs, int count, FieldSample* samples) const
{
    metaball_sum::fastestRow(metaballs, y, xs, count, samples);
}

void MetaballField::update(float dt)
{
    for (int i = 0; i < count; ++i)
        advance(metaballs[i], dt);
}
