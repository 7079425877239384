#pragma once
// One criterion of the criteria control: a plain record that the control fills and a host
// reads back. Members keep the order in which hosts have always read them.

#include <QString>
#include <QVariant>
#include <memory>

namespace orra {

class clsCriteria {
public:
    QVariant ID;             // the host's identifier (the run-time passes the Parameter's ID)
    QString Aciklama;        // the prompt shown in the first column
    QString Tip;             // the type, trimmed and in lower case: text, htext, combo, button, date, fact
    QString InitialDeger;    // the initial value after evaluation of "select…" / "sql:…"
    QString OptionalParam;   // combo: the list query; button: the picker specification
    QString Value;           // the collected value (rptCriteria::PopulateCriteriaValues)
    qint16 RowIndex = 0;     // the grid row of the criterion
};

using clsCriteriaPtr = std::shared_ptr<clsCriteria>;

}   // namespace orra
