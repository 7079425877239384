#include "platform/spreadsheet/Desktop.h"

#include "platform/spreadsheet/SheetWriter.h"
#include "platform/host/Error.h"
#include "platform/host/PrivateFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <mutex>

namespace orra::spreadsheet {
namespace {

std::mutex g_openerMutex;
DesktopOpener g_opener;

// The desktop's opener of files by their type, as the desktop's own file manager uses it. The
// library stays free of the GUI modules, so headless programs never load them.
bool defaultOpen(const QString& path) { return QProcess::startDetached(QStringLiteral("xdg-open"), {path}); }

}   // namespace

QString exportDirectory()
{
    QString dir = qEnvironmentVariable("ORRA_EXPORT_DIR");
    if (!dir.isEmpty()) return dir;
    // The user's own state folder (as the launcher's log), never a folder others write to.
    dir = qEnvironmentVariable("XDG_STATE_HOME");
    if (dir.isEmpty() || QDir::isRelativePath(dir)) dir = QDir::homePath() + QStringLiteral("/.local/state");
    return dir + QStringLiteral("/orra");
}

QString freeExportPath(const QString& baseName, const QString& suffix)
{
    QDir dir(exportDirectory());
    if (!dir.exists() && !makePrivateFolder(dir.absolutePath()))
        throw Error(kErrorWorkbook, QStringLiteral("Workbook"),
            QStringLiteral("Cannot create the export folder %1").arg(dir.absolutePath()));
    const QString stem =
        baseName + QLatin1Char('-') + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    for (int n = 1; n < 100000; ++n) {
        const QString name = n == 1 ? stem + suffix : QStringLiteral("%1-%2%3").arg(stem).arg(n).arg(suffix);
        const QString path = dir.absoluteFilePath(name);
        // A link, even a dangling one, takes its name.
        if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()) return path;
    }
    throw Error(kErrorWorkbook, QStringLiteral("Workbook"),
        QStringLiteral("Cannot create a file in the export folder %1").arg(dir.absolutePath()));
}

bool desktopOpenAllowed()
{
    if (qEnvironmentVariableIsSet("ORRA_NO_OPEN")) return false;
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (platform.startsWith(QLatin1String("offscreen")) || platform.startsWith(QLatin1String("minimal"))) return false;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

bool openWithDesktop(const QString& path)
{
    if (!desktopOpenAllowed()) return false;
    DesktopOpener opener;
    {
        std::lock_guard lock(g_openerMutex);
        opener = g_opener;
    }
    return opener ? opener(path) : defaultOpen(path);
}

void setDesktopOpener(DesktopOpener opener)
{
    std::lock_guard lock(g_openerMutex);
    g_opener = std::move(opener);
}

}   // namespace orra::spreadsheet
