#pragma once
// Where each element's text editor stood when the author left it: the caret (SelStart) and the
// first visible line, keyed by element ID, for the editor window's lifetime.

#include <QString>
#include <memory>
#include <vector>

namespace morvane {

class clsRTFPosition {
public:
    long Position = 0;   // the caret: SelStart
    long FirstRow = 0;   // the first visible line
};

// A keyed collection of positions in the manner of a VB Collection: items in the order they
// were added, reachable by key or by 1-based index; an empty key adds an item without a key.
class colBlockCursorPositions {
public:
    // Adds a new position; a key already present is the collection's duplicate-key error
    // (orra::Error 457).
    clsRTFPosition& Add(long FirstRow, long Position, const QString& sKey);
    bool IsExists(const QString& key) const;
    // The item by key, or by 1-based index; a missing one is orra::Error 5.
    clsRTFPosition& Item(const QString& key);
    clsRTFPosition& Item(int index);
    long Count() const { return long(m_items.size()); }
    void Remove(const QString& key);
    void Remove(int index);

    // Walking the items in order.
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    struct Entry {
        QString key;
        std::unique_ptr<clsRTFPosition> item;
    };
    std::vector<Entry>::iterator find(const QString& key);
    std::vector<Entry> m_items;
};

}   // namespace morvane
