#pragma once
// A file that appears whole or not at all. The content goes to a hidden temporary file in the
// target's own folder (".NAME.partial-XXXXXX", made new and the user's alone), which commit()
// renames into place once complete. A process killed while writing leaves nothing under the
// target's name, only that hidden file, whose unique name no later write takes. The target
// itself is never opened, so a link planted in its place is never followed; what commit() may
// replace is decided by the target's own entry, not by what it points to. A new file is the
// user's alone (0600); a replaced one keeps its permissions.

#include <QByteArray>
#include <QString>

namespace orra {

class AtomicFile {
public:
    enum class Existing {
        Keep,         // a name already taken is never replaced: commit() returns false
        ReplaceOwn,   // a plain file of the user's own is replaced; a link, a folder, a device or
                      // another account's file is neither written nor replaced (an error)
    };

    // Makes the temporary file beside path. Failures throw orra::Error(errorNumber, source, …)
    // naming path and the cause.
    AtomicFile(const QString& path, Existing existing, long errorNumber, const QString& source);
    // Removes the temporary file unless it was committed.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    const QString& path() const { return m_path; }
    // Another name in the same folder, before commit().
    void setPath(const QString& path) { m_path = path; }
    // Where the content is written until commit(), for writers that open files by name.
    const QString& temporaryPath() const { return m_temporary; }

    // Appends to the temporary file; throws naming the target (a full disk says so).
    void write(const QByteArray& bytes);

    // Flushes the temporary file to disk and renames it to path(). Existing::Keep: false when
    // the name is taken (nothing renamed; the caller may choose another). Throws on failure.
    bool commit();

    // Throws unless path names nothing or a plain file of the user's own.
    static void checkReplaceable(const QString& path, long errorNumber, const QString& source);

private:
    [[noreturn]] void fail(const QString& cause) const;

    QString m_path;
    QString m_temporary;
    Existing m_existing;
    long m_errorNumber;
    QString m_source;
    int m_fd = -1;
    bool m_committed = false;
};

}   // namespace orra
