#include "platform/host/AtomicFile.h"

#include "platform/host/Error.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orra {
namespace {

QString causeOf(int error)
{
    if (error == ENOSPC || error == EDQUOT || error == EFBIG)
        return QStringLiteral("the disk is full (%1)").arg(QString::fromLocal8Bit(std::strerror(error)));
    return QString::fromLocal8Bit(std::strerror(error));
}

QString notReplaceable(const QString& path)
{
    return QStringLiteral("Cannot write the file %1: it is a link, or not a plain file of your own, and is left as it is")
        .arg(path);
}

// Empty when path names nothing or a plain file of the user's own; otherwise why not.
QString replaceableCause(const QByteArray& name, const QString& path)
{
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0)
        return errno == ENOENT ? QString() : QStringLiteral("Cannot write the file %1: %2").arg(path, causeOf(errno));
    if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) return notReplaceable(path);
    return QString();
}

}   // namespace

AtomicFile::AtomicFile(const QString& path, Existing existing, long errorNumber, const QString& source)
    : m_path(path), m_existing(existing), m_errorNumber(errorNumber), m_source(source)
{
    if (existing == Existing::ReplaceOwn) checkReplaceable(path, errorNumber, source);
    const QFileInfo info(path);
    QByteArray pattern =
        QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".partial-XXXXXX"));
    // mkostemp makes the file new (O_EXCL) with mode 0600: never an existing file or a link.
    m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (m_fd < 0) fail(causeOf(errno));
    m_temporary = QFile::decodeName(pattern);
}

AtomicFile::~AtomicFile()
{
    if (m_fd >= 0) ::close(m_fd);
    if (!m_committed && !m_temporary.isEmpty()) ::unlink(QFile::encodeName(m_temporary).constData());
}

void AtomicFile::fail(const QString& cause) const
{
    throw Error(m_errorNumber, m_source, QStringLiteral("Cannot write the file %1: %2").arg(m_path, cause));
}

void AtomicFile::write(const QByteArray& bytes)
{
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(causeOf(errno));
        }
        if (n == 0) fail(causeOf(ENOSPC));
        p += n;
        left -= n;
    }
}

bool AtomicFile::commit()
{
    const QByteArray temporary = QFile::encodeName(m_temporary);
    // The content reaches the disk before its name does. A writer that worked by name may
    // have put a new file in the temporary's place: sync what the name holds now.
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    const int fd = ::open(temporary.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) fail(causeOf(errno));
    const int synced = ::fsync(fd);
    const int syncError = errno;
    ::close(fd);
    if (synced != 0 && syncError != EINVAL) fail(causeOf(syncError));

    const QByteArray target = QFile::encodeName(m_path);
    if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) != 0) {
        if (errno != EEXIST) fail(causeOf(errno));
        if (m_existing == Existing::Keep) return false;
        // Taken: replaced only when it is the user's own plain file, which keeps its
        // permissions. A link put there after this check is itself replaced by the rename,
        // never what it points to.
        const QString cause = replaceableCause(target, m_path);
        if (!cause.isEmpty()) throw Error(m_errorNumber, m_source, cause);
        struct stat st {};
        if (::lstat(target.constData(), &st) == 0 && S_ISREG(st.st_mode))
            ::chmod(temporary.constData(), st.st_mode & 07777);
        if (::rename(temporary.constData(), target.constData()) != 0) fail(causeOf(errno));
    }
    m_committed = true;
    return true;
}

void AtomicFile::checkReplaceable(const QString& path, long errorNumber, const QString& source)
{
    const QString cause = replaceableCause(QFile::encodeName(path), path);
    if (!cause.isEmpty()) throw Error(errorNumber, source, cause);
}

}   // namespace orra
