#include "platform/host/PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <cerrno>
#include <sys/stat.h>

namespace orra {

bool makePrivateFolder(const QString& path)
{
    const QString absolute = QDir::cleanPath(QDir(path).absolutePath());
    QString sofar;
    for (const QString& part : absolute.split(u'/', Qt::SkipEmptyParts)) {
        sofar += u'/' + part;
        const QByteArray name = QFile::encodeName(sofar);
        if (::mkdir(name.constData(), 0700) == 0) {
            // The umask may have taken bits from the owner: the mode is exactly 0700.
            if (::chmod(name.constData(), 0700) != 0) return false;
            continue;
        }
        if (errno != EEXIST) return false;
        struct stat st {};
        if (::stat(name.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    }
    return true;
}

}   // namespace orra
