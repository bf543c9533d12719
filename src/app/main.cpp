#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <memory>

#include "app/batch_run.h"
#include "app/tarnwick_app.h"
#include "platform/end_process.h"
#include "ui/message_box_service.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Tarnwick");

    QCommandLineParser parser;
    parser.setApplicationDescription("Runs a Roland MDX-40 or JWX-10 desktop mill.");
    parser.addHelpOption();
    const QCommandLineOption add("add", "Adds FILE to the run list (repeatable).", "FILE");
    const QCommandLineOption run("run", "Presses Run once the window is up.");
    const QCommandLineOption quit("quit-when-done",
                                  "Closes the program when the job has finished; the exit code "
                                  "is 0 when every file ran to the end, 2 for a refused file, "
                                  "3 for a lost machine, 4 for Stop, 5 when the machine's print "
                                  "queue (or, without one, the driver library) did not pass a "
                                  "file on to the machine.");
    const QCommandLineOption screenshot("screenshot", "Saves the window as PNG when the job ends.",
                                        "PNG");
    const QCommandLineOption machineType(
        "machine-type", "On a fresh installation: 0 Roland JWX-10, 1 Roland MDX-40.", "TYPE");
    parser.addOptions({add, run, quit, screenshot, machineType});
    parser.process(application);

    BatchOptions options;
    for (const QString& file : parser.values(add)) options.files.push_back(file.toStdString());
    options.run = parser.isSet(run);
    options.quitWhenDone = parser.isSet(quit);
    options.screenshot = parser.value(screenshot).toStdString();

    CTarnwickApp app;
    if (parser.isSet(machineType)) app.presetMachineType = parser.value(machineType).toInt();
    BatchOutcome outcome = BatchOutcome::Finished;
    // A run that closes by itself must not stop at a message box.
    if (options.quitWhenDone) ui::SetMessageBoxService(ConsoleMessageBoxes());
    if (options.Active()) {
        // Owned by the window, which deletes it when it closes.
        app.onMainWindowCreated = [&](CTarnwickDlg& window) {
            new BatchRun(window, options, outcome);
        };
    }
    const int result = app.InitInstance();
    const int exitCode = options.Active() ? BatchExitCode(outcome, result) : result == -1 ? 1 : 0;
    // A command thread stuck in the driver still uses what returning would destroy.
    if (app.ThreadAbandoned()) platform::EndProcess(exitCode);
    return exitCode;
}
