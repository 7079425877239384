#include "RecordingWindow.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace morvane::test {

namespace {
QString flag(bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); }
}   // namespace

RecordingWindow::RecordingWindow(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmOrraDevelopment"));
}

bool RecordingWindow::LoadWindow()
{
    calls << QStringLiteral("LoadWindow()");
    return true;
}
void RecordingWindow::Save() { calls << QStringLiteral("Save()"); }
void RecordingWindow::ReLoad() { calls << QStringLiteral("ReLoad()"); }
void RecordingWindow::AddParameter() { calls << QStringLiteral("AddParameter()"); }
void RecordingWindow::AddBlock() { calls << QStringLiteral("AddBlock()"); }
void RecordingWindow::AddStation() { calls << QStringLiteral("AddStation()"); }
void RecordingWindow::AddScript() { calls << QStringLiteral("AddScript()"); }
void RecordingWindow::OpenIncludedDocument() { calls << QStringLiteral("OpenIncludedDocument()"); }
bool RecordingWindow::CopyToRepository()
{
    calls << QStringLiteral("CopyToRepository()");
    return copyToRepositoryResult;
}
void RecordingWindow::CopyElement() { calls << QStringLiteral("CopyElement()"); }
bool RecordingWindow::PasteElement()
{
    calls << QStringLiteral("PasteElement()");
    return true;
}
void RecordingWindow::RemoveElement() { calls << QStringLiteral("RemoveElement()"); }
void RecordingWindow::IndentBlock() { calls << QStringLiteral("IndentBlock()"); }
void RecordingWindow::OutdentBlock() { calls << QStringLiteral("OutdentBlock()"); }
void RecordingWindow::CommentBlock() { calls << QStringLiteral("CommentBlock()"); }
void RecordingWindow::UnCommentBlock() { calls << QStringLiteral("UnCommentBlock()"); }
void RecordingWindow::MoveUpBlock() { calls << QStringLiteral("MoveUpBlock()"); }
void RecordingWindow::MoveDownBlock() { calls << QStringLiteral("MoveDownBlock()"); }
void RecordingWindow::SetDebugMode(bool flagMode, bool flagOnNewConnection)
{
    calls << QStringLiteral("SetDebugMode(%1, %2)").arg(flag(flagMode), flag(flagOnNewConnection));
}
void RecordingWindow::StepInto(int Steptype) { calls << QStringLiteral("StepInto(%1)").arg(Steptype); }
void RecordingWindow::JumpTo() { calls << QStringLiteral("JumpTo()"); }
void RecordingWindow::PauseDocument() { calls << QStringLiteral("PauseDocument()"); }
void RecordingWindow::CheckBreakPoint() { calls << QStringLiteral("CheckBreakPoint()"); }
void RecordingWindow::RemoveAllBreakPoints() { calls << QStringLiteral("RemoveAllBreakPoints()"); }
void RecordingWindow::SetTraceMode(bool f) { calls << QStringLiteral("SetTraceMode(%1)").arg(flag(f)); }
void RecordingWindow::ShowHideResultPane(bool f) { calls << QStringLiteral("ShowHideResultPane(%1)").arg(flag(f)); }
void RecordingWindow::ChangeResultStyle(const QString& s) { calls << QStringLiteral("ChangeResultStyle(%1)").arg(s); }
void RecordingWindow::ApplySettings() { calls << QStringLiteral("ApplySettings()"); }

void RecordingWindow::closeEvent(QCloseEvent* event)
{
    calls << QStringLiteral("close");
    if (refuseClose)
        event->ignore();
    else
        event->accept();
}

RecordingPane::RecordingPane(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    auto* tvOrra = new QTreeWidget;
    tvOrra->setObjectName(QStringLiteral("tvOrra"));
    auto* tvRepository = new QTreeWidget;
    tvRepository->setObjectName(QStringLiteral("tvRepository"));
    layout->addWidget(tvOrra);
    layout->addWidget(tvRepository);
}

RecordingFindDialog::RecordingFindDialog(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    auto* field = new QLineEdit;
    field->setObjectName(QStringLiteral("txtFindWhat"));
    field->setText(QStringLiteral("kept"));
    layout->addWidget(field);
}

QString RecordingFindDialog::findWhat() const { return findChild<QLineEdit*>(QStringLiteral("txtFindWhat"))->text(); }

}   // namespace morvane::test
