// Draws the iso-contour of a ScalarField as smooth-shaded OpenGL 1.1 line segments (marching
// squares on a 68 x 68 lattice from -500 to 505 on both axes, 15 world units apart, a little
// past the square -500..500 that the projection shows).
// Needs a current GL context with the world projection in place; knows nothing of windows,
// input or what the field is made of. Sets its own line state and restores nothing.
#pragma once

class ScalarField;

class ContourRenderer
{
public:
    // function is not owned and must outlive the renderer. Makes no GL calls.
    ContourRenderer(ScalarField* function, float threshold);
    virtual ~ContourRenderer() = default;

    // Samples the field afresh and draws its contour at the threshold.
    void draw();

private:
    ScalarField* function;
    float threshold;
};
