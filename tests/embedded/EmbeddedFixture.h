#pragma once
// A fresh embedded server per test: ORRA_SERVERS points at a temporary folder, the server
// "t" has the administrator sa/secret, the registry database "mat" and a catalogue database
// "catalogue" (the catalogue registered with the server).

#include "catalogue/EmbeddedCatalogue.h"
#include "platform/db/Connection.h"
#include "platform/db/embedded/Server.h"
#include "platform/host/Error.h"

#include <QTemporaryDir>
#include "PrintQString.h"

#include <gtest/gtest.h>

namespace orra::embedded::test {

class EmbeddedTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("ORRA_SERVERS", m_dir.path().toUtf8());
        catalogue::registerEmbeddedCatalogue();
        catalogue::createEmbeddedServer(QStringLiteral("t"), QStringLiteral("sa"), QStringLiteral("secret"));
        catalogue::createEmbeddedCatalogue(QStringLiteral("t"), QStringLiteral("catalogue"));
    }

    std::unique_ptr<db::Connection> connect(const QString& database = QStringLiteral("catalogue"),
        const QString& login = QStringLiteral("sa"), const QString& password = QStringLiteral("secret"))
    {
        auto c = std::make_unique<db::Connection>();
        c->open(connectionText(QStringLiteral("t"), database, login, password));
        return c;
    }

    // First field of the first row of the first result set that has rows.
    static QVariant scalar(db::Connection& c, const QString& sql)
    {
        db::RecordsetPtr rs = c.execute(sql);
        while (rs && !rs->isOpen()) {
            if (!rs->NextRecordset()) return QVariant();
        }
        if (!rs || rs->isEOF()) return QVariant();
        return rs->value(0);
    }

    // The description of the first error that running sql as c raises; empty when it runs.
    static QString refusal(db::Connection& c, const QString& sql)
    {
        try {
            c.execute(sql);
        } catch (const orra::Error&) {
            return c.errors().isEmpty() ? QStringLiteral("(no error text)") : c.errors().first().description;
        }
        return QString();
    }

    QTemporaryDir m_dir;
};

}   // namespace orra::embedded::test
