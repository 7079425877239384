// dornel: runs one catalogue document from the command line and exports its result.

#include "launcher/Dornel.h"

#include <QCoreApplication>
#include <QStringList>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Dornel"));
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return orra::launcher::RunLauncher(QStringLiteral("dornel ") + args.join(QLatin1Char(' ')));
}
