// Showing and hiding the result pane, and its tab strip's views.

#include "designer/editor/DebugState.h"
#include "designer/editor/MainWindowLink.h"

#include <QPlainTextEdit>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>

namespace morvane {

void frmOrraDevelopment::ShowHideResultPane(bool show)
{
    MainWindowLink().SetToolbarButtonValue(QStringLiteral("ShowResultPane"), show ? 1 : 0);
    resultPane();
    m_resultPaneVisible = show;
    m_dbgTab->setVisible(show);
    if (m_splitter->count() > 1) m_splitter->handle(1)->setVisible(show);
    if (show) dbgTab_Click();
}

// The tab widget shows the view of the selected tab; what is left is the Result tab's choice
// between the grid and the text by the result style.
void frmOrraDevelopment::dbgTab_Click()
{
    resultPane();
    if (m_dbgTab->tabBar()->tabData(m_dbgTab->currentIndex()).toString() != QLatin1String("Result")) return;
    if (m_resultStyle == QLatin1String("ResultInText")) {
        m_dbgText->show();
        m_dbgGrid->hide();
    } else if (m_resultStyle == QLatin1String("ResultInGrid")) {
        m_dbgText->hide();
        m_dbgGrid->show();
    }
}

QPlainTextEdit* frmOrraDevelopment::dbgTrace()
{
    resultPane();
    return m_dbgTrace;
}

QPlainTextEdit* frmOrraDevelopment::dbgMessage()
{
    resultPane();
    return m_dbgMessage;
}

} // namespace morvane
