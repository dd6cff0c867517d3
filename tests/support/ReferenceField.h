// The field evaluated the plain way, one metaball after another, exactly as written down:
// the yardstick every faster evaluation must match bit for bit.
#pragma once

#include "field/MetaballField.h"

inline FieldSample referenceEvaluate(const MetaballField& field, const Vec2& point)
{
    float total = 0.0f;
    float r = 0.0f, g = 0.0f, b = 0.0f;
    for (int i = 0; i < MetaballField::count; ++i)
    {
        const Metaball& ball = field.metaball(i);
        const float dx = point.x - ball.x;
        const float dy = point.y - ball.y;
        float d2 = dx * dx + dy * dy;
        if (d2 == 0.0f)
            d2 = 0.0000001f;
        const float contribution = 5625.0f / d2;
        total = total + contribution;
        const float weight = contribution / total;
        if (weight > 0.15f)
        {
            r = (1.0f - weight) * r + weight * ball.r;
            g = (1.0f - weight) * g + weight * ball.g;
            b = (1.0f - weight) * b + weight * ball.b;
        }
    }
    return FieldSample{total, r, g, b};
}
