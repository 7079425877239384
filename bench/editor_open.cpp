// Opening a document of 5,000 elements that includes 50 documents of 100 elements each in the
// editor window (read from an embedded catalogue, parsed, expanded, the element tree built)
// against reading, parsing and expanding the same document without widgets. Prints the times
// (best of the runs) and their ratio (target: at most 3). Runs offscreen unless a platform is
// named in QT_QPA_PLATFORM.

#include "common/IncludeExpansion.h"
#include "common/Xml.h"
#include "common/Connections.h"
#include "designer/shell/DesignerState.h"
#include "designer/editor/frmOrraDevelopment.h"
#include "platform/db/Connection.h"
#include "catalogue/EmbeddedCatalogue.h"
#include "platform/db/embedded/Server.h"

#include <QApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

using namespace orra;

namespace {

constexpr int kIncludes = 50;
constexpr int kIncludedElements = 100;
constexpr int kRootElements = 5000;

QString parameter(const QString& id, const QString& name)
{
    return QStringLiteral("<Parameter ID=\"%1\" Name=\"%2\" Caption=\"%2\" DefaultValue=\"\" Type=\"text\" Source=\"\" "
                          "ReturnCol=\"\" Prompt=\"\" SelectionType=\"single\" Behaviour=\"dynamic\"/>")
        .arg(id, name);
}

// kIncludedElements elements: the root, 10 parameters, blocks with a script and a station.
QString includedText(int n)
{
    QString t = QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[included %1]]>").arg(n);
    int count = 1;
    for (int p = 0; p < 10; ++p, ++count)
        t += parameter(QStringLiteral("B0.P_p%1").arg(p), QStringLiteral("p%1").arg(p));
    for (int b = 0; count < kIncludedElements; ++b) {
        t += QStringLiteral("<Block ID=\"B0.%1\" Name=\"Block%1\"><![CDATA[select a from t%1 where x = '<$p1%>']]>")
                 .arg(b);
        ++count;
        if (count < kIncludedElements) {
            t += QStringLiteral(
                "<Script ID=\"B0.%1.X0\" Name=\"Script\" Language=\"VBScript\"><![CDATA[x = \"B0.%1\"]]></Script>")
                     .arg(b);
            ++count;
        }
        if (count < kIncludedElements) {
            t += QStringLiteral("<Station ID=\"B0.%1.S0\" Name=\"Station\"><![CDATA[]]></Station>").arg(b);
            ++count;
        }
        t += QStringLiteral("</Block>");
    }
    return t + QStringLiteral("</Document>");
}

// kRootElements elements, among them kIncludes Include elements with one Inheritance each.
QString rootText()
{
    QString t = QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[root]]>");
    int count = 1;
    for (int p = 0; p < 10; ++p, ++count)
        t += parameter(QStringLiteral("B0.P_r%1").arg(p), QStringLiteral("r%1").arg(p));
    int included = 0;
    for (int b = 0; count < kRootElements; ++b) {
        t += QStringLiteral("<Block ID=\"B0.%1\" Name=\"Block%1\"><![CDATA[select * from t where a = '<$r1%>']]>")
                 .arg(b);
        ++count;
        if (included < kIncludes && b % 20 == 0 && count + 2 <= kRootElements) {
            t += QStringLiteral("<Include ID=\"B0.%1.I0\" Name=\"Include:doc%2\" DocID=\"%3\">"
                                "<Inheritance PID=\"B0.P_p1\" RID=\"B0.P_r1\"/></Include>")
                     .arg(b)
                     .arg(included)
                     .arg(100 + included);
            count += 2;
            ++included;
        }
        for (int s = 0; s < 2 && count < kRootElements; ++s, ++count)
            t += QStringLiteral("<Station ID=\"B0.%1.S%2\" Name=\"Station\"><![CDATA[]]></Station>").arg(b).arg(s);
        t += QStringLiteral("</Block>");
    }
    return t + QStringLiteral("</Document>");
}

// The best of the runs; after each run, release (untimed) lets go of what the run made.
double bestMs(const std::function<void()>& f, int runs, const std::function<void()>& release)
{
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const auto a = std::chrono::steady_clock::now();
        f();
        const auto b = std::chrono::steady_clock::now();
        t.push_back(std::chrono::duration<double, std::milli>(b - a).count());
        release();
    }
    return *std::min_element(t.begin(), t.end());
}

}   // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("ORRA_SERVERS", dir.path().toUtf8());
    catalogue::registerEmbeddedCatalogue();
    catalogue::createEmbeddedServer(QStringLiteral("bench"), QStringLiteral("sa"), QStringLiteral("secret"));
    catalogue::createEmbeddedCatalogue(QStringLiteral("bench"), QStringLiteral("cat"));
    db::Connection c;
    c.open(embedded::connectionText(
        QStringLiteral("bench"), QStringLiteral("cat"), QStringLiteral("sa"), QStringLiteral("secret")));
    c.execute(
        QStringLiteral("insert into tbOrraSQL values (1, 0, 'root', '', 'T', 0, ?, suser_sid(), 0)"), {rootText()});
    for (int i = 0; i < kIncludes; ++i)
        c.execute(
            QStringLiteral("insert into tbOrraSQL values (%1, 0, 'doc%1', '', 'T', 0, ?, suser_sid(), 0)").arg(100 + i),
            {includedText(i)});

    // The designer's catalogue connection (not owned here: the aliasing pointer keeps c).
    orra::setMainConnection(db::ConnectionPtr(db::ConnectionPtr(), &c));
    morvane::setCatalogueDatabaseName(QStringLiteral("cat"));

    // Each side is timed to the point where the document is open; what was opened is then
    // let go outside the timing.
    const int runs = 51;
    std::vector<std::unique_ptr<xml::Document>> documents;
    const double bare = bestMs(
        [&] {
            db::RecordsetPtr rs = c.execute(QStringLiteral("Select SqlTxt from cat..tbOrraSQL where ID=1"));
            auto d = std::make_unique<xml::Document>();
            d->loadXML(rs->value(0).toString());
            ExpandIncludes(&c, d->documentElement(), 1, QStringLiteral("cat"));
            documents.push_back(std::move(d));
        },
        runs, [&] { documents.clear(); });
    int nodes = 0;
    std::vector<std::unique_ptr<morvane::frmOrraDevelopment>> windows;
    const double window = bestMs(
        [&] {
            auto w = std::make_unique<morvane::frmOrraDevelopment>();
            w->resize(900, 700);
            w->setDocID(1);
            if (!w->LoadWindow()) std::abort();
            nodes = w->documentTree()->nodeCount();
            windows.push_back(std::move(w));
        },
        runs, [&] { windows.clear(); });
    std::printf("document: %d elements, %d includes of %d elements; tree: %d nodes\n", kRootElements, kIncludes,
        kIncludedElements, nodes);
    std::printf("read + parse + expand (no widgets):    %8.3f ms\n", bare);
    std::printf("editor window (load, expand, tree):     %8.3f ms   ratio %.2f (target <= 3)\n", window, window / bare);
    windows.clear();
    orra::setMainConnection(nullptr);
    return 0;
}
