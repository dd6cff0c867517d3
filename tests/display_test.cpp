// Runs on a real X server (the test is started under a private Xvfb) with the system GL.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_opengl.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/Display.h"
#include "app/FrameLoop.h"
#include "app/Viewports.h"
#include "field/MetaballField.h"
#include "platform/Platform.h"
#include "render/ContourRenderer.h"

namespace
{

class Display : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { setupDisplay(); }

    void SetUp() override
    {
        drainEvents();
        int dx, dy;
        SDL_GetRelativeMouseState(&dx, &dy);
        reshape(screen()->w, screen()->h);
    }

    static SDL_Surface* screen() { return SDL_GetVideoSurface(); }

    static void drainEvents()
    {
        SDL_Event event;
        while (SDL_PollEvent(&event))
        {
        }
    }

    static void push(SDL_Event event) { ASSERT_EQ(SDL_PushEvent(&event), 0); }

    static SDL_Event escape()
    {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.type = SDL_KEYDOWN;
        event.key.keysym.sym = SDLK_ESCAPE;
        return event;
    }

    static SDL_Event resize(int w, int h)
    {
        SDL_Event event{};
        event.type = SDL_VIDEORESIZE;
        event.resize.type = SDL_VIDEORESIZE;
        event.resize.w = w;
        event.resize.h = h;
        return event;
    }

    static SDL_Event button(Uint8 type, Uint8 which)
    {
        SDL_Event event{};
        event.type = type;
        event.button.type = type;
        event.button.button = which;
        return event;
    }

    static std::vector<GLint> viewport()
    {
        std::vector<GLint> box(4);
        glGetIntegerv(GL_VIEWPORT, box.data());
        return box;
    }

    // RGB of the back buffer, bottom row first.
    static std::vector<unsigned char> backBuffer()
    {
        std::vector<unsigned char> pixels(3u * screen()->w * screen()->h);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, screen()->w, screen()->h, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    MetaballField field;
    ContourRenderer renderer{&field, 1.0f};
};

TEST_F(Display, OpensTheDesktopsOwnModeFullScreen)
{
    ASSERT_NE(screen(), nullptr);
    EXPECT_EQ(screen()->w, 1280);
    EXPECT_EQ(screen()->h, 720);
    EXPECT_TRUE(screen()->flags & SDL_OPENGL);
    // SDL's full-screen mode, or a plain window of the desktop's size where that mode would not
    // do: several monitors, or on X11 no window manager to answer it (this test's server has none).
    EXPECT_EQ((screen()->flags & SDL_FULLSCREEN) != 0, !platform::fullScreenMode().plainWindow);
    int doubleBuffered = 0;
    SDL_GL_GetAttribute(SDL_GL_DOUBLEBUFFER, &doubleBuffered);
    EXPECT_EQ(doubleBuffered, 1);

    char* caption = nullptr;
    SDL_WM_GetCaption(&caption, nullptr);
    ASSERT_NE(caption, nullptr);
    EXPECT_STREQ(caption, "Vornelle");
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
}

TEST_F(Display, ProjectionStretchesTheWorldSquareOverTheViewport)
{
    EXPECT_EQ(viewport(), (std::vector<GLint>{0, 0, 1280, 720}));
    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    // GL keeps its matrices in single precision.
    EXPECT_FLOAT_EQ(projection[0], 1.0f / 500.0f);
    EXPECT_FLOAT_EQ(projection[5], 1.0f / 500.0f);
    EXPECT_FLOAT_EQ(projection[10], -1.0f);
    EXPECT_FLOAT_EQ(projection[12], 0.0f);
    EXPECT_FLOAT_EQ(projection[13], 0.0f);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
}

TEST_F(Display, TakesOneEventPerFrame)
{
    push(resize(640, 480));
    push(escape());
    FrameClock clock;
    EXPECT_TRUE(runFrame(field, renderer, clock)); // the resize, and a frame drawn
    EXPECT_EQ(viewport(), (std::vector<GLint>{0, 0, 640, 480}));
    EXPECT_FALSE(runFrame(field, renderer, clock)); // the Escape, one frame later
}

// Which buttons end a run is handleEventEndsRun's, tested beside the other exit rules.
TEST_F(Display, ATapWaitingBehindAnotherEventEndsTheRun)
{
    FrameClock clock;
    push(resize(800, 600));
    push(button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT));
    push(button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT));
    EXPECT_FALSE(runFrame(field, renderer, clock));
    EXPECT_EQ(viewport(), (std::vector<GLint>{0, 0, 800, 600})); // taken before the tap
    SDL_Event next{};
    ASSERT_EQ(SDL_PollEvent(&next), 1);
    EXPECT_EQ(next.type, SDL_MOUSEBUTTONDOWN); // the tap is still queued, in its place
}

