#include "launcher/CommandLine.h"
#include "platform/host/Error.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace orra;
using namespace orra::launcher;

namespace {

// The "#" form of a text: each block of up to eight characters as eight numbers, number k
// holding bit k-1 of every character of the block (the inverse of the decoder).
QString encodeBitTransposed(const QByteArray& text, bool trailingSemicolon)
{
    QStringList numbers;
    for (qsizetype start = 0; start < text.size(); start += 8) {
        for (int k = 0; k < 8; ++k) {
            int x = 0;
            for (int j = 0; j < 8 && start + j < text.size(); ++j)
                if ((static_cast<uint8_t>(text[start + j]) >> k) & 1) x |= 1 << j;
            numbers << QString::number(x);
        }
    }
    return numbers.join(';') + (trailingSemicolon ? ";" : "");
}

QString errorOf(const QString& commandLine)
{
    try {
        ParseCommandLine(commandLine);
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), -1);
        return e.description();
    }
    return QStringLiteral("<no error>");
}

}   // namespace

TEST(CleanCommandLine, RemovesTabsThenCrLfPairs)
{
    EXPECT_EQ(CleanCommandLine("a\tb\r\nc\rd\ne"), "abc\rd\ne");
    // A CR and LF separated by a TAB become a pair once the TAB is gone.
    EXPECT_EQ(CleanCommandLine("x\r\t\ny"), "xy");
}

TEST(DecodeOptionValue, QuotesAndPlainValues)
{
    QString quoted = "'My Server'";
    EXPECT_EQ(DecodeOptionValue(quoted), "My Server");
    EXPECT_EQ(quoted, "My Server");   // changed in place
    QString leading = "'abc";
    EXPECT_EQ(DecodeOptionValue(leading), "abc");
    QString trailing = "abc'";
    EXPECT_EQ(DecodeOptionValue(trailing), "abc'");
    QString plain = "Abc";
    EXPECT_EQ(DecodeOptionValue(plain), "Abc");
}

TEST(DecodeBitTransposed, BlocksOfEightNumbers)
{
    QString empty = "#";
    EXPECT_EQ(DecodeOptionValue(empty), "");
    EXPECT_EQ(DecodeBitTransposed(""), "");
    EXPECT_EQ(DecodeBitTransposed("255"), "");                // one number: no whole block is read
    EXPECT_EQ(DecodeBitTransposed("0;0;0;0;0;0;0;0;"), "");   // all-zero codes are left out

    const QString one = encodeBitTransposed("sa", true);
    EXPECT_EQ(one.count(';'), 8);
    EXPECT_EQ(DecodeBitTransposed(one), "sa");
    EXPECT_EQ(DecodeBitTransposed(encodeBitTransposed("sa", false)), "sa");   // 8 numbers, no ';'
    EXPECT_EQ(DecodeBitTransposed(encodeBitTransposed("Password", true)), "Password");
    const QString two = encodeBitTransposed("Password12", true);
    EXPECT_EQ(two.count(';'), 16);
    EXPECT_EQ(DecodeBitTransposed(two), "Password12");
    QString hashed = "#" + encodeBitTransposed("gizli", true);
    EXPECT_EQ(DecodeOptionValue(hashed), "gizli");
}

TEST(DecodeBitTransposed, NineNumbersReadOneBlockAndNonNumbersGiveNoBits)
{
    // Nine numbers without a trailing ';': n = 8, blocks 0 .. Int(7/8) = 0: the ninth is not read.
    EXPECT_EQ(DecodeBitTransposed(encodeBitTransposed("ab", false) + ";255"), "ab");
    // A non-numeric element contributes nothing; the others still count.
    QStringList n = encodeBitTransposed("A", true).split(';');
    n[0] = "x";   // bit 0 of 'A' (0x41) is lost: 'A' becomes '@'
    EXPECT_EQ(DecodeBitTransposed(n.join(';')), "@");
}

