#include "field/MetaballField.h"

#include <cstdlib>

namespace
{

const float kFieldNumerator = 5625.0f; // 75^2
const float kSmallestSquaredDistance = 0.0000001f;
const float kColourWeightCutoff = 0.15f;
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
    float total = 0.0f;
    float r = 0.0f, g = 0.0f, b = 0.0f;
    for (int i = 0; i < count; ++i)
    {
        const Metaball& ball = metaballs[i];
        const float dx = point.x - ball.x;
        const float dy = point.y - ball.y;
        float d2 = dx * dx + dy * dy;
        if (d2 == 0.0f)
            d2 = kSmallestSquaredDistance;
        const float contribution = kFieldNumerator / d2;
        total = total + contribution;
        // Weighed against the running total: a later metaball must dominate what came
        // before it to tint the colour.
        const float weight = contribution / total;
        if (weight > kColourWeightCutoff)
        {
            r = (1.0f - weight) * r + weight * ball.r;
            g = (1.0f - weight) * g + weight * ball.g;
            b = (1.0f - weight) * b + weight * ball.b;
        }
    }
    return FieldSample{total, r, g, b};
}

void MetaballField::update(float dt)
{
    for (int i = 0; i < count; ++i)
        advance(metaballs[i], dt);
}
