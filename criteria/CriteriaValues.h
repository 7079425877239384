#pragma once
// Value rules of the criteria control that do not need a widget: the evaluation of "select…"
// and "sql:…" initial values on the lent connection, the text forms of a date cell, and the
// split of a record picker specification.

#include "platform/db/Connection.h"

#include <QDate>
#include <QString>
#include <QStringList>

namespace orra::criteria {

// A text longer than 6 characters that begins with "select" (any case) is run on connection
// and gives the text of field 0 of its first row; one longer than 4 that begins with "sql:"
// runs "set nocount on " & rest & " set nocount off " likewise; anything else comes back
// unchanged. Throws orra::Error when there is no open connection, the query fails, returns no
// row or returns NULL.
QString EvaluateInitialValue(db::Connection* connection, const QString& initialValue);

// The text of field 0 of the first row that sql returns (the first result set that has rows).
QStringList FirstColumnTexts(db::Connection* connection, const QString& sql);

// "No date": the date picker's empty value, 30 December 1899.
QDate noDate();

// The text a date cell holds: the user's short-date form, always with a four-digit year so
// that the text reads back as the same date.
QString dateCellText(const QDate& date);
// What a date cell shows for a value from elsewhere (an initial value, a query): the short date
// form for anything that reads as a date, empty for "no date" and empty text; a text that is no
// date stays as it is.
QString dateCellDisplay(const QString& value);
QString dateCellFormat();

// Reads a date cell: the cell's own form, the locale's short and long forms, "yyyyMMdd" and
// ISO dates (with or without a time). An invalid QDate when the text is no date.
QDate parseDateCell(const QString& text);

// The collected value of a date cell: "yyyymmdd"; "" for an empty cell; a text that is no
// date comes back as it is.
QString collectedDateValue(const QString& cellText);

// A record picker specification "sql;field;caption;kind". The SQL may itself hold ";": the
// last three fields are split off from the right. Throws orra::Error (9, "Subscript out of
// range") when there are fewer than four fields.
struct PickerSpec {
    QString sql;
    QString returnField;
    QString caption;
    bool multi = false;   // the fourth field is "multi" in any case
};
PickerSpec parsePickerSpec(const QString& optionalParam);

}   // namespace orra::criteria
