#include "platform/text/AnsiCodePage.h"

#include <QByteArray>
#include <QSettings>
#include <algorithm>
#include <atomic>
#include <map>
#include <iconv.h>
#include <memory>
#include <mutex>

namespace orra::text {
namespace {

constexpr int kDefaultCodePage = 1254;
constexpr int kSupported[] = {1250, 1251, 1252, 1253, 1254, 1257};

int configuredCodePage()
{
    bool ok = false;
    int cp = qEnvironmentVariableIntValue("ORRA_CODEPAGE", &ok);
    if (ok && AnsiCodePage::isSupported(cp)) return cp;
    QSettings settings(QStringLiteral("Orra"), QStringLiteral("Orra"));
    cp = settings.value(QStringLiteral("Main Settings/CodePage")).toInt(&ok);
    if (ok && AnsiCodePage::isSupported(cp)) return cp;
    return kDefaultCodePage;
}

// Every code page built stays alive for the process, so a reference from system() never dangles
// when the setting changes.
std::mutex g_mutex;
std::map<int, std::unique_ptr<AnsiCodePage>> g_built;
std::atomic<const AnsiCodePage*> g_system{nullptr};

const AnsiCodePage& built(int codePage)
{
    auto& slot = g_built[codePage];
    if (!slot) slot = std::make_unique<AnsiCodePage>(codePage);
    return *slot;
}

}   // namespace

bool AnsiCodePage::isSupported(int codePage)
{
    return std::find(std::begin(kSupported), std::end(kSupported), codePage) != std::end(kSupported);
}

AnsiCodePage::AnsiCodePage(int codePage) : m_number(isSupported(codePage) ? codePage : kDefaultCodePage)
{
    // The upper half comes from the C library's converter; a byte that the code page leaves
    // undefined maps to the control character of the same number, as Windows does.
    const QByteArray name = "CP" + QByteArray::number(m_number);
    iconv_t cd = iconv_open("UTF-16LE", name.constData());
    for (int b = 0; b < 256; ++b) {
        char16_t out = static_cast<char16_t>(b);
        if (b >= 0x80 && cd != reinterpret_cast<iconv_t>(-1)) {
            char in = static_cast<char>(b);
            char buf[4];
            char* inp = &in;
            size_t inLeft = 1;
            char* outp = buf;
            size_t outLeft = sizeof buf;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &inp, &inLeft, &outp, &outLeft) != static_cast<size_t>(-1) && outLeft == 2)
                out = static_cast<char16_t>(static_cast<uint8_t>(buf[0]) | (static_cast<uint8_t>(buf[1]) << 8));
        }
        m_toUnicode[b] = out;
        if (b >= 0x80) m_upper[b - 0x80] = {out, static_cast<uint8_t>(b)};
    }
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    std::sort(m_upper.begin(), m_upper.end());
}

uint8_t AnsiCodePage::slowToByte(char16_t ch) const
{
    auto it = std::lower_bound(m_upper.begin(), m_upper.end(), std::pair<char16_t, uint8_t>{ch, 0});
    if (it != m_upper.end() && it->first == ch) return it->second;
    return '?';
}

QByteArray AnsiCodePage::encode(const QString& s) const
{
    QByteArray out;
    out.resize(s.size());
    char* p = out.data();
    for (QChar c : s) *p++ = static_cast<char>(toByte(c.unicode()));
    return out;
}

QString AnsiCodePage::decode(const QByteArray& bytes) const
{
    QString out;
    out.resize(bytes.size());
    QChar* p = out.data();
    for (char b : bytes) *p++ = QChar(m_toUnicode[static_cast<uint8_t>(b)]);
    return out;
}

const AnsiCodePage& AnsiCodePage::system()
{
    if (const AnsiCodePage* cp = g_system.load(std::memory_order_acquire)) return *cp;
    std::lock_guard lock(g_mutex);
    if (!g_system.load()) g_system.store(&built(configuredCodePage()), std::memory_order_release);
    return *g_system.load();
}

bool AnsiCodePage::setSystem(int codePage)
{
    if (!isSupported(codePage)) return false;
    std::lock_guard lock(g_mutex);
    g_system.store(&built(codePage), std::memory_order_release);
    return true;
}

}   // namespace orra::text