TEST(ParseCommandLine, TheDesignersCommandLine)
{
    const Options o = ParseCommandLine("/Server:demo /DB:catalogue /docid:42");
    EXPECT_EQ(o.server, "demo");
    EXPECT_EQ(o.db, "catalogue");
    EXPECT_EQ(o.docid, "42");
    EXPECT_TRUE(o.userid.isEmpty());
    EXPECT_FALSE(o.debug);
    EXPECT_TRUE(o.exportReport);
}

TEST(ParseCommandLine, TheDesignersLoginWithItsPasswordInTheEnvironment)
{
    // The designer's Execute names its SQL login; the password never stands on the command line.
    qputenv(kPasswordVariable, "s3cret/;x");
    const QString login = QStringLiteral("dept/ali ");
    const Options o = ParseCommandLine("/Server:demo /DB:catalogue /docid:42 /userid:" + EncodeOptionValue(login));
    EXPECT_EQ(o.userid, login);
    EXPECT_EQ(o.pwd, "s3cret/;x");
    EXPECT_EQ(ParseCommandLine("/server:s /db:d /docid:1 /userid:sa /pwd:given").pwd, "given");   // /pwd: wins
    qunsetenv(kPasswordVariable);
    EXPECT_EQ(EncodeOptionValue("sa"), "sa");
}

TEST(ParseCommandLine, KeysInAnyCaseValuesKeepTheirs)
{
    const Options o =
        ParseCommandLine("dornel /SERVER:Demo /dB:Cat /DocId:root\\Satış\\Aylık /SchemaID:2 /UserId:Sa /PWD:'x y' "
                         "/debug:ON /ReturnRecordset:Off");
    EXPECT_EQ(o.server, "Demo");
    EXPECT_EQ(o.db, "Cat");
    EXPECT_EQ(o.docid, "root\\Satış\\Aylık");
    EXPECT_EQ(o.schemaid, "2");
    EXPECT_EQ(o.userid, "Sa");
    EXPECT_EQ(o.pwd, "x y");
    EXPECT_TRUE(o.debug);
    EXPECT_FALSE(o.exportReport);
}

TEST(ParseCommandLine, ALaterValueWinsButSwitchesDoNotSwitchBack)
{
    const Options o = ParseCommandLine("/server:a /server:b /db:d /docid:1 /debug:on /debug:off "
                                       "/returnrecordset:off /returnrecordset:on");
    EXPECT_EQ(o.server, "b");
    EXPECT_TRUE(o.debug);
    EXPECT_FALSE(o.exportReport);
}

TEST(ParseCommandLine, Faults)
{
    const QString bad = QStringLiteral("Hatalı parametre girişi");
    EXPECT_EQ(errorOf("just some text"), bad);                        // nothing after the first "/"
    EXPECT_EQ(errorOf("/server demo /db:d /docid:1"), bad);           // a key without ":"
    EXPECT_EQ(errorOf("/:x /server:s /db:d /docid:1"), bad);          // a piece that starts with ":"
    EXPECT_EQ(errorOf("/server:s /db:d"), bad);                       // docid missing
    EXPECT_EQ(errorOf("/server:s /db:d /docid:''"), bad);             // docid empty after decoding
    EXPECT_EQ(errorOf("/server:s /db:d /docid:1 /userid:sa"), bad);   // userid without pwd
    EXPECT_EQ(errorOf("/server:s /db:d /docid:1 /Color:red"), bad + " -- color");
    // pwd without userid is ignored.
    EXPECT_NO_THROW(ParseCommandLine("/server:s /db:d /docid:1 /pwd:x"));
}

TEST(ParseCommandLine, DebugIsKnownOnlyIfReadBeforeTheFault)
{
    bool debugSeen = false;
    EXPECT_THROW(ParseCommandLine("/debug:on /bogus:1", &debugSeen), Error);
    EXPECT_TRUE(debugSeen);
    EXPECT_THROW(ParseCommandLine("/bogus:1 /debug:on", &debugSeen), Error);
    EXPECT_FALSE(debugSeen);
}
