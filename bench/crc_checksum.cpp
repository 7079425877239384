// GetCheckSum over 100 MB of text against a bare table-driven CRC-32 loop over the same
// bytes already in the code page. Prints both times and their ratio (target: at most 1.2).

#include "common/Crc32.h"
#include "platform/text/AnsiCodePage.h"

#include <QString>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

uint32_t bareCrc(const QByteArray& bytes)
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1u) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (char ch : bytes) crc = (crc >> 8) ^ table[(crc ^ static_cast<uint8_t>(ch)) & 0xFFu];
    return ~crc;
}

template <class F> double bestOf(int runs, F&& f)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        best = std::min(best, s);
    }
    return best;
}

}   // namespace

int main(int argc, char** argv)
{
    const qsizetype megabytes = argc > 1 ? QString::fromLatin1(argv[1]).toLongLong() : 100;
    // Plausible catalogue text: SQL with Turkish letters.
    const QString unit =
        QStringLiteral("select Ad, Soyad, Şehir from tbMüşteri where Ülke='Türkiye' and İl<>'' -- ğış\r\n");
    QString text;
    text.reserve(megabytes * 1024 * 1024);
    while (text.size() < megabytes * 1024 * 1024) text += unit;
    const QByteArray bytes = orra::text::AnsiCodePage::system().encode(text);

    int32_t ours = 0;
    uint32_t bare = 0;
    const double tOurs = bestOf(3, [&] { ours = orra::ComputeCheckSum(text); });
    const double tBare = bestOf(3, [&] { bare = bareCrc(bytes); });
    if (static_cast<uint32_t>(ours) != bare) {
        std::fprintf(stderr, "checksums differ: %d vs %d\n", ours, static_cast<int32_t>(bare));
        return 1;
    }
    std::printf(
        "GetCheckSum over %lld MB: %.3f s (%.0f MB/s)\n", static_cast<long long>(megabytes), tOurs, megabytes / tOurs);
    std::printf("bare table loop:        %.3f s (%.0f MB/s)\n", tBare, megabytes / tBare);
    std::printf("ratio: %.2f (target <= 1.2)\n", tOurs / tBare);
    return 0;
}
