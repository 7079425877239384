#include "platform/db/embedded/Server.h"

#include "platform/db/ConnectionString.h"
#include "platform/db/ErrorNumbers.h"
#include "platform/db/embedded/Collation.h"
#include "platform/db/embedded/Extensions.h"
#include "platform/db/embedded/FixedWidthPadding.h"
#include "platform/db/embedded/NullKeys.h"
#include "platform/db/embedded/ServerInternal.h"
#include "platform/db/embedded/SqliteHandles.h"
#include "platform/db/embedded/TsqlTranslator.h"
#include "platform/db/embedded/functions/DateFunctions.h"
#include "platform/db/sqlite/SqliteSession.h"
#include "platform/host/Error.h"
#include "platform/host/PrivateFolder.h"

#include "EmbeddedSchemas.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QStandardPaths>

#include <sodium.h>
#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orra::embedded {

namespace detail {

const QString kSource = QStringLiteral("Embedded SQL Server");

void fail(const QString& description, long nativeError)
{
    Q_UNUSED(nativeError);
    throw orra::Error(db::kErrorsInCommand, kSource, description);
}

namespace {

// Causes SQLite would only report at the first statement, or without the file's name.
void checkFileBeforeOpen(const QString& path)
{
    const QFileInfo file(path);
    if (!file.exists()) return;
    if (file.size() == 0)
        fail(QStringLiteral("The database file '%1' is empty (zero length): it is not a database.").arg(path));
    const QFileInfo folder(file.absolutePath());
    if (!folder.isWritable())
        fail(QStringLiteral("The database file '%1' cannot be opened: its folder '%2' is read-only (the server keeps "
                            "its journal files beside the database).")
                 .arg(path, folder.absoluteFilePath()));
    if (!file.isWritable())
        fail(QStringLiteral("The database file '%1' cannot be opened: the file is read-only.").arg(path));
}

void checkFileAfterOpen(sqlite3* db, const QString& path)
{
    const int rc = sqlite3_exec(db, "select count(*) from sqlite_master", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) return;
    const QString msg = QString::fromUtf8(sqlite3_errmsg(db));
    const QString noRoom = db::sqlite::noRoomCause(rc, sqlite3_system_errno(db));
    sqlite3_close_v2(db);
    if (!noRoom.isEmpty()) fail(QStringLiteral("The database file '%1' cannot be opened: %2.").arg(path, noRoom));
    switch (rc & 0xff) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        fail(QStringLiteral("The database file '%1' is damaged or is not a database: %2.").arg(path, msg));
    case SQLITE_CANTOPEN:
    case SQLITE_READONLY:
    case SQLITE_PERM:
        fail(QStringLiteral("The database file '%1' cannot be opened: %2 (the server must be able to write the file "
                            "and its folder '%3').")
                 .arg(path, msg, QFileInfo(path).absolutePath()));
    default:
        fail(QStringLiteral("Cannot open the database file '%1': %2").arg(path, msg));
    }
}

}   // namespace

void makePrivate(const QString& path, bool folder)
{
    ::chmod(QFile::encodeName(path).constData(), folder ? 0700 : 0600);
}

void keepServerPrivate(const QString& folder)
{
    const QByteArray name = QFile::encodeName(folder);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()
        || (st.st_mode & 077) == 0)
        return;
    ::chmod(name.constData(), 0700);
    for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks))
        if (f.ownerId() == ::geteuid()) makePrivate(f.filePath(), false);
}