TEST_F(Display, QuitRequestEndsAndOtherKeysDoNot)
{
    SDL_Event space = escape();
    space.key.keysym.sym = SDLK_SPACE;
    push(space);
    FrameClock clock;
    EXPECT_TRUE(runFrame(field, renderer, clock));
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    push(quit);
    EXPECT_FALSE(runFrame(field, renderer, clock));
}

TEST_F(Display, LoneMetaballIsDrawnAsARingAroundItsCentre)
{
    for (int i = 0; i < MetaballField::count; ++i)
        field.metaball(i) = Metaball{0.0f, 1.0f, 0.0f, 1e7f, 1e7f, 0, 0, 0, 0, 10};
    field.metaball(0).x = 0.0f;
    field.metaball(0).y = 0.0f;

    glClear(GL_COLOR_BUFFER_BIT);
    renderer.draw();
    const std::vector<unsigned char> pixels = backBuffer();
    const auto green = [&](int x, int y)
    {
        bool any = false;
        for (int dy = -2; dy <= 2; ++dy) // the ring is two pixels wide; allow for rounding
            for (int dx = -2; dx <= 2; ++dx)
            {
                const unsigned char* p = &pixels[3u * ((y + dy) * 1280u + (x + dx))];
                any = any || (p[1] > 100 && p[0] < 60 && p[2] < 60);
            }
        return any;
    };
    // Radius 75 world units is 96 px across and 54 px up on a 1280 x 720 screen; the ring
    // sits one unit left of and below the centre.
    const int cx = 640 - 1, cy = 360 - 1;
    EXPECT_TRUE(green(cx + 96, cy));
    EXPECT_TRUE(green(cx - 96, cy));
    EXPECT_TRUE(green(cx, cy + 54));
    EXPECT_TRUE(green(cx, cy - 54));
    EXPECT_FALSE(green(cx, cy));
    EXPECT_FALSE(green(cx + 150, cy));
}

TEST_F(Display, FrameOfARandomSceneIsContoursOnBlack)
{
    std::srand(3);
    MetaballField scene;
    ContourRenderer sceneRenderer(&scene, 1.0f);
    for (int frame = 0; frame < 600; ++frame) // ten seconds: spread out past the crowded start
        scene.update(1.0f / 60.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    sceneRenderer.draw();
    const std::vector<unsigned char> pixels = backBuffer();
    size_t black = 0;
    for (size_t i = 0; i < pixels.size(); i += 3)
        black += pixels[i] == 0 && pixels[i + 1] == 0 && pixels[i + 2] == 0;
    const size_t total = pixels.size() / 3;
    EXPECT_GT(black, total * 9 / 10);
    EXPECT_LT(black, total - 1000);
}

TEST_F(Display, EveryMonitorShowsTheWholePictureStretchedToItsOwnShape)
{
    for (int i = 0; i < MetaballField::count; ++i)
        field.metaball(i) = Metaball{0.0f, 1.0f, 0.0f, 1e7f, 1e7f, 0, 0, 0, 0, 10};
    field.metaball(0).x = 0.0f;
    field.metaball(0).y = 0.0f;

    // A tall monitor on the left, a wide one on the top right; below it, no monitor at all.
    MonitorViewports monitors(1280, 720);
    monitors.takeMonitors({{0, 0, 640, 720}, {640, 0, 640, 360}});
    glClear(GL_COLOR_BUFFER_BIT);
    monitors.draw(renderer);
    EXPECT_EQ(viewport(), (std::vector<GLint>{0, 0, 1280, 720}));

    const std::vector<unsigned char> pixels = backBuffer();
    const auto lit = [&](int x, int y) // bottom-up, as GL counts rows
    {
        bool any = false;
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                any = any || pixels[3u * ((y + dy) * 1280u + (x + dx)) + 1] > 100;
        return any;
    };
    // Radius 75 of 1000 world units: 48 px across on both monitors; 54 px up on the tall one,
    // 27 on the wide one. Centres at (320, 360) and (960, 540) counted from the bottom left.
    struct Ring
    {
        int cx, cy, rx, ry;
    };
    for (const Ring ring : {Ring{319, 359, 48, 54}, Ring{959, 539, 48, 27}})
    {
        EXPECT_TRUE(lit(ring.cx + ring.rx, ring.cy)) << ring.cx;
        EXPECT_TRUE(lit(ring.cx - ring.rx, ring.cy)) << ring.cx;
        EXPECT_TRUE(lit(ring.cx, ring.cy + ring.ry)) << ring.cx;
        EXPECT_TRUE(lit(ring.cx, ring.cy - ring.ry)) << ring.cx;
        EXPECT_FALSE(lit(ring.cx, ring.cy)) << ring.cx;
    }
    size_t litBelowTheWideMonitor = 0;
    for (int y = 0; y < 360; ++y)
        for (int x = 640; x < 1280; ++x)
            litBelowTheWideMonitor += pixels[3u * (y * 1280u + x) + 1] != 0;
    EXPECT_EQ(litBelowTheWideMonitor, 0u);
}

} // namespace
