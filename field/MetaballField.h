// The scene: 35 coloured metaballs drifting over the world and the field they make.
// Each metaball adds (75 / d)^2 at distance d, so a lone one has a level-1 contour of radius 75.
// Reads the C library's rand(), which the caller must have seeded; draws nothing itself.
#pragma once

#include "field/ScalarField.h"

struct Metaball
{
    float r, g, b;       // colour, 0..1
    float x, y;          // position, world units, kept within -850..850
    float vx, vy;        // velocity, world units per second, kept within -300..300
    float ax, ay;        // acceleration, world units per second squared
    float retargetTimer; // seconds left before a new acceleration is drawn
};

class MetaballField : public ScalarField
{
public:
    static constexpr int count = 35;

    // Places the metaballs at random; the order of the rand() calls is fixed, so a seed
    // always yields the same scene.
    MetaballField();
    ~MetaballField() override;
    MetaballField(const MetaballField&) = delete;
    MetaballField& operator=(const MetaballField&) = delete;

    FieldSample evaluate(const Vec2& point) const override;
    // The same bits as evaluate at each point, several points at a time in vector lanes.
    void evaluateRow(float y, const float* xs, int count, FieldSample* samples) const override;

    // Moves every metaball by dt seconds; dt is used as given, however long.
    void update(float dt);

    Metaball& metaball(int index) { return metaballs[index]; }
    const Metaball& metaball(int index) const { return metaballs[index]; }

private:
    Metaball* metaballs;
};