sqlite3* openFile(const QString& path, bool create, bool readOnly)
{
    if (!create) checkFileBeforeOpen(path);
    sqlite3* db = nullptr;
    const QByteArray name = QFile::encodeName(path);
    if (create) {
        // SQLite would make the file with the umask's modes (and its journals copy them): make
        // it first, the owner's alone, and never through a link planted in its place.
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0)
            fail(QStringLiteral("Cannot open the database file '%1': %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        ::fchmod(fd, 0600);
        ::close(fd);
    }
    // URIs let the server attach a database read-only; client text never names files.
    const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(name.constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close_v2(db);
        fail(QStringLiteral("Cannot open the database file '%1': %2").arg(path, msg));
    }
    // Every statement on the handle waits for the locks of other sessions, from the first one:
    // the schema read below too, or a log-on under load fails with "database is locked".
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    if (!create) checkFileAfterOpen(db, path);
    registerCollation(db);
    // the triggers that convert date columns run on every handle that writes
    dates::registerDateFunctions(db, nullptr);
    sqlite3_exec(db, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
    return db;
}

void closeFile(sqlite3* db)
{
    if (db) sqlite3_close_v2(db);
}

// A database file opened for the server's own work, closed however that work ends.
struct OpenedFile {
    sqlite3* db;
    OpenedFile(const QString& path, bool create) : db(openFile(path, create)) {}
    ~OpenedFile() { closeFile(db); }
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;
};

void exec(sqlite3* db, const QString& sql)
{
    char* err = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        const QString msg = err ? QString::fromUtf8(err) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_free(err);
        fail(msg);
    }
}

QString schemaText(const char* name)
{
    if (QLatin1String(name) == QLatin1String("master")) return QString::fromUtf8(kSchemaMaster);
    return QString::fromUtf8(kSchemaDatabase);
}

namespace {

struct Stmt {
    sqlite3_stmt* s = nullptr;
    Stmt(sqlite3* db, const char* sql)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK) fail(QString::fromUtf8(sqlite3_errmsg(db)));
    }
    ~Stmt() { sqlite3_finalize(s); }
    void bind(int i, const QString& v)
    {
        if (v.isNull())
            sqlite3_bind_null(s, i);
        else
            sqlite3_bind_text(s, i, v.toUtf8().constData(), -1, SQLITE_TRANSIENT);
    }
    void bind(int i, const QByteArray& v)
    {
        if (v.isNull())
            sqlite3_bind_null(s, i);
        else
            sqlite3_bind_blob(s, i, v.constData(), int(v.size()), SQLITE_TRANSIENT);
    }
    void bind(int i, qint64 v) { sqlite3_bind_int64(s, i, v); }
    int step() { return sqlite3_step(s); }
    QString text(int c) const
    {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, c));
        return t ? QString::fromUtf8(t) : QString();
    }
    QByteArray blob(int c) const
    {
        const void* b = sqlite3_column_blob(s, c);
        return b ? QByteArray(static_cast<const char*>(b), sqlite3_column_bytes(s, c)) : QByteArray();
    }
};

void stepDone(Stmt& st, sqlite3* db)
{
    const int rc = st.step();
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) fail(QString::fromUtf8(sqlite3_errmsg(db)));
}

LoginRow loginFrom(Stmt& st, sqlite3* db)
{
    LoginRow r;
    const int rc = st.step();
    // A lookup that could not read the table is no unknown login.
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) fail(QString::fromUtf8(sqlite3_errmsg(db)));
    if (rc == SQLITE_ROW) {
        r.found = true;
        r.name = st.text(0);
        r.sid = st.blob(1);
        r.passwordHash = st.text(2);
        r.trusted = sqlite3_column_int(st.s, 3) != 0;
        r.sysadmin = sqlite3_column_int(st.s, 4) != 0;
    }
    return r;
}

QString now() { return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")); }

QByteArray newSid()
{
    QByteArray sid(16, Qt::Uninitialized);
    randombytes_buf(sid.data(), size_t(sid.size()));
    return sid;
}

}   // namespace

LoginRow findLogin(sqlite3* master, const QString& login)
{
    Stmt st(master, "select name, sid, password_hash, isntname, sysadmin from syslogins where name = ?");
    st.bind(1, login);
    return loginFrom(st, master);
}

LoginRow findLoginBySid(sqlite3* master, const QByteArray& sid)
{
    Stmt st(master, "select name, sid, password_hash, isntname, sysadmin from syslogins where sid = ?");
    st.bind(1, sid);
    return loginFrom(st, master);
}

bool validName(const QString& name)
{
    // A name is looked up without its outer blanks, so one that has them could never be opened.
    if (name.isEmpty() || name.size() > 128 || name.startsWith(u'.') || name != name.trimmed()) return false;
    for (QChar c : name)
        if (c == u'/' || c == u'\\' || c == u':' || c.unicode() < 32 || c == u'*' || c == u'?' || c == u'"' || c == u'<'
            || c == u'>' || c == u'|')
            return false;
    return true;
}

