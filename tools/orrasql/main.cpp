// orrasql: the command-line client of the embedded server.
#include "catalogue/EmbeddedCatalogue.h"
#include "tools/orrasql/OrraSql.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    orra::catalogue::registerEmbeddedCatalogue();
    QTextStream out(stdout);
    QTextStream err(stderr);
    orra::tools::SqlOptions options;
    const QString problem = orra::tools::parseArguments(app.arguments().mid(1), options);
    if (!problem.isEmpty()) {
        err << "orrasql: " << problem << '\n' << orra::tools::usage();
        return 2;
    }
    return orra::tools::runOrraSql(options, out, err);
}
