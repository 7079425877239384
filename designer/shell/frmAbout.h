#pragma once
// The About box of the designer (Help > About) and the help contents (Help > Contents).
//
// The box shows the program's version information (product, version, company, description,
// all from the build), starts the desktop's system-information program, and opens the
// project's web address in the desktop's browser.

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;
class QUrl;

namespace morvane {

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    QLabel* lblTitle() const { return m_title; }
    QLabel* lblVersion() const { return m_version; }
    QLabel* lblDescription() const { return m_description; }
    QLabel* lblCompany() const { return m_company; }
    QLabel* lblDisclaimer() const { return m_disclaimer; }
    QLabel* lbWebSite() const { return m_webSite; }
    QPushButton* cmdOK() const { return m_ok; }
    QPushButton* cmdSysInfo() const { return m_sysInfo; }

    // Starts the system-information program: the one the settings name ("System Information",
    // "Path"), else the first of the desktop's usual ones found on PATH. When none can be
    // started: "System Information Is Unavailable At This Time".
    Q_INVOKABLE void StartSysInfo();
    // The text of a value of the designer's settings store; false (value emptied) when absent.
    static bool GetKeyValue(const QString& keyName, const QString& valueName, QString& value);

private:
    void Form_Load();
    void lbWebSite_Click();
    bool eventFilter(QObject* watched, QEvent* event) override;

    QLabel* m_title = nullptr;
    QLabel* m_version = nullptr;
    QLabel* m_description = nullptr;
    QLabel* m_company = nullptr;
    QLabel* m_disclaimer = nullptr;
    QLabel* m_webSite = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_sysInfo = nullptr;
};

// The version information of the program, as the build records it.
struct VersionInfo {
    QString productName;
    QString companyName;
    QString fileDescription;
    int major = 0, minor = 0, revision = 0;
};
VersionInfo programVersionInfo();

// The desktop's usual system-information programs, in the order they are looked for on PATH.
QStringList systemInformationPrograms();

// The path of the help page "help/index.html" beside the program (the build tree), else the
// installed one in the installation's data folder when it is there.
QString helpContentsPath();
// Help > Contents: the help page in the desktop's browser. False, after a message naming the
// file, when the page is missing or no program takes it.
bool ShowHelpContents(const QString& page = helpContentsPath());

// Opens target (a web address or file) with the desktop's default application.
bool OpenWithShell(const QString& target);

// How pages and addresses reach the desktop (default: QDesktopServices::openUrl, true when a
// program took them). Tests replace it.
using UrlOpener = std::function<bool(const QUrl&)>;
void setUrlOpener(UrlOpener opener);

}   // namespace morvane
