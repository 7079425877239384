#pragma once
// Scripting.Dictionary: keys mapped to items, kept in the order they were added.

#include "platform/vbscript/Dispatch.h"

#include <QHash>
#include <QString>
#include <unordered_map>
#include <vector>

namespace orra::vbs {

class DictionaryObject : public Dispatch {
public:
    QString typeName() const override { return QStringLiteral("Dictionary"); }
    bool hasMember(const QString& name) const override;
    Variant getProperty(const QString& name, Arguments& args) override;
    void putProperty(const QString& name, Arguments& args, const Variant& value) override;
    std::vector<Variant> enumerate() override;

private:
    // The lookup form of a key: strings folded under text comparison, numbers by value,
    // objects by identity.
    QString lookupKey(const Variant& key) const;
    long find(const Variant& key) const;
    long insert(const Variant& key, const Variant& item);
    void removeAt(long index);
    Variant arrayOf(bool keys) const;

    struct Entry {
        Variant key;
        Variant item;
    };
    struct KeyHash {
        size_t operator()(const QString& s) const noexcept { return qHash(s); }
    };
    std::vector<Entry> m_entries;
    // Not a QHash: its insertion may not fail cleanly when memory runs out (it ends the
    // process), where this one throws and the script gets error 7.
    std::unordered_map<QString, long, KeyHash> m_index;
    int m_compareMode = 0;   // vbBinaryCompare
};

}   // namespace orra::vbs
