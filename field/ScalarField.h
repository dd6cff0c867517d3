// A scalar field with colour: anything the contour renderer can sample.
// Coordinates are world units; the renderer samples the square -500..505 on both axes.
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
};
