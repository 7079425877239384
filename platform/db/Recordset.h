#pragma once
// A client-side, static recordset: execution buffers every row of every result set.
// Semantics follow the ADO recordset the system was written against: BOF/EOF, Move*,
// RecordCount, fields by index or by case-insensitive name, NextRecordset, GetString.

#include "platform/db/Types.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

namespace orra::db {

struct FieldInfo {
    QString name;
    DataType type = DataType::VarChar;
    long definedSize = 0;   // declared size in characters/bytes; 0 when unknown
    int precision = 0;
    int numericScale = 0;
};

// One buffered result set. Values are stored row-major: rows * columns.
struct ResultSet {
    std::vector<FieldInfo> fields;
    std::vector<QVariant> values;
    long recordsAffected = -1;   // for statements without rows
    bool hasRows = false;        // false: the statement returned no row set at all (closed)

    long rowCount() const { return fields.empty() ? 0 : long(values.size() / fields.size()); }
};

class Recordset {
public:
    Recordset() = default;
    explicit Recordset(std::vector<ResultSet> sets);

    // 1 (open) when the current result set returned a row set, 0 (closed) otherwise.
    int state() const;
    bool isOpen() const { return state() == 1; }
    void close();

    bool BOF() const;
    bool EOF() const;
    void MoveFirst();
    void MoveNext();
    void MovePrevious();
    void MoveLast();
    void Move(long n);
    long RecordCount() const;           // -1 when closed
    long AbsolutePosition() const;      // 1-based; -2 (adPosBOF) / -3 (adPosEOF) outside
    long currentRow() const { return m_row; }  // 0-based; -1 before the first, rowCount at EOF

    int fieldCount() const;
    const FieldInfo& field(int index) const;          // throws orra::Error 3265 when out of range
    int fieldIndex(const QString& name) const;        // case-insensitive; -1 when absent
    const QVariant& value(int index) const;           // current row; throws 3021 at BOF/EOF
    const QVariant& value(const QString& name) const; // throws 3265 for an unknown name

    // Moves to the next result set of the batch; false (and closed) when there is none.
    bool NextRecordset();
    long recordsAffected() const;

    // ADO's GetString(adClipString): the rows from the current one to EOF (or numRows of them),
    // columns joined by colDelimiter, each row followed by rowDelimiter, NULL as nullExpr.
    // Leaves the recordset at EOF (or after the rows taken).
    QString GetString(const QString& colDelimiter = QStringLiteral("\t"),
                      const QString& rowDelimiter = QStringLiteral("\r"),
                      const QString& nullExpr = QString(), long numRows = -1);

    // The text form of a value as VB's CStr gives it (used by GetString and the checksum).
    static QString valueText(const QVariant& v, DataType type);

    const ResultSet* current() const;

private:
    void checkOpen() const;
    std::vector<ResultSet> m_sets;
    size_t m_set = 0;
    long m_row = 0;
    bool m_closed = false;
};

using RecordsetPtr = std::shared_ptr<Recordset>;

} // namespace orra::db
