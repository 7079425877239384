#pragma once
// A document window for the shell's tests: it has the document-window contract's properties
// and every member the main window calls by name, and records each call as "Name(arg, …)".

#include <QStringList>
#include <QWidget>

namespace morvane::test {

class RecordingWindow : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int DocID MEMBER DocID)
    Q_PROPERTY(QString OrraName MEMBER OrraName)
    Q_PROPERTY(bool DocumentChanged MEMBER DocumentChanged)
public:
    explicit RecordingWindow(QWidget* parent = nullptr);

    int DocID = 0;
    QString OrraName;
    bool DocumentChanged = false;
    QStringList calls;
    bool refuseClose = false;   // closeEvent ignored (a failed save, or Cancel)
    bool copyToRepositoryResult = true;

    Q_INVOKABLE bool LoadWindow();
    Q_INVOKABLE void Save();
    Q_INVOKABLE void ReLoad();
    Q_INVOKABLE void AddParameter();
    Q_INVOKABLE void AddBlock();
    Q_INVOKABLE void AddStation();
    Q_INVOKABLE void AddScript();
    Q_INVOKABLE void OpenIncludedDocument();
    Q_INVOKABLE bool CopyToRepository();
    Q_INVOKABLE void CopyElement();
    Q_INVOKABLE bool PasteElement();
    Q_INVOKABLE void RemoveElement();
    Q_INVOKABLE void IndentBlock();
    Q_INVOKABLE void OutdentBlock();
    Q_INVOKABLE void CommentBlock();
    Q_INVOKABLE void UnCommentBlock();
    Q_INVOKABLE void MoveUpBlock();
    Q_INVOKABLE void MoveDownBlock();
    Q_INVOKABLE void SetDebugMode(bool flagMode, bool flagOnNewConnection = false);
    Q_INVOKABLE void StepInto(int Steptype);
    Q_INVOKABLE void JumpTo();
    Q_INVOKABLE void PauseDocument();
    Q_INVOKABLE void CheckBreakPoint();
    Q_INVOKABLE void RemoveAllBreakPoints();
    Q_INVOKABLE void SetTraceMode(bool flag);
    Q_INVOKABLE void ShowHideResultPane(bool flag);
    Q_INVOKABLE void ChangeResultStyle(const QString& NewStyle);
    Q_INVOKABLE void ApplySettings();

protected:
    void closeEvent(QCloseEvent* event) override;
};

// A pane form "frmpbOrra" with the two trees and UpdateTvRepository, counting its calls.
class RecordingPane : public QWidget {
    Q_OBJECT
public:
    explicit RecordingPane(QWidget* parent = nullptr);
    Q_INVOKABLE void UpdateTvRepository() { ++updates; }
    int updates = 0;
};

// A find dialog with the properties the main window sets and the field it fills.
class RecordingFindDialog : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int TypeOfAction MEMBER TypeOfAction)
    Q_PROPERTY(QObject* SearchDoc MEMBER SearchDoc)
public:
    explicit RecordingFindDialog(QWidget* parent = nullptr);
    int TypeOfAction = -1;
    QObject* SearchDoc = nullptr;
    QString findWhat() const;
};

}   // namespace morvane::test
