#pragma once
// CPageTabCtrl: the main window's tab control with its three pages, "Run",
// "Jog" and "Setup". The setup page stays empty until it is built.
#include <QObject>

#include "jobs/jog_page.h"
#include "jobs/run_page.h"

class QTabWidget;

class CPageTabCtrl : public QObject {
    Q_OBJECT
public:
    // Creates the pages in `tabs`, in order, and shows the first.
    CPageTabCtrl(QTabWidget& tabs, RunPageLinks runPageLinks, JogPageLinks jogPageLinks);

    CRunPage& RunPage() { return *m_runPage; }
    CJogPage& JogPage() { return *m_jogPage; }
    ui::Dialog& SetupPage() { return *m_setupPage; }
    int VisiblePage() const;

    static constexpr int kPageCount = 3;

private:
    QTabWidget& m_tabs;
    CRunPage* m_runPage;
    CJogPage* m_jogPage;
    ui::Dialog* m_setupPage;
};