void insertLogin(sqlite3* master, const QString& login, const QString& password, bool trusted, bool sysadmin)
{
    if (login.trimmed().isEmpty()) fail(QStringLiteral("A login name is required."));
    if (findLogin(master, login).found)
        fail(QStringLiteral("The server principal '%1' already exists.").arg(login), 15025);
    Stmt st(master,
        "insert into syslogins (name, sid, password_hash, isntname, sysadmin, createdate) "
        "values (?, ?, ?, ?, ?, ?)");
    st.bind(1, login);
    st.bind(2, newSid());
    st.bind(3, trusted ? QString() : hashPassword(password));
    st.bind(4, qint64(trusted ? 1 : 0));
    st.bind(5, qint64(sysadmin ? 1 : 0));
    st.bind(6, now());
    stepDone(st, master);
}

namespace {

// Makes database file `database`.db in folder (through a hidden partial file renamed into place).
void createDatabaseFileIn(const QString& folder, const QString& database, const QByteArray& dboSid)
{
    const QString path = folder + u'/' + database + QStringLiteral(".db");
    const QString partial = folder + QStringLiteral("/.") + database + QStringLiteral(".db.partial");
    QFile::remove(partial);
    try {
        const OpenedFile file(partial, true);
        exec(file.db, schemaText("database"));
        Stmt st(file.db, "insert into sysusers (uid, name, islogin, sid) values (1, 'dbo', 1, ?)");
        st.bind(1, dboSid);
        stepDone(st, file.db);
    } catch (...) {
        // The file is closed by now: what was made of it goes.
        QFile::remove(partial);
        QFile::remove(partial + QStringLiteral("-wal"));
        QFile::remove(partial + QStringLiteral("-shm"));
        throw;
    }
    QFile::remove(partial + QStringLiteral("-wal"));
    QFile::remove(partial + QStringLiteral("-shm"));
    if (!QFile::rename(partial, path)) {
        QFile::remove(partial);
        fail(QStringLiteral("Cannot create the database file '%1'.").arg(path));
    }
}

}   // namespace

void createDatabaseFile(const QString& server, const QString& database, const QByteArray& dboSid)
{
    if (!validName(database)) fail(QStringLiteral("'%1' is not a valid database name.").arg(database));
    const QString path = databaseFile(server, database);
    if (QFileInfo::exists(path) || databaseExists(server, database))
        fail(QStringLiteral("Database '%1' already exists. Choose a different database name.").arg(database), 1801);
    createDatabaseFileIn(serverFolder(server), database, dboSid);
}

namespace {

// A user or role name is one per database.
void refuseTakenPrincipalName(sqlite3* db, const QString& name)
{
    Stmt st(db, "select 1 from sysusers where name = ?");
    st.bind(1, name);
    if (st.step() == SQLITE_ROW)
        fail(QStringLiteral("User, group, or role '%1' already exists in the current database.").arg(name), 15023);
}

}   // namespace

int insertUser(sqlite3* db, const QString& user, const QByteArray& sid)
{
    refuseTakenPrincipalName(db, user);
    {
        Stmt st(db, "select name from sysusers where sid = ?");
        st.bind(1, sid);
        if (st.step() == SQLITE_ROW)
            fail(QStringLiteral("The login already has an account under a different user name."), 15063);
    }
    Stmt next(db, "select coalesce(max(uid), 4) + 1 from sysusers where uid < 16384");
    next.step();
    const int uid = std::max(5, sqlite3_column_int(next.s, 0));
    Stmt st(db, "insert into sysusers (uid, name, islogin, sid) values (?, ?, 1, ?)");
    st.bind(1, qint64(uid));
    st.bind(2, user);
    st.bind(3, sid);
    stepDone(st, db);
    return uid;
}

int insertRole(sqlite3* db, const QString& role)
{
    refuseTakenPrincipalName(db, role);
    Stmt next(db, "select coalesce(max(uid), 16399) + 1 from sysusers where uid >= 16400");
    next.step();
    const int uid = sqlite3_column_int(next.s, 0);
    Stmt st(db, "insert into sysusers (uid, name, islogin, sid) values (?, ?, 0, NULL)");
    st.bind(1, qint64(uid));
    st.bind(2, role);
    stepDone(st, db);
    return uid;
}

