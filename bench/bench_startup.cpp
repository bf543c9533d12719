// Time from the main window's start-up (port, settings, thread, controls) to
// the first machine position on the display, against the simulated machine.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <filesystem>

#include "app/main_window_ids.h"
#include "app/tarnwick_dlg.h"
#include "config/configuration.h"
#include "pages/status_label.h"
#include "platform/program_folder.h"
#include "service/log_file.h"

namespace {

void BM_StartUpToFirstPosition(benchmark::State& state) {
    char pattern[] = "/tmp/tarnwick-bench-XXXXXX";
    const std::string folder = std::string(mkdtemp(pattern)) + "/";
    std::filesystem::create_symlink(TARNWICK_PROGRAM_DIR "/RDUPSLT.DLL", folder + "RDUPSLT.DLL");
    platform::SetProgramFolder(folder);
    int run = 0;
    for (auto _ : state) {
        // A machine of its own each time, started by the driver as the program starts.
        const std::string machine = folder + "m" + std::to_string(run++);
        std::filesystem::create_directory(machine);
        setenv("TARNWICK_SIM_DIR", machine.c_str(), 1);
        Configuration config(folder);
        LogFile log;
        QElapsedTimer timer;
        timer.start();
        CTarnwickDlg window(config, log);
        window.InitDialog();
        window.show();
        // Z is at the top at power-on: "105.00" once the first position is shown.
        while (window.Control<CStatusLabel>(IDC_POS_Z)->Text() != "105.00") {
            QApplication::processEvents(QEventLoop::AllEvents, 1);
            if (timer.elapsed() > 10000) {
                state.SkipWithError("no position within 10 s");
                break;
            }
        }
        state.SetIterationTime(timer.nsecsElapsed() * 1e-9);
        window.hide();
        window.State().closingAcknowledged = true;  // closed as with "Close": no box
        window.OnDestroy();
    }
    platform::SetProgramFolder("");
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_StartUpToFirstPosition)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
