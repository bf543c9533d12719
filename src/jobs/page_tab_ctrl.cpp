#include "jobs/page_tab_ctrl.h"

#include <QTabWidget>

CPageTabCtrl::CPageTabCtrl(QTabWidget& tabs, RunPageLinks runPageLinks, JogPageLinks jogPageLinks,
                           SetupLinks setupLinks)
    : QObject(&tabs),
      m_tabs(tabs),
      m_runPage(new CRunPage(std::move(runPageLinks))),
      m_jogPage(new CJogPage(std::move(jogPageLinks))),
      m_setupPage(new CSetupPage(std::move(setupLinks))) {
    // The tab widget owns the pages from here on; it sizes and switches them.
    const std::pair<ui::Dialog*, const char*> pages[] = {
        {m_runPage, "Run"}, {m_jogPage, "Jog"}, {m_setupPage, "Setup"}};
    for (auto [page, title] : pages) {
        page->InitDialog();
        tabs.addTab(page, tr(title));
    }
    tabs.setCurrentIndex(0);
    // The page switched to takes the keyboard focus, as a click on its tab asks.
    connect(&tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (QWidget* page = m_tabs.widget(index)) page->setFocus();
    });
}

int CPageTabCtrl::VisiblePage() const { return m_tabs.currentIndex(); }
