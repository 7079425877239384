// The result pane's message and trace boxes, made with the pane on first use (showing,
// hiding and the tabs are AdHocSql's).

#include "designer/editor/frmOrraDevelopment.h"

#include <QPlainTextEdit>

namespace morvane {

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

}   // namespace morvane
