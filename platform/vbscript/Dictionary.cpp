#include "platform/vbscript/Dictionary.h"

#include "platform/vbscript/Runtime.h"

#include <cmath>

namespace orra::vbs {

namespace {

const Variant& arg(const Arguments& args, size_t i)
{
    if (isMissing(args, i)) raise(kWrongArgumentCount);
    return args[i];
}

}   // namespace

bool DictionaryObject::hasMember(const QString& name) const
{
    static const QStringList names = {
        "add", "exists", "item", "items", "key", "keys", "remove", "removeall", "count", "comparemode"};
    return names.contains(foldCase(name));
}

QString DictionaryObject::lookupKey(const Variant& key) const
{
    switch (key.type()) {
    case VarType::Empty:
        return QStringLiteral("e");
    case VarType::Null:
        return QStringLiteral("z");
    case VarType::String:
        return u's' + (m_compareMode == 0 ? key.rawString() : foldCase(key.rawString()));
    case VarType::Date:
        return u'd' + QString::number(key.rawDouble(), 'g', 17);
    case VarType::Currency:
        return u'n' + formatCurrency(key.rawInt());
    case VarType::Object:
        return u'o' + QString::number(quintptr(key.rawObject().get()), 16);
    case VarType::Array:
    case VarType::Error:
        raise(kTypeMismatch);
    default: {
        // numbers of any subtype (and Booleans) meet when their values are equal
        const double d = key.toDouble();
        if (d == std::floor(d) && std::fabs(d) < 1e15) return u'n' + QString::number(int64_t(d));
        return u'n' + QString::number(d, 'g', 17);
    }
    }
}

long DictionaryObject::find(const Variant& key) const
{
    const auto it = m_index.find(lookupKey(key));
    return it == m_index.end() ? -1 : it->second;
}

long DictionaryObject::insert(const Variant& key, const Variant& item)
{
    // Both or neither: an addition that runs out of memory leaves the dictionary as it was.
    const long at = long(m_entries.size());
    QString lookup = lookupKey(key);
    m_entries.push_back({key, item});
    try {
        m_index.emplace(std::move(lookup), at);
    } catch (...) {
        m_entries.pop_back();
        throw;
    }
    return at;
}

void DictionaryObject::removeAt(long index)
{
    m_index.erase(lookupKey(m_entries[size_t(index)].key));
    m_entries.erase(m_entries.begin() + index);
    for (auto& entry : m_index)
        if (entry.second > index) --entry.second;
}

Variant DictionaryObject::arrayOf(bool keys) const
{
    auto a = std::make_shared<VariantArray>();
    a->bounds.push_back({0, long(m_entries.size())});
    a->data.reserve(m_entries.size());
    for (const Entry& e : m_entries) a->data.push_back(keys ? e.key : e.item);
    return Variant::array(std::move(a));
}

Variant DictionaryObject::getProperty(const QString& name, Arguments& args)
{
    const QString k = foldCase(name);
    if (k.isEmpty() || k == u"item") {
        const Variant& key = arg(args, 0);
        long at = find(key);
        // reading a missing key adds it with an empty item
        if (at < 0) at = insert(key, Variant());
        return m_entries[size_t(at)].item;
    }
    if (k == u"add") {
        const Variant& key = arg(args, 0);
        if (find(key) >= 0) raise(kKeyAlreadyExists);
        insert(key, arg(args, 1));
        return Variant();
    }
    if (k == u"exists") return Variant::boolean(find(arg(args, 0)) >= 0);
    if (k == u"keys") return arrayOf(true);
    if (k == u"items") return arrayOf(false);
    if (k == u"count") return Variant::longValue(int32_t(m_entries.size()));
    if (k == u"comparemode") return Variant::longValue(m_compareMode);
    if (k == u"remove") {
        const long at = find(arg(args, 0));
        if (at < 0) raise(kElementNotFound);
        removeAt(at);
        return Variant();
    }
    if (k == u"removeall") {
        m_entries.clear();
        m_index.clear();
        return Variant();
    }
    raise(kMemberNotSupported);
}

void DictionaryObject::putProperty(const QString& name, Arguments& args, const Variant& value)
{
    const QString k = foldCase(name);
    if (k.isEmpty() || k == u"item") {
        const Variant& key = arg(args, 0);
        const long at = find(key);
        if (at < 0)
            insert(key, value);
        else
            m_entries[size_t(at)].item = value;
        return;
    }
    if (k == u"key") {
        const long at = find(arg(args, 0));
        if (at < 0) raise(kElementNotFound);
        if (find(value) >= 0) raise(kKeyAlreadyExists);
        m_index.emplace(lookupKey(value), at);   // first: a failure leaves the old key in place
        m_index.erase(lookupKey(m_entries[size_t(at)].key));
        m_entries[size_t(at)].key = value;
        return;
    }
    if (k == u"comparemode") {
        const long mode = value.toLong();
        if (mode < 0 || !m_entries.empty()) raise(kInvalidProcedureCall);
        m_compareMode = int(mode);
        return;
    }
    raise(kMemberNotSupported);
}

std::vector<Variant> DictionaryObject::enumerate()
{
    std::vector<Variant> keys;
    keys.reserve(m_entries.size());
    for (const Entry& e : m_entries) keys.push_back(e.key);
    return keys;
}

}   // namespace orra::vbs
