// Stored procedures on the embedded server: made, altered and dropped by the database's
// owners, kept in the database, called with positional and named arguments, defaults, OUTPUT
// parameters and return statuses, their result sets reaching the caller, insert … exec, and
// SQL Server's errors for what a call gets wrong, in a database "sales".
#include "EmbeddedFixture.h"

using namespace orra;
using namespace orra::embedded;
using namespace orra::embedded::test;

namespace {

const QString kSales = QStringLiteral("sales");

struct Case {
    const char* batch;
    QVariant expected;
};

struct Failure {
    const char* batch;
    long number;
    const char* message;
};

// The first value of the last result set that has rows.
QVariant lastValue(db::Connection& c, const QString& sql)
{
    db::RecordsetPtr rs = c.execute(sql);
    QVariant value;
    do {
        if (rs->isOpen() && !rs->isEOF()) value = rs->value(0);
    } while (rs->NextRecordset());
    return value;
}

// Every row of every result set, a row as its values joined by '|', result sets apart by '/'.
QString allRows(db::Connection& c, const QString& sql)
{
    db::RecordsetPtr rs = c.execute(sql);
    QStringList sets;
    do {
        if (!rs->isOpen()) continue;
        QStringList rows;
        while (!rs->isEOF()) {
            QStringList values;
            for (int i = 0; i < rs->fieldCount(); ++i)
                values << (rs->value(i).isNull() ? QStringLiteral("NULL") : rs->value(i).toString().trimmed());
            rows << values.join(u'|');
            rs->MoveNext();
        }
        sets << rows.join(u',');
    } while (rs->NextRecordset());
    return sets.join(u'/');
}

class Procedures : public EmbeddedTest {
protected:
    void SetUp() override
    {
        EmbeddedTest::SetUp();
        const QString t = QStringLiteral("t");
        createDatabase(t, kSales);
        createLogin(t, QStringLiteral("olive"), QStringLiteral("Olive#1"));
        createUser(t, kSales, QStringLiteral("olive"), QStringLiteral("olive"));
        createLogin(t, QStringLiteral("paul"), QStringLiteral("Paul#1"));
        createUser(t, kSales, QStringLiteral("paul"), QStringLiteral("paul"));
        sa = connect(kSales);
        sa->execute(QStringLiteral("exec sp_addrolemember 'db_owner', 'olive'"));
        sa->execute(QStringLiteral(
            "create table Product (ID int primary key, Name varchar(40), ListPrice money, Category varchar(20)) "
            "insert into Product values (1, 'Road-750', 539.99, 'Bikes'), (2, 'Mountain-500', 564.99, 'Bikes'), "
            "(3, 'Helmet', 34.99, 'Accessories'), (4, 'Touring-1000', 2384.07, 'Bikes')"));
    }

    void expectValues(db::Connection& c, const std::vector<Case>& cases)
    {
        for (const Case& k : cases) {
            try {
                EXPECT_EQ(lastValue(c, QString::fromUtf8(k.batch)), k.expected) << k.batch;
            } catch (const orra::Error& e) {
                ADD_FAILURE() << k.batch << ": " << e.description().toStdString();
            }
        }
    }

    void expectFailures(db::Connection& c, const std::vector<Failure>& cases)
    {
        for (const Failure& k : cases) {
            try {
                lastValue(c, QString::fromUtf8(k.batch));
                ADD_FAILURE() << k.batch << " ran";
            } catch (const orra::Error& e) {
                EXPECT_EQ(e.number(), -k.number) << k.batch;
                EXPECT_EQ(c.errors().isEmpty() ? e.description() : c.errors().first().description,
                    QString::fromUtf8(k.message))
                    << k.batch;
            }
        }
    }

    std::unique_ptr<db::Connection> sa;
};

}   // namespace

TEST_F(Procedures, CallsPassArgumentsByPositionAndByName)
{
    sa->execute(QStringLiteral("create procedure dbo.uspGetList @Product varchar(40), @MaxPrice money = 1000 as "
                               "set nocount on; select Name from Product where Category like @Product and ListPrice < "
                               "@MaxPrice order by ID"));
    const struct {
        const char* batch;
        const char* rows;
    } cases[] = {
        {"exec dbo.uspGetList 'Bikes', 560", "Road-750"},
        {"execute uspGetList @MaxPrice = 600, @Product = 'B%'", "Road-750,Mountain-500"},
        {"exec [dbo].[uspGetList] 'Bikes'", "Road-750,Mountain-500"},
        {"exec uspGetList 'Bikes', default", "Road-750,Mountain-500"},
        {"declare @p varchar(40) = '%'; exec uspGetList @p, 100", "Helmet"},
        {"uspGetList '%es'", "Road-750,Mountain-500,Helmet"},
        {"exec sales.dbo.uspGetList 'Acc%'", "Helmet"},
    };
    for (const auto& k : cases) {
        try {
            EXPECT_EQ(allRows(*sa, QString::fromUtf8(k.batch)), QString::fromUtf8(k.rows)) << k.batch;
        } catch (const orra::Error& e) {
            ADD_FAILURE() << k.batch << ": " << e.description().toStdString();
        }
    }
}