void insertRoleMember(sqlite3* db, const QString& role, const QString& member)
{
    auto lookup = [&](const QString& name, bool wantRole) {
        Stmt st(db, "select uid, islogin from sysusers where name = ?");
        st.bind(1, name);
        if (st.step() != SQLITE_ROW)
            fail(wantRole ? QStringLiteral("The role '%1' does not exist in the current database.").arg(name)
                          : QStringLiteral("User or role '%1' does not exist in this database.").arg(name),
                15410);
        const int uid = sqlite3_column_int(st.s, 0);
        if (wantRole && (sqlite3_column_int(st.s, 1) != 0 || uid == 0))
            fail(QStringLiteral("'%1' is not a role.").arg(name), 15014);
        return uid;
    };
    const int g = lookup(role, true);
    const int m = lookup(member, false);
    Stmt st(db, "insert or ignore into sysmembers (memberuid, groupuid) values (?, ?)");
    st.bind(1, qint64(m));
    st.bind(2, qint64(g));
    stepDone(st, db);
}

}   // namespace detail

using namespace detail;

QString serversRoot()
{
    const QByteArray env = qgetenv("ORRA_SERVERS");
    if (!env.isEmpty()) return QDir::cleanPath(QFile::decodeName(env));
    return QDir::homePath() + QStringLiteral("/.local/share/orra/servers");
}

QString serverFolder(const QString& server) { return serversRoot() + u'/' + server; }

QString databaseFile(const QString& server, const QString& database)
{
    // Database names compare without regard to case: find an existing file of any case.
    const QDir dir(serverFolder(server));
    const QString wanted = foldName(database);
    const QStringList files = dir.entryList({QStringLiteral("*.db")}, QDir::Files);
    for (const QString& f : files)
        if (foldName(f.chopped(3)) == wanted) return dir.filePath(f);
    return dir.filePath(database + QStringLiteral(".db"));
}

bool isEmbeddedServer(const QString& server)
{
    if (!validName(server)) return false;
    return QFileInfo(serverFolder(server)).isDir()
        && QFileInfo::exists(serverFolder(server) + QStringLiteral("/master.db"));
}

bool databaseExists(const QString& server, const QString& database)
{
    return validName(database) && QFileInfo::exists(databaseFile(server, database));
}

QString osUserName()
{
    if (const passwd* pw = getpwuid(geteuid())) return QString::fromLocal8Bit(pw->pw_name);
    const QByteArray u = qgetenv("USER");
    return u.isEmpty() ? QStringLiteral("user") : QString::fromLocal8Bit(u);
}

namespace {

struct Master {
    sqlite3* db = nullptr;
    explicit Master(const QString& server)
    {
        if (!isEmbeddedServer(server))
            fail(QStringLiteral("The server '%1' does not exist under %2.").arg(server, serversRoot()));
        db = openFile(serverFolder(server) + QStringLiteral("/master.db"), false);
    }
    ~Master() { closeFile(db); }
};

struct Database {
    sqlite3* db = nullptr;
    Database(const QString& server, const QString& database)
    {
        if (!databaseExists(server, database))
            fail(QStringLiteral("Database '%1' does not exist. Make sure that the name is entered correctly.")
                     .arg(database),
                911);
        db = openFile(databaseFile(server, database), false);
    }
    ~Database() { closeFile(db); }
};

QByteArray adminSid(sqlite3* master)
{
    Stmt st(master, "select sid from syslogins where sysadmin = 1 order by createdate limit 1");
    if (st.step() != SQLITE_ROW) fail(QStringLiteral("The server has no administrator."));
    return st.blob(0);
}

// A registered schema in one transaction, with the padding of its fixed-width columns.
void layDownSchema(sqlite3* db, const QString& schemaText)
{
    WriteTransaction transaction(db);
    if (transaction.beginRc() != SQLITE_OK) fail(QString::fromUtf8(sqlite3_errmsg(db)));
    exec(db, schemaText);
    addFixedWidthPaddingToAllTables(db, QStringLiteral("main"));
    // unique keys hold their NULLs equal (NullKeys.h)
    QStringList tables;
    {
        const PreparedStatement st(db, "select name from sqlite_master where type = 'table' and name not like 'sqlite%'");
        while (st.ok() && sqlite3_step(st) == SQLITE_ROW)
            tables << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    }
    for (const QString& table : std::as_const(tables))
        if (const std::optional<NullKeyRepeat> repeat = keepNullKeysUnique(db, QStringLiteral("main"), table))
            fail(QStringLiteral("The schema's rows repeat a key of the unique index '%1'.").arg(repeat->index));
    if (transaction.commit() != SQLITE_OK) fail(QString::fromUtf8(sqlite3_errmsg(db)));
}

}   // namespace

