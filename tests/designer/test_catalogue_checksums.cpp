// The shell's row-checksum recomputation of documents and categories, verified by the
// shared services' row checksum, and the document-name test with bound names.

#include "CatalogueTestSupport.h"

#include "common/Crc32.h"
#include "designer/shell/DesignerState.h"
#include "platform/host/Error.h"

using namespace orra;
using namespace morvane;

namespace {

class RowChecksums : public test::DesignerCatalogueTest {
protected:
    void SetUp() override
    {
        DesignerCatalogueTest::SetUp();
        addCategory(1, 0, QStringLiteral("Sales"));
        addCategory(2, 0, QStringLiteral("Finance"));
        addDocument(5, 1, QStringLiteral("City report"), QStringLiteral("<Document ID=\"B0\"/>"));
    }

    // Stored and recomputed checksum of a row.
    std::pair<qint64, qint64> checksums(const QString& table, long id)
    {
        db::RecordsetPtr rs = admin->execute(QStringLiteral("select * from %1 where ID=%2").arg(table).arg(id));
        EXPECT_TRUE(rs && !rs->isEOF());
        return {rs->value(QStringLiteral("CheckSum")).toLongLong(), RowCheckSum(*rs)};
    }
};

TEST_F(RowChecksums, ADocumentRowChangedByAStatementGetsItsChecksumBack)
{
    admin->execute(QStringLiteral("update tbOrraSQL set Name='Renamed', Disabled=1 where ID=5"));
    auto [stored, computed] = checksums(QStringLiteral("tbOrraSQL"), 5);
    ASSERT_NE(stored, computed);
    EXPECT_TRUE(UpdateDocumentCheckSum(5));
    std::tie(stored, computed) = checksums(QStringLiteral("tbOrraSQL"), 5);
    EXPECT_EQ(stored, computed);
    EXPECT_TRUE(ui.messages.isEmpty());
    // A row whose only change is its checksum gets the same value again.
    admin->execute(QStringLiteral("update tbOrraSQL set CheckSum=12345 where ID=5"));
    EXPECT_TRUE(UpdateDocumentCheckSum(5));
    EXPECT_EQ(checksums(QStringLiteral("tbOrraSQL"), 5).first, computed);
}

TEST_F(RowChecksums, ACategoryRowChangedByAStatementGetsItsChecksumBack)
{
    admin->execute(QStringLiteral("update tbOrraCategory set ParentID=2, Name='Şube İç' where ID=1"));
    EXPECT_NE(
        checksums(QStringLiteral("tbOrraCategory"), 1).first, checksums(QStringLiteral("tbOrraCategory"), 1).second);
    EXPECT_TRUE(UpdateCategoryCheckSum(1));
    auto [stored, computed] = checksums(QStringLiteral("tbOrraCategory"), 1);
    EXPECT_EQ(stored, computed);
    // Only the row asked for is written.
    admin->execute(QStringLiteral("update tbOrraCategory set Name='Other' where ID=2"));
    EXPECT_TRUE(UpdateCategoryCheckSum(1));
    EXPECT_NE(
        checksums(QStringLiteral("tbOrraCategory"), 2).first, checksums(QStringLiteral("tbOrraCategory"), 2).second);
}

TEST_F(RowChecksums, AMissingRowGivesFalseWithoutAMessage)
{
    EXPECT_FALSE(UpdateDocumentCheckSum(99));
    EXPECT_FALSE(UpdateCategoryCheckSum(99));
    EXPECT_TRUE(ui.messages.isEmpty());
    setMainConnection(nullptr);
    EXPECT_FALSE(UpdateDocumentCheckSum(5));
}

TEST_F(RowChecksums, DocumentNameExistsComparesAsTheCatalogueWithinOneCategory)
{
    addDocument(6, 1, QStringLiteral("Müşteri's İstanbul"), QStringLiteral("<Document ID=\"B0\"/>"));
    EXPECT_TRUE(DocumentNameExists(QStringLiteral("City report"), 1));
    // Turkish case rules: "İ" is the capital of "i", "I" that of "ı".
    EXPECT_TRUE(DocumentNameExists(QStringLiteral("CİTY REPORT"), 1));
    EXPECT_FALSE(DocumentNameExists(QStringLiteral("CITY REPORT"), 1));
    EXPECT_FALSE(DocumentNameExists(QStringLiteral("City report"), 2));
    EXPECT_FALSE(DocumentNameExists(QStringLiteral("City"), 1));
    // Quotes and Turkish letters are bound, not pasted.
    EXPECT_TRUE(DocumentNameExists(QStringLiteral("Müşteri's İstanbul"), 1));
    EXPECT_TRUE(DocumentNameExists(QStringLiteral("MÜŞTERİ'S istanbul"), 1));
    EXPECT_FALSE(DocumentNameExists(QStringLiteral("Müşteri's Istanbul"), 1));
    EXPECT_FALSE(DocumentNameExists(QStringLiteral("x' or '1'='1"), 1));
    setMainConnection(nullptr);
    EXPECT_THROW(DocumentNameExists(QStringLiteral("City report"), 1), Error);
}

TEST_F(RowChecksums, TheCatalogueDatabaseNameIsTheConnectionsCurrentOne)
{
    EXPECT_EQ(CatalogueDatabase(), QStringLiteral("cat"));
    // The name of record of the start-up comes first.
    setCatalogueDatabaseName(QStringLiteral("Cat"));
    EXPECT_EQ(CatalogueDatabase(), QStringLiteral("Cat"));
    EXPECT_TRUE(DocumentNameExists(QStringLiteral("City report"), 1));
    setCatalogueDatabaseName(QString());
    setMainConnection(nullptr);
    EXPECT_THROW(CatalogueDatabase(), Error);
}

}   // namespace
