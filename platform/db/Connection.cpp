#include "platform/db/Connection.h"

#include "platform/db/ErrorNumbers.h"
#include "platform/db/embedded/EmbeddedBackend.h"
#include "platform/db/odbc/OdbcBackend.h"
#include "platform/host/Error.h"
#include "platform/host/ErrorNumbers.h"
#include "platform/host/MemoryReserve.h"

#include <QSettings>
#include <mutex>
#include <new>

namespace orra::db {

namespace {

const QString kSource = QStringLiteral("Connection");

struct Registry {
    std::mutex mutex;
    std::vector<std::pair<QString, BackendFactory>> factories;   // oldest first

    // The built-in backends, in one place: the embedded server last, so that it is tried
    // first and claims the texts that name one of its servers. No text reaches a database file:
    // the programs open their own with sqlite::openDatabaseFile.
    Registry()
    {
        factories.emplace_back(QStringLiteral("odbc"), [](const ConnectionString& cs) -> std::unique_ptr<Backend> {
            // A server named without a driver is SQL Server, through the configured driver.
            if (cs.contains(QStringLiteral("Driver")) || cs.contains(QStringLiteral("DSN")) || !cs.server().isEmpty())
                return std::make_unique<odbc::OdbcBackend>();
            return nullptr;
        });
        factories.emplace_back(QStringLiteral("embedded"), &embedded::EmbeddedBackend::claim);
    }
};

Registry& registry()
{
    static Registry r;
    return r;
}

}   // namespace

void registerBackend(const QString& name, BackendFactory factory)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    for (auto it = r.factories.begin(); it != r.factories.end(); ++it) {
        if (it->first == name) {
            r.factories.erase(it);
            break;
        }
    }
    r.factories.emplace_back(name, std::move(factory));
}

std::unique_ptr<Backend> createBackend(const ConnectionString& cs)
{
    std::vector<BackendFactory> candidates;
    {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        for (auto it = r.factories.rbegin(); it != r.factories.rend(); ++it) candidates.push_back(it->second);
    }
    for (const auto& f : candidates)
        if (auto b = f(cs)) return b;
    return nullptr;
}

QString configuredOdbcDriver()
{
    const QByteArray env = qgetenv("ORRA_ODBC_DRIVER");
    if (!env.isEmpty()) return QString::fromLocal8Bit(env);
    QSettings settings(QStringLiteral("Orra"), QStringLiteral("Orra"));
    const QString v = settings.value(QStringLiteral("Main Settings/OdbcDriver")).toString().trimmed();
    return v.isEmpty() ? QStringLiteral("FreeTDS") : v;
}

Connection::Connection() = default;

Connection::~Connection()
{
    try {
        close();
    } catch (...) {
    }
}

bool Connection::isOpen() const { return m_backend && m_backend->isOpen(); }

void Connection::fail(const ProviderFailure& f, const QString& fallbackSource)
{
    m_errors = f.errors;
    for (auto& e : m_errors)
        if (e.source.isEmpty()) e.source = fallbackSource;
    if (m_errors.isEmpty()) {
        ProviderError e;
        e.number = -1;
        e.sqlState = QStringLiteral("HY000");
        e.description = QStringLiteral("Unspecified error");
        e.source = fallbackSource;
        m_errors.append(e);
    }
    // the main error is the first real error; messages (number 0) may come before it
    const ProviderError* main = &m_errors.front();
    for (const auto& e : m_errors) {
        if (e.number != 0) {
            main = &e;
            break;
        }
    }
    throw Error(main->number, main->source, main->description);
}

void Connection::requireOpen(const char* operation)
{
    if (!isOpen())
        throw Error(kObjectClosed, kSource, QStringLiteral("Operation is not allowed when the object is closed."));
    Q_UNUSED(operation);
}

void Connection::open(const QString& connectionText, const QString& user, const QString& password)
{
    if (isOpen())
        throw Error(kObjectOpen, kSource, QStringLiteral("Operation is not allowed when the object is open."));
    m_errors.clear();
    const ConnectionString cs = ConnectionString::parse(connectionText);
    if (ConnectionString::isPath(cs.server()))
        throw Error(kProviderNotFound, kSource,
            QStringLiteral("The connection text names no server: a database file is never opened by its path "
                           "('%1=%2').")
                .arg(cs.serverKey(), cs.value(cs.serverKey())));
    std::unique_ptr<Backend> backend = createBackend(cs);
    if (!backend) {
        throw Error(
            kProviderNotFound, kSource, QStringLiteral("Provider cannot be found. It may not be properly installed."));
    }
    openOn(std::move(backend), cs, user, password, connectionText);
}

void Connection::open(
    std::unique_ptr<Backend> backend, const ConnectionString& cs, const QString& user, const QString& password)
{
    if (isOpen())
        throw Error(kObjectOpen, kSource, QStringLiteral("Operation is not allowed when the object is open."));
    openOn(std::move(backend), cs, user, password, cs.toString());
}

void Connection::openOn(std::unique_ptr<Backend> backend, const ConnectionString& cs, const QString& user,
    const QString& password, const QString& connectionText)
{
    m_errors.clear();
    m_transactionLevel = 0;
    try {
        backend->open(cs, user, password);
    } catch (const ProviderFailure& f) {
        fail(f, backend->name());
    }
    m_errors = backend->openMessages();
    for (auto& e : m_errors)
        if (e.source.isEmpty()) e.source = backend->name();
    m_backend = std::move(backend);
    m_text = connectionText;
    if (!user.isEmpty() || !password.isEmpty()) {
        ConnectionString reported = cs;
        if (!user.isEmpty()) {
            reported.remove(QStringLiteral("User ID"));
            reported.set(QStringLiteral("UID"), user);
        }
        const QString persist = cs.value(QStringLiteral("Persist Security Info")).trimmed();
        if (!password.isEmpty()
            && (persist.compare(u"True", Qt::CaseInsensitive) == 0
                || persist.compare(u"Yes", Qt::CaseInsensitive) == 0)) {
            reported.remove(QStringLiteral("Password"));
            reported.set(QStringLiteral("PWD"), password);
        }
        m_text = reported.toString();
    }
}

