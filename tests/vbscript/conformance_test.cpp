// Runs every program of conformance/ and compares what its message boxes showed (one line
// each) with the expected output file; a failing program adds a final "!error" line.

#include "platform/host/UserInterface.h"
#include "tests/support/RecordingUserInterface.h"
#include "platform/vbscript/ScriptEngine.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

QString conformanceDir() { return QStringLiteral(ORRA_SOURCE_DIR "/tests/vbscript/conformance"); }

std::vector<std::string> programs()
{
    std::vector<std::string> out;
    for (const QString& f : QDir(conformanceDir()).entryList({QStringLiteral("*.vbs")}, QDir::Files, QDir::Name))
        out.push_back(f.chopped(4).toStdString());
    return out;
}

QString readText(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(f.readAll());
}

class Conformance : public ::testing::TestWithParam<std::string> {};

TEST_P(Conformance, MatchesExpectedOutput)
{
    const QString base = conformanceDir() + u'/' + QString::fromStdString(GetParam());
    const QString code = readText(base + QStringLiteral(".vbs"));
    const QString expected = readText(base + QStringLiteral(".out"));
    ASSERT_FALSE(code.isEmpty());
    ASSERT_FALSE(expected.isEmpty()) << "missing " << qPrintable(base) << ".out";

    orra::test::RecordingUserInterface ui;
    orra::setUserInterface(&ui);
    {
        orra::vbs::ScriptEngine engine;
        try {
            engine.executeStatement(code);
        } catch (const orra::vbs::ScriptError& e) {
            const auto& r = e.report();
            if (r.source.contains(QStringLiteral("compilation")))
                ui.lines << QStringLiteral("!error %1 line %2 col %3: %4 [%5]")
                                .arg(r.number)
                                .arg(r.line)
                                .arg(r.column)
                                .arg(r.description, r.text);
            else
                ui.lines << QStringLiteral("!error %1 line %2: %3").arg(r.number).arg(r.line).arg(r.description);
        }
    }
    orra::setUserInterface(nullptr);

    QStringList want = expected.split(u'\n');
    if (!want.isEmpty() && want.last().isEmpty()) want.removeLast();
    const QStringList& got = ui.lines;
    for (int i = 0; i < std::max(want.size(), got.size()); ++i) {
        QString w = i < want.size() ? want[i] : QStringLiteral("<nothing>");
        QString g = i < got.size() ? got[i] : QStringLiteral("<nothing>");
        EXPECT_EQ(g.toStdString(), w.toStdString()) << "output line " << (i + 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, Conformance, ::testing::ValuesIn(programs()),
    [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}   // namespace