void createServer(const QString& server, const QString& adminLogin, const QString& adminPassword,
    const QList<DatabaseLayout>& layouts)
{
    if (server != server.trimmed())
        fail(QStringLiteral("The server name '%1' begins or ends with a blank: it could not be opened.").arg(server));
    if (!validName(server)) fail(QStringLiteral("'%1' is not a valid server name.").arg(server));
    QStringList names{foldName(QStringLiteral("master"))};
    QStringList schemas;
    for (const DatabaseLayout& layout : layouts) {
        if (!validName(layout.database) || names.contains(foldName(layout.database)))
            fail(QStringLiteral("'%1' is not a valid database name.").arg(layout.database));
        names.append(foldName(layout.database));
        schemas.append(databaseSchema(layout.schema));
    }
    const QString folder = serverFolder(server);
    if (QFileInfo::exists(folder)) fail(QStringLiteral("The server '%1' already exists.").arg(server));
    const QString root = serversRoot();
    if (!QFileInfo(root).isDir() && !makePrivateFolder(root))
        fail(QStringLiteral("Cannot create the server folder '%1'.").arg(folder));
    // The server is made in a hidden folder of its own and renamed into place when complete:
    // an interrupted creation leaves no half server under the name.
    QByteArray pattern = QFile::encodeName(root + QStringLiteral("/.") + server + QStringLiteral(".partial-XXXXXX"));
    if (!::mkdtemp(pattern.data())) fail(QStringLiteral("Cannot create the server folder '%1'.").arg(folder));
    const QString work = QFile::decodeName(pattern);
    makePrivate(work, true);
    try {
        if (!QFileInfo(work).isWritable()) fail(QStringLiteral("The server folder '%1' is not writable.").arg(folder));
        QByteArray sid;
        {
            const OpenedFile master(work + QStringLiteral("/master.db"), true);
            sqlite3* m = master.db;
            exec(m, QStringLiteral("PRAGMA journal_mode = WAL;"));
            exec(m, schemaText("master"));
            exec(m, schemaText("database"));
            const bool trusted = adminLogin.isEmpty();
            insertLogin(m, trusted ? osUserName() : adminLogin, adminPassword, trusted, true);
            sid = adminSid(m);
            Stmt st(m, "insert into sysusers (uid, name, islogin, sid) values (1, 'dbo', 1, ?)");
            st.bind(1, sid);
            stepDone(st, m);
        }
        for (qsizetype i = 0; i < layouts.size(); ++i) {
            createDatabaseFileIn(work, layouts[i].database, sid);
            const OpenedFile file(work + u'/' + layouts[i].database + QStringLiteral(".db"), false);
            layDownSchema(file.db, schemas[i]);
        }
        if (::renameat2(
                AT_FDCWD, pattern.constData(), AT_FDCWD, QFile::encodeName(folder).constData(), RENAME_NOREPLACE)
            != 0) {
            if (errno == EEXIST || errno == ENOTEMPTY)
                fail(QStringLiteral("The server '%1' already exists.").arg(server));
            fail(QStringLiteral("Cannot create the server folder '%1'.").arg(folder));
        }
    } catch (...) {
        QDir(work).removeRecursively();
        throw;
    }
}

void createDatabase(const QString& server, const QString& database, const QString& ownerLogin)
{
    Master m(server);
    QByteArray sid;
    if (ownerLogin.isEmpty()) {
        sid = adminSid(m.db);
    } else {
        const LoginRow r = findLogin(m.db, ownerLogin);
        if (!r.found) fail(QStringLiteral("The login '%1' does not exist.").arg(ownerLogin), 15007);
        sid = r.sid;
    }
    if (foldName(database) == foldName(QStringLiteral("master")))
        fail(QStringLiteral("Database 'master' already exists. Choose a different database name."), 1801);
    createDatabaseFile(server, database, sid);
}

void applyDatabaseSchema(const QString& server, const QString& database, const QString& schema)
{
    const QString text = databaseSchema(schema);
    if (!databaseExists(server, database)) createDatabase(server, database);
    Database d(server, database);
    layDownSchema(d.db, text);
}

void createLogin(const QString& server, const QString& login, const QString& password, bool trusted)
{
    Master m(server);
    insertLogin(m.db, login, password, trusted, false);
}

int createUser(const QString& server, const QString& database, const QString& user, const QString& login)
{
    QByteArray sid;
    {
        Master m(server);
        const LoginRow r = findLogin(m.db, login.isEmpty() ? user : login);
        if (!r.found)
            fail(QStringLiteral("'%1' is not a valid login or you do not have permission.").arg(login), 15007);
        sid = r.sid;
    }
    Database d(server, database);
    return insertUser(d.db, user, sid);
}

