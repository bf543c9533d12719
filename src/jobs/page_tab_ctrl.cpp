#include "jobs/page_tab_ctrl.h"

#include <QTabWidget>

#include "jobs/run_page_ids.h"

namespace {

// A page not built yet: the right size, nothing on it.
ui::Dialog* EmptyPage(int templateId) {
    ui::DialogTemplate t;
    t.id = templateId;
    t.width = 254;
    t.height = 209;
    t.flags = ui::kChild;
    return new ui::Dialog(t);
}

}  // namespace

CPageTabCtrl::CPageTabCtrl(QTabWidget& tabs, RunPageLinks runPageLinks, JogPageLinks jogPageLinks)
    : QObject(&tabs),
      m_tabs(tabs),
      m_runPage(new CRunPage(std::move(runPageLinks))),
      m_jogPage(new CJogPage(std::move(jogPageLinks))),
      m_setupPage(EmptyPage(IDD_SETUP_PAGE)) {
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
