// Drawing the toolpath of a 100 MB job (about six million commands) while the
// operator turns the view: one frame's time, and the frames per second that
// gives. Needs a display with OpenGL (bench/.. under scripts/with_display.sh).
//
// TARNWICK_BENCH_TOOLPATH_FILE names the job file; without it one is made in /tmp.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

#include "job_text.h"
#include "jobs/path_vertices.h"
#include "jobs/preview_wnd.h"
#include "jobs/toolpath.h"

namespace {

std::string JobPath() {
    const char* env = std::getenv("TARNWICK_BENCH_TOOLPATH_FILE");
    return env && *env ? env : "/tmp/tarnwick-bench-toolpath-100M.rml";
}

void BM_ThinForScreen(benchmark::State& state) {
    if (!bench::MakeJobFile(JobPath(), 100'000'000)) return state.SkipWithError("no job file");
    const auto toolpath = jobs::ReadToolpath(JobPath(), {});
    std::size_t vertices = 0;
    for (auto _ : state) vertices = jobs::ThinForScreen(*toolpath).Count();
    state.counters["moves"] = double(toolpath->MoveCount());
    state.counters["vertices"] = double(vertices);
}
BENCHMARK(BM_ThinForScreen)->Unit(benchmark::kMillisecond)->Iterations(3);

// Turns the view a little and draws a frame, for as long as the benchmark asks.
void DrawWhileTurning(benchmark::State& state, std::shared_ptr<const jobs::Toolpath> toolpath) {
    auto vertices = std::make_shared<const jobs::PathVertices>(jobs::ThinForScreen(*toolpath));
    CPreviewWnd panel;
    panel.show();
    if (!QTest::qWaitForWindowExposed(&panel) || !panel.IsRendering())
        return state.SkipWithError("no OpenGL here: run under scripts/with_display.sh");
    panel.SetPaths({{toolpath, vertices}});
    panel.SetCommandsDone(toolpath->CommandCount() / 2);
    panel.SetTool(jobs::PathPoint{5, 15, 0, 0});
    QPointF at(100, 100);
    QMouseEvent press(QEvent::MouseButtonPress, at, at, Qt::LeftButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(&panel, &press);
    for (auto _ : state) {
        at += QPointF(1, 0.5);
        QMouseEvent move(QEvent::MouseMove, at, at, Qt::NoButton, Qt::LeftButton, {});
        QCoreApplication::sendEvent(&panel, &move);
        // Renders the frame and waits for it (reading back a panel's pixels costs little).
        benchmark::DoNotOptimize(panel.grabFramebuffer());
    }
    state.counters["vertices"] = double(vertices->Count());
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// The 100 MB job: millions of short moves in a small field, thinned hard.
void BM_DrawWhileTurning(benchmark::State& state) {
    if (!bench::MakeJobFile(JobPath(), 100'000'000)) return state.SkipWithError("no job file");
    DrawWhileTurning(state,
                     std::make_shared<const jobs::Toolpath>(*jobs::ReadToolpath(JobPath(), {})));
}
BENCHMARK(BM_DrawWhileTurning)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

// The most a path is drawn with: a spiral whose every corner stays.
void BM_DrawAtTheBound(benchmark::State& state) {
    std::string job = "PA;PD";
    for (std::size_t i = 0; i < jobs::PathVertices::kMaxVertices; ++i) {
        const double r = 1000 + i * 0.2, angle = i * 0.05;
        job += std::to_string(int(r * std::cos(angle))) + "," +
               std::to_string(int(r * std::sin(angle))) + ",";
    }
    job += "0,0;";
    DrawWhileTurning(state, std::make_shared<const jobs::Toolpath>(jobs::ToolpathOf(job, {})));
}
BENCHMARK(BM_DrawAtTheBound)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