int createRole(const QString& server, const QString& database, const QString& role)
{
    Database d(server, database);
    return insertRole(d.db, role);
}

void addRoleMember(const QString& server, const QString& database, const QString& role, const QString& member)
{
    Database d(server, database);
    insertRoleMember(d.db, role, member);
}

QByteArray loginSid(const QString& server, const QString& login)
{
    Master m(server);
    return findLogin(m.db, login).sid;
}

QString connectionText(const QString& server, const QString& database, const QString& login, const QString& password)
{
    using db::ConnectionString;
    QString t = QStringLiteral("Driver={SQL Server};Server=") + ConnectionString::quoteValue(server)
        + QStringLiteral(";Database=") + ConnectionString::quoteValue(database);
    if (login.isEmpty())
        t += QStringLiteral(";Trusted_Connection=Yes");
    else
        t += QStringLiteral(";UID=") + ConnectionString::quoteValue(login) + QStringLiteral(";PWD=")
            + ConnectionString::quoteValue(password);
    return t;
}

namespace {
// Verified (hash, password digest) pairs, so that a process that opens many connections pays
// the slow hash once per login.
QMutex& verifiedMutex()
{
    static QMutex m;
    return m;
}
QHash<QString, QByteArray>& verified()
{
    static QHash<QString, QByteArray> h;
    return h;
}
QByteArray digest(const QString& hash, const QString& password)
{
    const QByteArray in = hash.toUtf8() + '\0' + password.toUtf8();
    QByteArray out(crypto_generichash_BYTES, Qt::Uninitialized);
    crypto_generichash(reinterpret_cast<unsigned char*>(out.data()), size_t(out.size()),
        reinterpret_cast<const unsigned char*>(in.constData()), size_t(in.size()), nullptr, 0);
    return out;
}
void initSodium()
{
    static const int r = sodium_init();
    if (r < 0) fail(QStringLiteral("The password library could not start."));
}
}   // namespace

QString hashPassword(const QString& password)
{
    initSodium();
    char out[crypto_pwhash_STRBYTES];
    const QByteArray p = password.toUtf8();
    if (crypto_pwhash_str(out, p.constData(), size_t(p.size()), crypto_pwhash_OPSLIMIT_INTERACTIVE,
            crypto_pwhash_MEMLIMIT_INTERACTIVE)
        != 0)
        fail(QStringLiteral("Out of memory while hashing a password."));
    return QString::fromLatin1(out);
}

bool acceptableHashParameters(const QString& hash)
{
    // $argon2id$v=19$m=<KiB>,t=<passes>,p=<lanes>$<salt>$<hash>
    static const QRegularExpression form(
        QStringLiteral("^\\$argon2id\\$v=19\\$m=([0-9]{1,10}),t=([0-9]{1,10}),p=([0-9]{1,3})\\$"));
    const QRegularExpressionMatch m = form.match(hash);
    if (!m.hasMatch()) return false;
    const qint64 memoryKiB = m.captured(1).toLongLong();
    const qint64 passes = m.captured(2).toLongLong();
    const qint64 lanes = m.captured(3).toLongLong();
    return memoryKiB >= kMinHashMemoryKiB && memoryKiB <= kMaxHashMemoryKiB && passes >= kMinHashPasses
        && passes <= kMaxHashPasses && lanes == 1;
}

bool verifyPassword(const QString& hash, const QString& password)
{
    initSodium();
    if (hash.isEmpty()) return false;
    // A stored hash decides what a log-on costs: one outside the bounds is refused unheard.
    if (!acceptableHashParameters(hash)) return false;
    const QByteArray d = digest(hash, password);
    {
        QMutexLocker lock(&verifiedMutex());
        auto it = verified().constFind(hash);
        if (it != verified().constEnd() && sodium_memcmp(it->constData(), d.constData(), size_t(d.size())) == 0)
            return true;
    }
    const QByteArray h = hash.toLatin1();
    const QByteArray p = password.toUtf8();
    const bool ok = crypto_pwhash_str_verify(h.constData(), p.constData(), size_t(p.size())) == 0;
    if (ok) {
        QMutexLocker lock(&verifiedMutex());
        verified().insert(hash, d);
    }
    return ok;
}

}   // namespace orra::embedded
