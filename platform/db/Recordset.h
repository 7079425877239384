#pragma once
// A client-side, static recordset: execution buffers every row of every result set.
// Semantics follow the ADO recordset the system was written against: BOF/EOF, Move*,
// RecordCount, fields by index or by case-insensitive name, NextRecordset, GetString.

#include "platform/db/ErrorNumbers.h"
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
    bool countShown = true;      // false when the server sends no row count (set nocount on)
    // The statement in this place failed (the batch went on, or ended after result sets):
    // reaching it raises the first error.
    QList<ProviderError> errors;

    long rowCount() const { return fields.empty() ? 0 : long(values.size() / fields.size()); }
    // The index of the field named name (without regard to case); -1 when there is none.
    int columnIndex(const QString& name) const;
    const QVariant& value(long row, int column) const { return values[size_t(row) * fields.size() + size_t(column)]; }
};

class Recordset {
public:
    Recordset() = default;
    explicit Recordset(std::vector<ResultSet> sets);

    // 1 (open) when the current result set returned a row set, 0 (closed) otherwise.
    int state() const;
    bool isOpen() const { return state() == 1; }
    void close();

    // EOF is a macro of <cstdio>, so the end test is named isEOF(); isBOF() pairs with it.
    bool BOF() const { return isBOF(); }
    bool isBOF() const;
    bool isEOF() const;
    void MoveFirst();
    void MoveNext();
    void MovePrevious();
    void MoveLast();
    void Move(long n);
    // Move with a start: adBookmarkCurrent 0, adBookmarkFirst 1, adBookmarkLast 2.
    enum MoveStart { FromCurrent = 0, FromFirst = 1, FromLast = 2 };
    void Move(long n, MoveStart start);
    long RecordCount() const;                   // -1 when closed
    long AbsolutePosition() const;              // 1-based; -2 (adPosBOF) / -3 (adPosEOF) outside
    long currentRow() const { return m_row; }   // 0-based; -1 before the first, rowCount at EOF

    int fieldCount() const;
    const FieldInfo& field(int index) const;            // throws kItemNotFound (3265) when out of range
    int fieldIndex(const QString& name) const;          // case-insensitive; -1 when absent
    const QVariant& value(int index) const;             // current row; throws kNoCurrentRecord (3021) at BOF/EOF
    const QVariant& value(const QString& name) const;   // throws kItemNotFound for an unknown name

    // Moves to the next result set of the batch; false (and closed) when there is none.
    // Reaching a statement that failed raises its error (the next call moves past it).
    bool NextRecordset();
    long recordsAffected() const;

    // ADO's GetString(adClipString): the rows from the current one to EOF (or numRows of them),
    // columns joined by colDelimiter, each row followed by rowDelimiter, NULL as nullExpr.
    // Leaves the recordset at EOF (or after the rows taken).
    QString GetString(const QString& colDelimiter = QStringLiteral("\t"),
        const QString& rowDelimiter = QStringLiteral("\r"), const QString& nullExpr = QString(), long numRows = -1);

    // The text form of a value as VB's CStr gives it (used by GetString and the checksum),
    // chosen to be the same on every machine rather than following the user's locale:
    //   integers in decimal; Boolean "True"/"False";
    //   doubles (and numeric) with 15 significant digits, floats (Single) with 7, trailing
    //   zeros dropped, '.' as decimal point, exponent form from 1E+15 up and below 1E-04
    //   ("0.5", "1E+20", "1.5E-07"); currency rounded to 4 decimals first; exact values
    //   (Decimal: money, decimal) with all their digits, trailing zeros dropped ("76493.74");
    //   dates "yyyy-MM-dd", date-times "yyyy-MM-dd HH:mm:ss" (the date alone at midnight),
    //   times "HH:mm:ss"; binary as its bytes taken two at a time as one UTF-16 character
    //   (little-endian; an odd last byte becomes a character of its own); GUIDs "{…}" in
    //   upper case; text as it is. NULL gives "" (the caller decides what NULL shows as).
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

}   // namespace orra::db
