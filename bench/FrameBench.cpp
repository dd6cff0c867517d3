// Per-frame cost of everything the screensaver computes, with GL calls sent to a sink that
// draws nothing. Prints one short table; every figure is the median of a few repetitions of
// CPU time, so other programs sharing the machine disturb it less than wall time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/LatticeSampling.h"
#include "field/MetaballField.h"
#include "render/ContourRenderer.h"

using namespace marching;

namespace
{

const unsigned kSeed = 20240611;
const float kFrameSeconds = 1.0f / 60.0f;
const int kWarmUpFrames = 600; // ten seconds of drift, so the scene no longer looks new
const int kRepetitions = 5;

// A scene that has been moving for a while, advanced by a frame on every iteration.
class MovingScene
{
public:
    MovingScene()
    {
        std::srand(kSeed);
        field = new MetaballField();
        for (int frame = 0; frame < kWarmUpFrames; ++frame)
            field->update(kFrameSeconds);
    }
    ~MovingScene() { delete field; }
    MovingScene(const MovingScene&) = delete;
    MovingScene& operator=(const MovingScene&) = delete;

    MetaballField& next()
    {
        field->update(kFrameSeconds);
        return *field;
    }

private:
    MetaballField* field;
};

// Gives back a lattice sampled once, so drawing it costs the cell pass and table look-ups.
class RecordedField : public ScalarField
{
public:
    explicit RecordedField(const LatticeSamples& samples) : samples(samples) {}

    FieldSample evaluate(const Vec2& point) const override
    {
        const int column = (static_cast<int>(point.x) - kFirstSample) / kSpacing;
        const int row = (static_cast<int>(point.y) - kFirstSample) / kSpacing;
        const int index = row * kSamplesPerSide + column;
        const Colour& colour = samples.colours[index];
        return FieldSample{samples.values[index], colour.r, colour.g, colour.b};
    }

private:
    const LatticeSamples& samples;
};

// Only the running total of 35 numbers, added in order: the one chain of dependent additions
// that any evaluate keeping the order must wait for, point after point.
class RunningTotalOnly : public ScalarField
{
public:
    explicit RunningTotalOnly(const MetaballField& field) : field(field) {}

    FieldSample evaluate(const Vec2& point) const override
    {
        float total = point.x;
        for (int i = 0; i < MetaballField::count; ++i)
            total = total + field.metaball(i).x;
        return FieldSample{total, 0.0f, 0.0f, 0.0f};
    }

private:
    const MetaballField& field;
};

// The scene as the renderer sampled it before it asked for whole rows: one evaluate call per
// point, through the interface's own row loop.
class PointByPoint : public ScalarField
{
public:
    explicit PointByPoint(const MetaballField& field) : field(field) {}

    FieldSample evaluate(const Vec2& point) const override { return field.evaluate(point); }

private:
    const MetaballField& field;
};

LatticeSamples& scratch()
{
    static LatticeSamples samples;
    return samples;
}

void recordScene(LatticeSamples& samples)
{
    MovingScene scene;
    sampleOnePointAtATime(scene.next(), samples);
}

void update(benchmark::State& state)
{
    MovingScene scene;
    for (auto _ : state)
        benchmark::DoNotOptimize(scene.next());
}

void sampleWith(benchmark::State& state, void (*sample)(const MetaballField&, LatticeSamples&))
{
    MovingScene scene;
    for (auto _ : state)
    {
        sample(scene.next(), scratch());
        benchmark::ClobberMemory();
    }
}

void throughInterface(const MetaballField& field, LatticeSamples& out)
{
    sampleLikeRenderer(field, out);
}

void runningTotalOnly(const MetaballField& field, LatticeSamples& out)
{
    sampleLikeRenderer(RunningTotalOnly(field), out);
}

void recordedLookUps(benchmark::State& state)
{
    static LatticeSamples recorded;
    recordScene(recorded);
    const RecordedField field(recorded);
    for (auto _ : state)
    {
        sampleLikeRenderer(field, scratch());
        benchmark::ClobberMemory();
    }
}

void recordedDraw(benchmark::State& state)
{
    static LatticeSamples recorded;
    recordScene(recorded);
    RecordedField field(recorded);
    ContourRenderer renderer(&field, 1.0f);
    for (auto _ : state)
        renderer.draw();
}

void frame(benchmark::State& state)
{
    MovingScene scene;
    ContourRenderer renderer(&scene.next(), 1.0f);
    for (auto _ : state)
    {
        scene.next();
        renderer.draw();
    }
}

void framePointByPoint(benchmark::State& state)
{
    MovingScene scene;
    PointByPoint field(scene.next());
    ContourRenderer renderer(&field, 1.0f);
    for (auto _ : state)
    {
        scene.next();
        renderer.draw();
    }
}

// Keeps every repetition's CPU time per iteration, in microseconds, by benchmark name.
class Collector : public benchmark::BenchmarkReporter
{
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                times[run.run_name.function_name].push_back(run.GetAdjustedCPUTime());
    }

