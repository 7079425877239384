// The translator's parts: the token cursor, the statement model (each kind with its own
// fields) and errors that say where in the text they were found.
#include "platform/db/embedded/TsqlLexer.h"
#include "platform/db/embedded/TsqlTranslator.h"
#include "platform/db/embedded/translator/TokenCursor.h"

#include "PrintQString.h"

#include <gtest/gtest.h>

using namespace orra::embedded;
using orra::embedded::translator::TokenCursor;

namespace {

Translation tr(const QString& sql) { return translate(sql, QStringLiteral("catalogue")); }

// Where in sql the error of its translation was found, as the text from there on.
QString errorAt(const QString& sql)
{
    const Translation t = tr(sql);
    EXPECT_FALSE(t.error.isEmpty()) << sql.toStdString();
    EXPECT_GE(t.errorPosition, 0);
    EXPECT_LE(t.errorPosition, sql.size());
    return t.errorPosition < 0 ? QStringLiteral("<none>") : sql.mid(t.errorPosition);
}

}   // namespace

TEST(TokenCursor, PeekMatchAndSkipAGroup)
{
    const LexResult lex = tokenize(QStringLiteral("insert into T (a, (b), c) values (1)"));
    ASSERT_TRUE(lex.error.isEmpty());
    TokenCursor c(lex.tokens);
    EXPECT_TRUE(c.at("insert"));
    EXPECT_TRUE(c.at("INTO", 1));
    EXPECT_TRUE(c.atName(2));
    EXPECT_FALSE(c.match("into"));
    EXPECT_EQ(c.position(), 0u);
    EXPECT_TRUE(c.match("insert"));
    EXPECT_TRUE(c.match("into"));
    c.skip();
    ASSERT_TRUE(c.atSymbol("("));
    // the group with a nested one inside: the cursor lands after its own ')'
    const size_t close = c.skipGroup();
    EXPECT_TRUE(lex.tokens[close].isSymbol(")"));
    EXPECT_EQ(lex.tokens[close].pos, 24);
    EXPECT_TRUE(c.at("values"));
    EXPECT_TRUE(c.atAny({"select", "values"}));
    c.skip();
    EXPECT_TRUE(c.matchSymbol("("));
    EXPECT_EQ(c.peek(3), nullptr);
    EXPECT_FALSE(c.at("anything", 5));
}

TEST(TokenCursor, UnclosedGroupEndsAtTheEnd)
{
    const LexResult lex = tokenize(QStringLiteral("( a ( b )"));
    TokenCursor c(lex.tokens);
    EXPECT_EQ(c.skipGroup(), lex.tokens.size());
    EXPECT_TRUE(c.atEnd());
    EXPECT_EQ(c.peek(), nullptr);
}

TEST(TranslatorModel, EachKindCarriesItsOwnFields)
{
    const Translation t = tr(QStringLiteral("insert T values (1) select A into #X from T update T set A = 1 "
                                            "select getdate() d"));
    ASSERT_TRUE(t.error.isEmpty()) << t.error.toStdString();
    ASSERT_EQ(t.statements.size(), 4u);
    const auto* insert = t.statements[0].as<SqlStatement>();
    ASSERT_NE(insert, nullptr);
    EXPECT_EQ(insert->insert.table, QStringLiteral("T"));
    EXPECT_EQ(insert->insert.schema, QStringLiteral("main"));
    EXPECT_EQ(insert->insert.columnsAt, 13);
    EXPECT_EQ(insert->sql.left(13), QStringLiteral("insert into T"));
    EXPECT_TRUE(insert->dml);
    const auto* into = t.statements[1].as<SqlStatement>();
    ASSERT_NE(into, nullptr);
    EXPECT_EQ(into->intoTable, QStringLiteral("temp.\"#X\""));
    EXPECT_EQ(into->insert.columnsAt, -1);
    EXPECT_FALSE(into->returnsRows);
    const auto* update = t.statements[2].as<SqlStatement>();
    ASSERT_NE(update, nullptr);
    EXPECT_TRUE(update->dml);
    EXPECT_TRUE(update->insert.name.isEmpty());
    EXPECT_TRUE(update->typing.columns.empty());
    const auto* select = t.statements[3].as<SqlStatement>();
    ASSERT_NE(select, nullptr);
    EXPECT_TRUE(select->returnsRows);
    ASSERT_EQ(select->typing.columns.size(), 1u);
    EXPECT_EQ(select->typing.columns[0].kind, TypeRule::Kind::Fixed);
    EXPECT_EQ(select->typing.columns[0].type, QStringLiteral("datetime"));
    EXPECT_FALSE(t.statements[0].is<IfStatement>());
    EXPECT_EQ(t.statements[0].as<ProcedureCall>(), nullptr);
}

TEST(TranslatorErrors, CarryThePositionWhereTheyWereFound)
{
    EXPECT_EQ(errorAt(QStringLiteral("select 1 x\nselect @v")), QStringLiteral("@v"));
    EXPECT_EQ(
        tr(QStringLiteral("select 1 x\nselect @v")).error, QStringLiteral("Must declare the scalar variable \"@v\"."));
    EXPECT_EQ(errorAt(QStringLiteral("select @@nothing")), QStringLiteral("@@nothing"));
    EXPECT_EQ(errorAt(QStringLiteral("select 1 end")), QStringLiteral("end"));
    EXPECT_EQ(errorAt(QStringLiteral("select 1; analyze x")), QStringLiteral("analyze x"));
    EXPECT_EQ(errorAt(QStringLiteral("exec sp_UserLock 'a',,1")), QStringLiteral(",1"));
    EXPECT_EQ(errorAt(QStringLiteral("exec sp_UserLock @x")), QStringLiteral("@x"));
    // at the end of the text: the position is the text's length
    const QString open = QStringLiteral("begin select 1");
    EXPECT_EQ(tr(open).errorPosition, open.size());
    EXPECT_EQ(tr(open).error, QStringLiteral("Incorrect syntax near the keyword 'begin': 'end' expected."));
    const QString ifOnly = QStringLiteral("if exists(select 1)");
    EXPECT_EQ(tr(ifOnly).errorPosition, ifOnly.size());
}

TEST(TranslatorErrors, LexerAndNestingErrorsCarryAPositionToo)
{
    EXPECT_EQ(errorAt(QStringLiteral("select 1 where a = 'open")), QStringLiteral("'open"));
    EXPECT_EQ(errorAt(QStringLiteral("select [x from T")), QStringLiteral("[x from T"));
    EXPECT_EQ(errorAt(QStringLiteral("select 1 /* no end")), QStringLiteral("/* no end"));
    // the parenthesis one level too deep
    QString deep = QStringLiteral("select ");
    for (int i = 0; i < 129; ++i) deep += u'(';
    deep += u'1';
    for (int i = 0; i < 129; ++i) deep += u')';
    const Translation t = tr(deep);
    EXPECT_EQ(t.errorNumber, 191);
    EXPECT_EQ(t.errorPosition, 7 + 128);
    // no error, no position
    EXPECT_EQ(tr(QStringLiteral("select 1")).errorPosition, -1);
}
