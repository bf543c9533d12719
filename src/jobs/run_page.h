#pragma once
// CRunPage: the run list of job files, Run, the overrides, tool detection,
// and the progress the command thread reports.
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ui/dialog.h"

class Configuration;
class SharedState;
class CPreviewWnd;
class CToolpathLibrary;
namespace jobs {
struct MachineLimits;
}

// What the run page needs of the main window.
struct RunPageLinks {
    SharedState& state;
    Configuration& config;
    // The main window's tool detection request (with its refusal box).
    std::function<bool()> requestToolDetection;
    // Shows fixture `index` as selected on the main window.
    std::function<void(int index)> showSelectedFixture;
};

class CRunPage : public ui::Dialog {
    Q_OBJECT
public:
    explicit CRunPage(RunPageLinks links, QWidget* parent = nullptr);
    ~CRunPage() override;

    // The open-file dialog; tests replace it. Returns the chosen path, or
    // empty when the operator cancels.
    using FileChooser = std::function<std::string(QWidget* parent)>;
    static void SetFileChooser(FileChooser chooser);

    void OnAdd();
    void OnDelete();
    void OnRun();
    // Lists the run list as it stands (files added other than by Add).
    void ShowRunList();
    CPreviewWnd* Preview() const { return m_preview; }
    CToolpathLibrary& Toolpaths() const { return *m_toolpaths; }
    // Machine minutes the run list still needs after `commandsDone` commands,
    // at the feed override; nothing while a file is read or at a feed of 0.
    std::optional<double> MinutesLeftAfter(std::uint32_t commandsDone) const;

    static constexpr const char* kFilter =
        "PRN File (*.prn);;NC File (*.tap *.nc);;Text File (*.txt);;All Files (*)";
    static constexpr const char* kDefaultExtension = "prn";

protected:
    void OnInitDialog() override;

private:
    void AddListEntry(const std::string& path);
    std::vector<std::string> Paths() const;
    jobs::MachineLimits Limits() const;
    void ShowToolpathRead(const QString& path);
    void ShowTimeLeft();
    void ShowPaths();
    // The preview follows the machine: what it has done, where the tool is.
    void FollowMachine();
    std::uint32_t CommandsDone() const;  // of this run, as far as the machine has got
    void OnOverrideReleased(int trackbarId, int labelId);

    RunPageLinks m_links;
    CPreviewWnd* m_preview = nullptr;
    std::unique_ptr<CToolpathLibrary> m_toolpaths;
    QTimer m_followTimer;
};
