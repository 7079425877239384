// vbsrun FILE: runs a VBScript file headless. Message boxes print their text to standard
// output and take the default button; input boxes print the prompt and take the default.
// An error prints its report to standard error and the exit status is 1.

#include "platform/host/UserInterface.h"
#include "platform/vbscript/ScriptEngine.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringDecoder>
#include <cstdio>

namespace {

class ConsoleUserInterface : public orra::HeadlessUserInterface {
public:
    int messageBox(const QString& text, int style, const QString&) override
    {
        std::fputs(qUtf8Printable(text), stdout);
        std::fputc('\n', stdout);
        const int buttons = style & 7;
        const int which = (style & orra::vbDefaultButton3) ? 2 : (style & orra::vbDefaultButton2) ? 1 : 0;
        static const int answers[6][3] = {
            {orra::vbOK, orra::vbOK, orra::vbOK},
            {orra::vbOK, orra::vbCancel, orra::vbCancel},
            {orra::vbAbort, orra::vbRetry, orra::vbIgnore},
            {orra::vbYes, orra::vbNo, orra::vbCancel},
            {orra::vbYes, orra::vbNo, orra::vbNo},
            {orra::vbRetry, orra::vbCancel, orra::vbCancel},
        };
        return buttons < 6 ? answers[buttons][which] : orra::vbOK;
    }
    QString inputBox(const QString& prompt, const QString&, const QString& defaultValue, bool* cancelled) override
    {
        std::fputs(qUtf8Printable(prompt), stdout);
        std::fputc('\n', stdout);
        if (cancelled) *cancelled = false;
        return defaultValue;
    }
};

}   // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: vbsrun FILE\n");
        return 2;
    }
    QFile f(QString::fromLocal8Bit(argv[1]));
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "vbsrun: cannot open %s\n", argv[1]);
        return 2;
    }
    QByteArray bytes = f.readAll();
    QString code = QString::fromUtf8(bytes);
    if (code.startsWith(QChar(0xFEFF))) code.remove(0, 1);

    ConsoleUserInterface ui;
    orra::setUserInterface(&ui);
    orra::vbs::ScriptEngine engine;
    int status = 0;
    try {
        engine.executeStatement(code);
    } catch (const orra::vbs::ScriptError& e) {
        const orra::vbs::ErrorReport& r = e.report();
        std::fflush(stdout);
        std::fprintf(stderr, "%s(%d, %d) %s: %s (%ld)\n", argv[1], r.line, r.column, qUtf8Printable(r.source),
            qUtf8Printable(r.description), r.number);
        if (!r.text.isEmpty()) std::fprintf(stderr, "    %s\n", qUtf8Printable(r.text));
        status = 1;
    }
    std::fflush(stdout);
    orra::setUserInterface(nullptr);
    return status;
}
