#include "platform/text/RegExp.h"

#include "platform/host/Error.h"
#include "platform/host/ErrorNumbers.h"

#include <QRegularExpression>

namespace orra {

namespace {

QRegularExpression compile(const RegExp& r)
{
    QRegularExpression::PatternOptions o = QRegularExpression::NoPatternOption;
    if (r.ignoreCase) o |= QRegularExpression::CaseInsensitiveOption;
    if (r.multiline) o |= QRegularExpression::MultilineOption;
    QRegularExpression re(r.pattern, o);
    if (!re.isValid())
        throw Error(kRegExpSyntax, QStringLiteral("Microsoft VBScript runtime error"),
            QStringLiteral("Syntax error in regular expression"));
    return re;
}

RegExpMatch toMatch(const QRegularExpressionMatch& m)
{
    RegExpMatch r;
    r.firstIndex = int(m.capturedStart(0));
    r.length = int(m.capturedLength(0));
    r.value = m.captured(0);
    for (int g = 1; g <= m.lastCapturedIndex() || g <= m.regularExpression().captureCount(); ++g) {
        bool took = m.capturedStart(g) >= 0;
        r.subMatches.append(took ? m.captured(g) : QString());
        r.subMatched.append(took);
    }
    return r;
}

}   // namespace

QList<RegExpMatch> RegExp::execute(const QString& text) const
{
    QRegularExpression re = compile(*this);
    QList<RegExpMatch> out;
    if (!global) {
        QRegularExpressionMatch m = re.match(text);
        if (m.hasMatch()) out.append(toMatch(m));
        return out;
    }
    auto it = re.globalMatch(text);
    while (it.hasNext()) out.append(toMatch(it.next()));
    return out;
}

bool RegExp::test(const QString& text) const { return compile(*this).match(text).hasMatch(); }

QString RegExp::replace(const QString& text, const QString& replacement) const
{
    QList<RegExpMatch> matches = execute(text);
    QString out;
    int pos = 0;
    for (const RegExpMatch& m : matches) {
        out += text.mid(pos, m.firstIndex - pos);
        const int n = int(replacement.size());
        for (int i = 0; i < n; ++i) {
            QChar c = replacement[i];
            if (c != u'$' || i + 1 >= n) {
                out += c;
                continue;
            }
            QChar k = replacement[i + 1];
            if (k == u'$') {
                out += u'$';
                ++i;
                continue;
            }
            if (k == u'&') {
                out += m.value;
                ++i;
                continue;
            }
            if (k == u'`') {
                out += text.left(m.firstIndex);
                ++i;
                continue;
            }
            if (k == u'\'') {
                out += text.mid(m.firstIndex + m.length);
                ++i;
                continue;
            }
            if (k.isDigit()) {
                int g = k.digitValue();
                int used = 1;
                if (i + 2 < n && replacement[i + 2].isDigit()) {
                    int g2 = g * 10 + replacement[i + 2].digitValue();
                    if (g2 >= 1 && g2 <= m.subMatches.size()) {
                        g = g2;
                        used = 2;
                    }
                }
                if (g >= 1 && g <= m.subMatches.size()) {
                    out += m.subMatches[g - 1];
                    i += used;
                    continue;
                }
            }
            out += c;
        }
        pos = m.firstIndex + m.length;
    }
    out += text.mid(pos);
    return out;
}

}   // namespace orra
