#include "field/MetaballSum.h"

namespace metaball_sum
{

FieldSample oneByOne(const Metaball* balls, const Vec2& point)
{
    float total = 0.0f;
    float r = 0.0f, g = 0.0f, b = 0.0f;
    for (int i = 0; i < MetaballField::count; ++i)
    {
        const Metaball& ball = balls[i];
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

void rowOneByOne(const Metaball* balls, float y, const float* xs, int count, FieldSample* out)
{
    for (int i = 0; i < count; ++i)
        out[i] = oneByOne(balls, Vec2{xs[i], y});
}

void fastestRow(const Metaball* balls, float y, const float* xs, int count, FieldSample* out)
{
    static const RowSum chosen = []
    {
        RowWay ways[kMostRowWays];
        return ways[rowWaysThatRunHere(ways) - 1].sum;
    }();
    chosen(balls, y, xs, count, out);
}

} // namespace metaball_sum
