#include "designer/editor/colBlockCursorPositions.h"

#include "platform/host/Error.h"
#include "platform/host/ErrorNumbers.h"

namespace morvane {

namespace {

[[noreturn]] void invalidArgument()
{
    throw orra::Error(
        5, QStringLiteral("colBlockCursorPositions"), QStringLiteral("Invalid procedure call or argument"));
}

}   // namespace

std::vector<colBlockCursorPositions::Entry>::iterator colBlockCursorPositions::find(const QString& key)
{
    // Collection keys ignore case.
    for (auto it = m_items.begin(); it != m_items.end(); ++it)
        if (!it->key.isEmpty() && it->key.compare(key, Qt::CaseInsensitive) == 0) return it;
    return m_items.end();
}

clsRTFPosition& colBlockCursorPositions::Add(long FirstRow, long Position, const QString& sKey)
{
    if (!sKey.isEmpty() && find(sKey) != m_items.end())
        throw orra::Error(orra::kKeyAlreadyExists, QStringLiteral("colBlockCursorPositions"),
            QStringLiteral("This key is already associated with an element of this collection"));
    auto item = std::make_unique<clsRTFPosition>();
    item->FirstRow = FirstRow;
    item->Position = Position;
    m_items.push_back({sKey, std::move(item)});
    return *m_items.back().item;
}

bool colBlockCursorPositions::IsExists(const QString& key) const
{
    if (key.isEmpty()) return false;
    for (const Entry& e : m_items)
        if (!e.key.isEmpty() && e.key.compare(key, Qt::CaseInsensitive) == 0) return true;
    return false;
}

clsRTFPosition& colBlockCursorPositions::Item(const QString& key)
{
    const auto it = key.isEmpty() ? m_items.end() : find(key);
    if (it == m_items.end()) invalidArgument();
    return *it->item;
}

clsRTFPosition& colBlockCursorPositions::Item(int index)
{
    if (index < 1 || index > int(m_items.size())) invalidArgument();
    return *m_items[size_t(index - 1)].item;
}

void colBlockCursorPositions::Remove(const QString& key)
{
    const auto it = key.isEmpty() ? m_items.end() : find(key);
    if (it == m_items.end()) invalidArgument();
    m_items.erase(it);
}

void colBlockCursorPositions::Remove(int index)
{
    if (index < 1 || index > int(m_items.size())) invalidArgument();
    m_items.erase(m_items.begin() + (index - 1));
}

}   // namespace morvane
