#include "designer/shell/frmAbout.h"

#include "designer/shell/SettingsStore.h"
#include "platform/host/UserInterface.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

namespace morvane {

namespace {
const QString kWebSite = QStringLiteral("https://orra.example.org/morvane");

QLabel* label(QWidget* parent, const char* name)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}
}   // namespace

VersionInfo programVersionInfo()
{
    VersionInfo v;
    v.productName = QStringLiteral(ORRA_PRODUCT_NAME);
    v.companyName = QStringLiteral(ORRA_COMPANY_NAME);
    v.fileDescription = QStringLiteral(ORRA_FILE_DESCRIPTION);
    v.major = ORRA_VERSION_MAJOR;
    v.minor = ORRA_VERSION_MINOR;
    v.revision = ORRA_VERSION_PATCH;
    return v;
}

QStringList systemInformationPrograms()
{
    return {QStringLiteral("hardinfo"), QStringLiteral("kinfocenter"), QStringLiteral("gnome-system-monitor"),
        QStringLiteral("mate-system-monitor"), QStringLiteral("xfce4-taskmanager")};
}

frmAbout::frmAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    const QIcon icon =
        qApp->windowIcon().isNull() ? style()->standardIcon(QStyle::SP_ComputerIcon) : qApp->windowIcon();
    picIcon->setPixmap(icon.pixmap(48, 48));
    picIcon->setAccessibleName(QStringLiteral("Program icon"));
    picIcon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    m_title = label(this, "lblTitle");
    QFont big = m_title->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    m_title->setFont(big);
    m_version = label(this, "lblVersion");
    m_description = label(this, "lblDescription");
    m_description->setWordWrap(true);
    m_company = label(this, "lblCompany");
    auto* fixed = label(this, "lblFixed");
    fixed->setText(QStringLiteral("Designer of query documents for SQL Server: catalogue, editor and debugger."));
    fixed->setWordWrap(true);
    m_disclaimer = label(this, "lblDisclaimer");
    m_disclaimer->setWordWrap(true);
    m_webSite = new QLabel(this);
    m_webSite->setObjectName(QStringLiteral("lbWebSite"));
    m_webSite->setText(kWebSite);
    m_webSite->setToolTip(QStringLiteral("Open in the browser"));
    m_webSite->setCursor(Qt::PointingHandCursor);
    QPalette link = m_webSite->palette();
    link.setColor(QPalette::WindowText, link.color(QPalette::Link));
    m_webSite->setPalette(link);
    QFont underlined = m_webSite->font();
    underlined.setUnderline(true);
    m_webSite->setFont(underlined);
    m_webSite->installEventFilter(this);
    m_webSite->setFocusPolicy(Qt::StrongFocus);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("cmdOK"));
    m_ok->setDefault(true);
    m_sysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    m_sysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_sysInfo, &QPushButton::clicked, this, [this] { StartSysInfo(); });

    auto* texts = new QVBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(m_title), static_cast<QWidget*>(m_version),
             static_cast<QWidget*>(m_description), static_cast<QWidget*>(m_company), static_cast<QWidget*>(fixed),
             static_cast<QWidget*>(m_webSite), static_cast<QWidget*>(m_disclaimer)})
        texts->addWidget(w);
    texts->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(picIcon, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(texts, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_sysInfo);
    top->addLayout(buttons);
    setLayout(top);

    Form_Load();
}

void frmAbout::Form_Load()
{
    const VersionInfo v = programVersionInfo();
    const QString appTitle =
        QApplication::applicationDisplayName().isEmpty() ? v.productName : QApplication::applicationDisplayName();
    setWindowTitle(QStringLiteral("About ") + appTitle);
    m_version->setText(QStringLiteral("Version %1.%2.%3 ").arg(v.major).arg(v.minor).arg(v.revision));
    m_title->setText(v.productName);
    m_company->setText(v.companyName);
    m_description->setText(v.fileDescription);
    m_disclaimer->setText(QString());
}

bool frmAbout::GetKeyValue(const QString& keyName, const QString& valueName, QString& value)
{
    value.clear();
    const std::unique_ptr<QSettings> store = openSettingsStore();
    store->beginGroup(settingsGroup(keyName));
    const QVariant v = store->value(valueName);
    store->endGroup();
    if (!v.isValid()) return false;
    value = v.toString();
    return true;
}

void frmAbout::StartSysInfo()
{
    QString path;
    if (GetKeyValue(QStringLiteral("System Information"), QStringLiteral("Path"), path) && !path.trimmed().isEmpty()) {
        // The program the user named; one that cannot be started is reported, not replaced.
        if (QProcess::startDetached(path.trimmed(), {})) return;
    } else {
        for (const QString& name : systemInformationPrograms()) {
            const QString found = QStandardPaths::findExecutable(name);
            if (!found.isEmpty() && QProcess::startDetached(found, {})) return;
        }
    }
    orra::userInterface().messageBox(QStringLiteral("System Information Is Unavailable At This Time"), orra::vbOKOnly);
}

void frmAbout::lbWebSite_Click() { OpenWithShell(m_webSite->text().trimmed()); }

bool frmAbout::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_webSite) {
        const bool click = event->type() == QEvent::MouseButtonRelease;
        const bool key = event->type() == QEvent::KeyPress
            && (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return
                || static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space);
        if (click || key) {
            lbWebSite_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

namespace {
UrlOpener& urlOpener()
{
    static UrlOpener opener;
    return opener;
}
bool openUrl(const QUrl& url) { return urlOpener() ? urlOpener()(url) : QDesktopServices::openUrl(url); }
}   // namespace

void setUrlOpener(UrlOpener opener) { urlOpener() = std::move(opener); }

bool OpenWithShell(const QString& target)
{
    const QUrl url = QUrl::fromUserInput(target, QDir::homePath());
    return url.isValid() && openUrl(url);
}

QString helpContentsPath()
{
    const QDir programFolder(QCoreApplication::applicationDirPath());
    const QString beside = programFolder.filePath(QStringLiteral("help/index.html"));
    // Installed, the pages lie in the installation's data folder.
    const QString installed = programFolder.filePath(QStringLiteral(ORRA_HELP_FROM_PROGRAM "/index.html"));
    return !QFile::exists(beside) && QFile::exists(installed) ? QDir::cleanPath(installed) : beside;
}

bool ShowHelpContents(const QString& page)
{
    const QString shown = QDir::toNativeSeparators(page);
    if (!QFileInfo::exists(page)) {
        orra::userInterface().messageBox(QStringLiteral("The help file %1 is missing.").arg(shown), orra::vbOKOnly);
        return false;
    }
    if (openUrl(QUrl::fromLocalFile(page))) return true;
    // The desktop has no program for the page: the user can still open the file by hand.
    orra::userInterface().messageBox(
        QStringLiteral("There is no program to show the help file %1.").arg(shown), orra::vbOKOnly);
    return false;
}

}   // namespace morvane
