// A scalar field with colour: anything the contour renderer can sample.
// Coordinates are world units; the renderer samples -500..505 on both axes (68 points 15 apart),
// a little past the square -500..500 that the projection shows.
#pragma once

// A point in world coordinates.
struct Vec2
{
    float x;
    float y;
};

// The field at one point: its value (never negative) and its colour (each component 0..1).
struct FieldSample
{
    float value;
    float r;
    float g;
    float b;
};

class ScalarField
{
public:
    // Must not change the field: the renderer calls it thousands of times per frame.
    virtual FieldSample evaluate(const Vec2& point) const = 0;
    virtual ~ScalarField() = default;

    // A run of count points at one height: point i is (xs[i], y) and its sample goes to
    // samples[i], exactly what evaluate gives there. The renderer asks a lattice row at a time,
    // so a field that can share work between neighbouring points does it here. Declared after
    // the destructor so that the slots of evaluate and the destructor stay where they were.
    virtual void evaluateRow(float y, const float* xs, int count, FieldSample* samples) const
    {
        for (int i = 0; i < count; ++i)
            samples[i] = evaluate(Vec2{xs[i], y});
    }
};