void Connection::close()
{
    if (!m_backend) return;
    std::unique_ptr<Backend> b = std::move(m_backend);
    m_transactionLevel = 0;
    try {
        b->close();
    } catch (const ProviderFailure&) {
        // closing never fails for the caller; the handle is gone either way
    }
}

RecordsetPtr Connection::execute(const QString& sql, const QList<Parameter>& params, long* recordsAffected)
{
    requireOpen("execute");
    m_errors.clear();
    ExecuteResult result;
    try {
        result = m_backend->execute(sql, params);
    } catch (const ProviderFailure& f) {
        fail(f, m_backend->name());
    } catch (const std::bad_alloc&) {
        // The rows buffered so far are gone with the unwinding: the statement fails alone.
        releaseMemoryReserve();
        ProviderError e;
        e.number = kOutOfMemory;
        e.sqlState = QStringLiteral("HY001");
        e.description = QStringLiteral("Out of memory");
        fail(ProviderFailure{{e}}, m_backend->name());
    }
    // A statement that failed before any row set came back fails the call, as ADO raises it.
    for (const ResultSet& set : result.sets) {
        if (set.hasRows) break;
        if (!set.errors.isEmpty()) fail(ProviderFailure{result.messages + set.errors}, m_backend->name());
    }
    m_errors = result.messages;
    for (auto& e : m_errors)
        if (e.source.isEmpty()) e.source = m_backend->name();
    if (recordsAffected) {
        *recordsAffected = -1;
        for (const auto& s : result.sets) {
            if (!s.hasRows && s.recordsAffected >= 0) {
                *recordsAffected = s.recordsAffected;
                break;
            }
        }
    }
    return std::make_shared<Recordset>(std::move(result.sets));
}

std::unique_ptr<AsyncExecution> Connection::executeAsync(
    const QString& sql, const QList<Parameter>& params, std::function<void()> onFinished)
{
    requireOpen("executeAsync");
    m_errors.clear();
    return std::unique_ptr<AsyncExecution>(new AsyncExecution(*this, sql, params, std::move(onFinished)));
}

AsyncExecution::AsyncExecution(
    Connection& con, const QString& sql, const QList<Parameter>& params, std::function<void()> onFinished)
    : m_con(con)
{
    m_thread = std::thread([this, sql, params, onFinished = std::move(onFinished)] {
        RecordsetPtr result;
        std::exception_ptr error;
        try {
            result = m_con.execute(sql, params);
        } catch (...) {
            error = std::current_exception();
        }
        {
            std::lock_guard lock(m_mutex);
            m_result = std::move(result);
            m_error = error;
            m_running = false;
            m_done.notify_all();
        }
        if (onFinished) onFinished();
    });
}

AsyncExecution::~AsyncExecution()
{
    if (state() != 0) cancel();
    if (m_thread.joinable()) m_thread.join();
}

int AsyncExecution::state() const
{
    std::lock_guard lock(m_mutex);
    return m_running ? 4 : 0;
}

void AsyncExecution::cancel()
{
    // a cancel that lands just before the statement starts is forgotten by the backend, so
    // ask once more if the execution has not ended shortly after
    for (int attempt = 0; attempt < 2 && state() != 0; ++attempt) {
        m_con.cancel();
        if (wait(100)) break;
    }
}

bool AsyncExecution::wait(int msecs)
{
    std::unique_lock lock(m_mutex);
    if (msecs < 0)
        m_done.wait(lock, [this] { return !m_running; });
    else if (!m_done.wait_for(lock, std::chrono::milliseconds(msecs), [this] { return !m_running; }))
        return false;
    return true;
}

RecordsetPtr AsyncExecution::result()
{
    wait();
    if (m_thread.joinable()) m_thread.join();
    if (m_error) std::rethrow_exception(m_error);
    return m_result;
}

bool AsyncExecution::failed()
{
    wait();
    return m_error != nullptr;
}

void Connection::beginTrans()
{
    requireOpen("beginTrans");
    m_errors.clear();
    if (m_transactionLevel > 0)
        throw Error(kTransactionLimit, kSource, QStringLiteral("Cannot start more transactions on this session."));
    try {
        m_backend->beginTransaction();
    } catch (const ProviderFailure& f) {
        fail(f, m_backend->name());
    }
    m_transactionLevel = 1;
}

void Connection::commitTrans()
{
    requireOpen("commitTrans");
    m_errors.clear();
    if (m_transactionLevel == 0) throw Error(kNoTransaction, kSource, QStringLiteral("No transaction is active."));
    m_transactionLevel = 0;
    try {
        m_backend->commit();
    } catch (const ProviderFailure& f) {
        fail(f, m_backend->name());
    }
}

void Connection::rollbackTrans()
{
    requireOpen("rollbackTrans");
    m_errors.clear();
    if (m_transactionLevel == 0) throw Error(kNoTransaction, kSource, QStringLiteral("No transaction is active."));
    m_transactionLevel = 0;
    try {
        m_backend->rollback();
    } catch (const ProviderFailure& f) {
        fail(f, m_backend->name());
    }
}

void Connection::cancel()
{
    if (Backend* b = m_backend.get()) b->cancel();
}

QString Connection::property(const QString& name) const
{
    if (!isOpen()) return QString();
    return m_backend->property(name);
}

}   // namespace orra::db
