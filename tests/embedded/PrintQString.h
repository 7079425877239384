#pragma once
// Readable QString values in test failure messages.
#include <QString>
#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

#include <QVariant>
QT_BEGIN_NAMESPACE
inline void PrintTo(const QVariant& v, std::ostream* os)
{
    *os << (v.isValid() ? v.typeName() : "NULL") << ' ' << v.toString().toStdString();
}
QT_END_NAMESPACE