    struct Figure
    {
        double median, low, high;
    };

    Figure figure(const std::string& name)
    {
        std::vector<double> all = times[name];
        if (all.empty())
            return Figure{0.0, 0.0, 0.0};
        std::sort(all.begin(), all.end());
        return Figure{all[all.size() / 2], all.front(), all.back()};
    }

private:
    std::map<std::string, std::vector<double>> times;
};

// Repeated, so the table can show how far apart the repetitions were.
void repeated(benchmark::internal::Benchmark* benchmark)
{
    benchmark->Unit(benchmark::kMicrosecond)->Repetitions(kRepetitions);
}

void registerAll()
{
    repeated(benchmark::RegisterBenchmark("update", update));
    repeated(benchmark::RegisterBenchmark("sampling", sampleWith, throughInterface));
    repeated(benchmark::RegisterBenchmark("yardstick", sampleWith, sampleRowsInVectorLanes));
    repeated(benchmark::RegisterBenchmark("plainLoop", sampleWith, sampleOnePointAtATime));
    repeated(benchmark::RegisterBenchmark("runningTotal", sampleWith, runningTotalOnly));
    repeated(benchmark::RegisterBenchmark("recordedLookUps", recordedLookUps));
    repeated(benchmark::RegisterBenchmark("recordedDraw", recordedDraw));
    repeated(benchmark::RegisterBenchmark("frame", frame));
    repeated(benchmark::RegisterBenchmark("framePointByPoint", framePointByPoint));
}

bool sameBits(const LatticeSamples& a, const LatticeSamples& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The yardstick is only a bound if it does exactly the shipped arithmetic.
void checkSameResults()
{
    static LatticeSamples plain, rows, points, lanes;
    MovingScene scene;
    const MetaballField& field = scene.next();
    sampleOnePointAtATime(field, plain);
    sampleLikeRenderer(field, rows);
    sampleLikeRenderer(PointByPoint(field), points);
    sampleRowsInVectorLanes(field, lanes);
    std::printf("bit for bit as the plain loop: evaluateRow %s, evaluate %s, yardstick %s\n",
                sameBits(plain, rows) ? "yes" : "NO", sameBits(plain, points) ? "yes" : "NO",
                sameBits(plain, lanes) ? "yes" : "NO");
}

void printRow(const char* label, const Collector::Figure& f)
{
    std::printf("  %-44s %8.1f   (%.1f .. %.1f)\n", label, f.median, f.low, f.high);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    registerAll();
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);

    const Collector::Figure sampled = collector.figure("sampling");
    const Collector::Figure bound = collector.figure("yardstick");
    const Collector::Figure plain = collector.figure("plainLoop");
    const Collector::Figure lookUps = collector.figure("recordedLookUps");
    const Collector::Figure drawn = collector.figure("recordedDraw");
    const Collector::Figure cells{drawn.median - lookUps.median, drawn.low - lookUps.high,
                                  drawn.high - lookUps.low};
    const Collector::Figure whole = collector.figure("frame");
    const Collector::Figure pointByPoint = collector.figure("framePointByPoint");

    std::printf("\nmicroseconds of CPU per frame: median of %d (lowest .. highest)\n",
                kRepetitions);
    printRow("MetaballField::update", collector.figure("update"));
    printRow("sampling: 68 rows via ScalarField::evaluateRow", sampled);
    std::string label = std::string("yardstick: rows in ") + vectorLanesInstructionSet() + " lanes";
    printRow(label.c_str(), bound);
    printRow("plain per-point loop, for comparison", plain);
    printRow("floor: only the 35 running-total additions", collector.figure("runningTotal"));
    printRow("cell pass, no-op GL", cells);
    printRow("whole frame: update + draw, no-op GL", whole);
    printRow("whole frame, sampled point by point as before", pointByPoint);
    std::printf("sampling / yardstick: %.2f (goal 1.15 or less); plain loop / yardstick: %.2f; "
                "floor / yardstick: %.2f\n",
                sampled.median / bound.median, plain.median / bound.median,
                collector.figure("runningTotal").median / bound.median);
    std::printf("whole frame / point by point: %.2f (goal 0.45 or less); cell pass and GL calls: "
                "%.0f%% of the whole frame\n",
                whole.median / pointByPoint.median, 100.0 * cells.median / whole.median);
    checkSameResults();
    return 0;
}
