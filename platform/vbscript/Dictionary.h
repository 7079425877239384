#pragma once
// Scripting.Dictionary: keys mapped to items, kept in the order they were added.

#include "platform/vbscript/Dispatch.h"

#include <QHash>
#include <QString>
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
    std::vector<Entry> m_entries;
    QHash<QString, long> m_index;
    int m_compareMode = 0;   // vbBinaryCompare
};

}   // namespace orra::vbs
