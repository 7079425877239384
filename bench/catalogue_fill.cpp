// Filling the catalogue tree (FillCatalogueTree into the keyed tree, shown) for 100,000
// documents in 2,000 categories on five levels, against running the catalogue procedure and
// reading every value of its two result sets alone. Target: the fill takes at most twice as
// long. Prints the figures; the exit status is 1 when the target is missed.

#include "catalogue/EmbeddedCatalogue.h"
#include "common/Connections.h"
#include "designer/shell/mdMain.h"
#include "platform/db/Connection.h"
#include "platform/db/embedded/Server.h"
#include "platform/widgets/KeyedTree.h"

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace orra;
using Clock = std::chrono::steady_clock;

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("ORRA_SERVERS", dir.path().toUtf8());
    catalogue::registerEmbeddedCatalogue();
    catalogue::createEmbeddedServer(QStringLiteral("bench"), QStringLiteral("sa"), QStringLiteral("pw"));
    catalogue::createEmbeddedCatalogue(QStringLiteral("bench"), QStringLiteral("catalogue"));
    auto con = std::make_shared<db::Connection>();
    con->open(embedded::connectionText(
        QStringLiteral("bench"), QStringLiteral("catalogue"), QStringLiteral("sa"), QStringLiteral("pw")));
    setMainConnection(con);

    // Five levels of 10, 40, 150, 500 and 1,300 categories; each below one of the level above.
    const int levelSizes[] = {10, 40, 150, 500, 1300};
    const int documents = 100000;
    int categories = 0;
    con->beginTrans();
    int firstOfLevel = 1;
    for (int level = 0; level < 5; ++level) {
        const int previousFirst = level == 0 ? 0 : firstOfLevel - levelSizes[level - 1];
        for (int i = 0; i < levelSizes[level]; ++i) {
            const int id = firstOfLevel + i;
            const int parent = level == 0 ? 0 : previousFirst + i % levelSizes[level - 1];
            con->execute(QStringLiteral("insert into tbOrraCategory(ID,ParentID,Name,Type,Disabled,Owner) "
                                        "values (?,?,?,'T',?,suser_sid())"),
                {id, parent, QStringLiteral("Category-%1").arg(id), id % 17 == 0});
        }
        categories += levelSizes[level];
        firstOfLevel += levelSizes[level];
    }
    for (int i = 1; i <= documents; ++i)
        con->execute(QStringLiteral("insert into tbOrraSQL(ID,CategoryID,Name,Description,Type,Disabled,SQLtxt,Owner) "
                                    "values (?,?,?,'','T',?,'',suser_sid())"),
            {i, (i % categories) + 1, QStringLiteral("Document-%1").arg(i), i % 23 == 0});
    con->commitTrans();

    // The two measurements take turns, so that a busy machine slows both alike; medians of 9.
    KeyedTree tree;
    ImageList images;
    tree.setImageList(&images);
    tree.resize(300, 600);
    tree.show();
    db::RecordsetPtr sets = con->execute(QStringLiteral("exec sp_Orra_GetDocumentsAndCategories default"));
    const db::ResultSet docs = *sets->current();
    sets->NextRecordset();
    const db::ResultSet cats = *sets->current();
    sets.reset();

    qlonglong sink = 0;
    // 1. The procedure and every value of both result sets.
    auto readAlone = [&] {
        db::RecordsetPtr rs = con->execute(QStringLiteral("exec sp_Orra_GetDocumentsAndCategories default"));
        do {
            for (; rs->isOpen() && !rs->isEOF(); rs->MoveNext()) {
                sink += rs->value(0).toLongLong() + rs->value(1).toLongLong();
                sink += rs->value(2).toString().trimmed().size() + (rs->value(3).toBool() ? 1 : 0);
            }
        } while (rs->NextRecordset());
    };
    // 2. The fill of a shown tree (cleared before, untimed), and for the record the node
    //    building alone from result sets read beforehand.
    auto fillTree = [&] { morvane::FillCatalogueTree(tree); };
    auto buildNodes = [&] { morvane::FillCatalogueTree(tree, docs, cats); };
    std::vector<double> reads, fills, builds;
    auto timed = [](const std::function<void()>& f) {
        const auto t0 = Clock::now();
        f();
        return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    };
    for (int r = 0; r < 9; ++r) {
        reads.push_back(timed(readAlone));
        tree.clear();
        fills.push_back(timed(fillTree));
        tree.clear();
        builds.push_back(timed(buildNodes));
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const double read = median(reads), fill = median(fills), build = median(builds);
    if (tree.nodeCount() != documents + categories) {
        std::printf("the tree holds %d nodes instead of %d\n", tree.nodeCount(), documents + categories);
        return 1;
    }

    const double ratio = fill / read;
    std::printf("catalogue of %d documents in %d categories on five levels (checksum %lld):\n", documents, categories,
        sink % 1000);
    std::printf("  procedure and both result sets read:  %8.1f ms\n", read);
    std::printf("  FillCatalogueTree into a shown tree:  %8.1f ms  (ratio %.2f; target <= 2)\n", fill, ratio);
    std::printf("  of which building the nodes:          %8.1f ms\n", build);
    const bool ok = ratio <= 2.0;
    std::printf("%s\n", ok ? "target met" : "TARGET MISSED");
    setMainConnection(nullptr);
    return ok ? 0 : 1;
}
