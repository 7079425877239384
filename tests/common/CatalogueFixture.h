#pragma once
// A fresh embedded server per test with the catalogue database "cat": logins, users and roles
// are made with T-SQL through the administrator's connection; documents, categories and
// permission rows are written with their row checksums as the designer writes them.

#include "catalogue/EmbeddedCatalogue.h"
#include "common/Crc32.h"
#include "platform/db/Connection.h"
#include "platform/db/embedded/Server.h"
#include "platform/host/Error.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace orra::test {

class CatalogueTest : public ::testing::Test {
protected:
    static constexpr const char* kServer = "permsrv";
    static constexpr const char* kDatabase = "cat";

    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("ORRA_SERVERS", m_dir.path().toUtf8());
        catalogue::registerEmbeddedCatalogue();
        catalogue::createEmbeddedServer(server(), QStringLiteral("sa"), QStringLiteral("secret"));
        catalogue::createEmbeddedCatalogue(server(), database());
        admin = connect(QStringLiteral("sa"), QStringLiteral("secret"));
    }

    static QString server() { return QString::fromLatin1(kServer); }
    static QString database() { return QString::fromLatin1(kDatabase); }

    std::unique_ptr<db::Connection> connect(const QString& login, const QString& password)
    {
        auto c = std::make_unique<db::Connection>();
        c->open(embedded::connectionText(server(), database(), login, password));
        return c;
    }

    // A login with a user of the same name in the catalogue database; returns the user's uid.
    long addUser(const QString& name)
    {
        admin->execute(QStringLiteral("create login %1 with password='pw_%1'").arg(name));
        admin->execute(QStringLiteral("create user %1 for login %1").arg(name));
        return uidOf(name);
    }
    long addRole(const QString& name)
    {
        admin->execute(QStringLiteral("create role %1").arg(name));
        return uidOf(name);
    }
    void addMember(const QString& role, const QString& member)
    {
        admin->execute(QStringLiteral("exec sp_addrolemember '%1', '%2'").arg(role, member));
    }
    std::unique_ptr<db::Connection> connectAs(const QString& name)
    {
        return connect(name, QStringLiteral("pw_") + name);
    }

    long uidOf(const QString& name)
    {
        return long(scalar(*admin, QStringLiteral("select uid from sysusers where name='%1'").arg(name)).toLongLong());
    }

    static QVariant scalar(db::Connection& c, const QString& sql)
    {
        db::RecordsetPtr rs = c.execute(sql);
        while (rs && !rs->isOpen())
            if (!rs->NextRecordset()) return QVariant();
        if (!rs || rs->isEOF()) return QVariant();
        return rs->value(0);
    }

    // The owner is the login's security identifier, as suser_sid() gives it for that login.
    void addCategory(long id, long parent, const QString& name, const QString& ownerLogin = QStringLiteral("sa"))
    {
        admin->execute(QStringLiteral("insert into tbOrraCategory values (?, ?, ?, 'T', 0, ?, 0)"),
            {qlonglong(id), qlonglong(parent), name, embedded::loginSid(server(), ownerLogin)});
        stamp(QStringLiteral("tbOrraCategory"), id);
    }
    void addDocument(long id, long category, const QString& name, const QString& xml,
        const QString& ownerLogin = QStringLiteral("sa"))
    {
        admin->execute(QStringLiteral("insert into tbOrraSQL values (?, ?, ?, '', 'T', 0, ?, ?, 0)"),
            {qlonglong(id), qlonglong(category), name, xml, embedded::loginSid(server(), ownerLogin)});
        stamp(QStringLiteral("tbOrraSQL"), id);
    }
    void stamp(const QString& table, long id)
    {
        db::RecordsetPtr rs = admin->execute(QStringLiteral("select * from %1 where ID=%2").arg(table).arg(id));
        ASSERT_TRUE(rs && rs->isOpen() && !rs->isEOF());
        admin->execute(
            QStringLiteral("update %1 set CheckSum=%2 where ID=%3").arg(table).arg(RowCheckSum(*rs)).arg(id));
    }

    void allowDoc(long doc, long uid, long allow, long deny)
    {
        admin->execute(QStringLiteral("insert into tbOrraDocPermissions values (%1, %2, %3, %4, %5)")
                           .arg(doc)
                           .arg(uid)
                           .arg(allow)
                           .arg(deny)
                           .arg(PermissionRowCheckSum(doc, uid, allow, deny)));
    }
    void allowCategory(long category, long uid, long allow, long deny)
    {
        admin->execute(QStringLiteral("insert into tbOrraCategoryPermissions values (%1, %2, %3, %4, %5)")
                           .arg(category)
                           .arg(uid)
                           .arg(allow)
                           .arg(deny)
                           .arg(PermissionRowCheckSum(category, uid, allow, deny)));
    }

    QTemporaryDir m_dir;
    std::unique_ptr<db::Connection> admin;
};

}   // namespace orra::test
