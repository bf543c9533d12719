#pragma once
// CPageTabCtrl: the main window's tab control with its three pages, "Run",
// "Jog" and "Setup".
#include <QObject>

#include "jobs/jog_page.h"
#include "jobs/run_page.h"
#include "pages/setup_page.h"

class QTabWidget;

class CPageTabCtrl : public QObject {
    Q_OBJECT
public:
    // Creates the pages in `tabs`, in order, and shows the first.
    CPageTabCtrl(QTabWidget& tabs, RunPageLinks runPageLinks, JogPageLinks jogPageLinks,
                 SetupLinks setupLinks);

    CRunPage& RunPage() { return *m_runPage; }
    CJogPage& JogPage() { return *m_jogPage; }
    CSetupPage& SetupPage() { return *m_setupPage; }
    int VisiblePage() const;

    static constexpr int kPageCount = 3;

private:
    QTabWidget& m_tabs;
    CRunPage* m_runPage;
    CJogPage* m_jogPage;
    CSetupPage* m_setupPage;
};
