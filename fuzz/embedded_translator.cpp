// The T-SQL translator must neither crash nor hang on any text: every input ends as a
// translation or as an error text.
#include "platform/db/embedded/TsqlLexer.h"
#include "platform/db/embedded/TsqlTranslator.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096) return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    orra::embedded::tokenize(text);
    const orra::embedded::Translation t = orra::embedded::translate(text, QStringLiteral("catalogue"));
    // A translation either fails as a whole or gives statements.
    if (!t.error.isEmpty() && !t.statements.empty()) __builtin_trap();
    return 0;
}
