#pragma once
// CPageTabCtrl: the main window's tab control with its three pages, "Run",
// "Jog" and "Setup". The jog and setup pages stay empty until they are built.
#include <QObject>

#include "jobs/run_page.h"

class QTabWidget;

class CPageTabCtrl : public QObject {
    Q_OBJECT
public:
    // Creates the pages in `tabs`, in order, and shows the first.
    CPageTabCtrl(QTabWidget& tabs, RunPageLinks runPageLinks);

    CRunPage& RunPage() { return *m_runPage; }
    ui::Dialog& JogPage() { return *m_jogPage; }
    ui::Dialog& SetupPage() { return *m_setupPage; }
    int VisiblePage() const;

    static constexpr int kPageCount = 3;

private:
    QTabWidget& m_tabs;
    CRunPage* m_runPage;
    ui::Dialog* m_jogPage;
    ui::Dialog* m_setupPage;
};
