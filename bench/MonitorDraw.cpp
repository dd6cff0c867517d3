// What drawing the picture on two monitors costs on the system GL, against one: the frame's
// segments recorded once in a display list and replayed per monitor (what the program does),
// or the renderer run afresh for each monitor, sampling the field each time. Opens the
// program's own full-screen display on DISPLAY; run it on a private X server (the benchmark
// script gives it a 2560x720 Xvfb). Prints milliseconds per frame, medians of wall time with
// glFinish, swaps left out; nothing passes or fails on a figure.
#include <SDL.h>
#include <SDL_opengl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "app/Display.h"
#include "app/Viewports.h"
#include "field/MetaballField.h"
#include "render/ContourRenderer.h"

namespace
{

const unsigned kSeed = 20240611;
const float kFrameSeconds = 1.0f / 60.0f;
const int kWarmUpFrames = 600;
const int kFramesPerRound = 200;
const int kRounds = 5;

using Clock = std::chrono::steady_clock;

// Median over rounds of the mean milliseconds per frame: update, clear, draw, glFinish.
double millisecondsPerFrame(MetaballField& field, const std::function<void()>& draw)
{
    std::vector<double> rounds;
    for (int round = 0; round < kRounds; ++round)
    {
        const Clock::time_point start = Clock::now();
        for (int frame = 0; frame < kFramesPerRound; ++frame)
        {
            glClear(GL_COLOR_BUFFER_BIT);
            field.update(kFrameSeconds);
            draw();
            glFinish();
        }
        const std::chrono::duration<double, std::milli> spent = Clock::now() - start;
        rounds.push_back(spent.count() / kFramesPerRound);
    }
    std::sort(rounds.begin(), rounds.end());
    return rounds[rounds.size() / 2];
}

} // namespace

int main(int, char**)
{
    std::srand(kSeed);
    MetaballField field;
    for (int frame = 0; frame < kWarmUpFrames; ++frame)
        field.update(kFrameSeconds);
    ContourRenderer renderer(&field, 1.0f);
    setupDisplay();
    const SDL_Surface* screen = SDL_GetVideoSurface();
    const int width = screen->w;
    const int height = screen->h;
    const std::vector<platform::PixelRect> halves = {{0, 0, width / 2, height},
                                                     {width / 2, 0, width - width / 2, height}};

    MonitorViewports oneMonitor(width, height);
    oneMonitor.takeMonitors({{0, 0, width, height}});
    MonitorViewports twoMonitors(width, height);
    twoMonitors.takeMonitors(halves);

    const double one = millisecondsPerFrame(field, [&] { oneMonitor.draw(renderer); });
    const double listed = millisecondsPerFrame(field, [&] { twoMonitors.draw(renderer); });
    const double traced =
        millisecondsPerFrame(field,
                             [&]
                             {
                                 glEnable(GL_SCISSOR_TEST);
                                 for (const platform::PixelRect& half : halves)
                                 {
                                     glViewport(half.x, half.y, half.width, half.height);
                                     glScissor(half.x, half.y, half.width, half.height);
                                     renderer.draw();
                                 }
                                 glDisable(GL_SCISSOR_TEST);
                                 glViewport(0, 0, width, height);
                             });

    std::printf("one frame at %dx%d, ms (median of %d rounds of %d frames, glFinish, no swap):\n",
                width, height, kRounds, kFramesPerRound);
    std::printf("  %-52s %7.3f\n", "one monitor: the renderer once", one);
    std::printf("  %-52s %7.3f\n", "two halves: recorded once, replayed per monitor", listed);
    std::printf("  %-52s %7.3f\n", "two halves: sampled and traced per monitor", traced);
    std::printf("replayed / traced: %.2f\n", listed / traced);
    return 0;
}
