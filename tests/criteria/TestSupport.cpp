#include "TestSupport.h"

#include "platform/db/sqlite/SqliteFileBackend.h"
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace orra::test {

namespace {
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "criteria_tests";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) m_app = new QApplication(argc, argv);
    }
    void TearDown() override
    {
        delete m_app;
        m_app = nullptr;
    }

private:
    QApplication* m_app = nullptr;
};
[[maybe_unused]] ::testing::Environment* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);
}   // namespace

SampleDatabase::SampleDatabase()
{
    path = m_dir.filePath(QStringLiteral("sample.db"));
    connection = std::make_shared<db::Connection>();
    db::sqlite::openDatabaseFile(*connection, path, db::sqlite::FileMode::Create);
    for (const char* sql : {
             "create table city (code text, name text, region text)",
             "insert into city values ('A', 'Adana', 'South')",
             "insert into city values ('B', 'Bursa', 'West')",
             "insert into city values ('C', 'Corum', 'North')",
             "insert into city values ('D', 'Denizli', 'West')",
             "create table numbers (n integer)",
             "insert into numbers values (5)",
             "insert into numbers values (7)",
             "insert into numbers values (NULL)",
         })
        connection->execute(QString::fromLatin1(sql));
}

QPointer<QTimer> onNextModal(std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    auto shared = std::make_shared<std::function<void(QWidget*)>>(std::move(action));
    QObject::connect(timer, &QTimer::timeout, [timer, shared] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        // Act only once the dialog is the active window, so focus behaves as on a desktop.
        if (!modal->isActiveWindow()) {
            modal->activateWindow();
            return;
        }
        timer->stop();
        timer->deleteLater();
        (*shared)(modal);
    });
    timer->start();
    return timer;
}

void showActive(QWidget* w)
{
    w->show();
    w->activateWindow();
    if (!QTest::qWaitForWindowActive(w)) ADD_FAILURE() << "window did not become active";
}

}   // namespace orra::test
