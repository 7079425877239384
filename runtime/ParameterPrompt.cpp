#include "runtime/ParameterPrompt.h"

#include "platform/text/Error.h"

namespace orra {

namespace {
HeadlessParameterPrompt& headlessPrompt()
{
    static HeadlessParameterPrompt prompt;
    return prompt;
}
ParameterPrompt* g_prompt = nullptr;
} // namespace

ParameterPrompt& parameterPrompt()
{
    return g_prompt ? *g_prompt : headlessPrompt();
}

ParameterPrompt* setParameterPrompt(ParameterPrompt* prompt)
{
    ParameterPrompt* old = g_prompt;
    g_prompt = prompt;
    return old;
}

QString EvaluateInitialValue(db::Connection* connection, const QString& initialValue)
{
    QString sql;
    if (initialValue.size() > 6 && initialValue.left(6).toLower() == QLatin1String("select"))
        sql = initialValue;
    else if (initialValue.size() > 4 && initialValue.left(4).toLower() == QLatin1String("sql:"))
        sql = QStringLiteral("set nocount on ") + initialValue.mid(4) + QStringLiteral(" set nocount off ");
    else
        return initialValue;
    if (!connection)
        throw Error(91, QString(), QStringLiteral("Object variable or With block variable not set"));
    db::RecordsetPtr rs = connection->execute(sql);
    // The first result set that has rows is the answer ("set nocount" statements have none).
    while (rs && !rs->isOpen() && rs->NextRecordset()) {
    }
    if (!rs || !rs->isOpen() || rs->isEOF())
        throw Error(3021, QString(),
                    QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                                   "Requested operation requires a current record."));
    const QVariant& v = rs->value(0);
    if (!v.isValid() || v.isNull())
        throw Error(94, QString(), QStringLiteral("Invalid use of Null"));
    return db::Recordset::valueText(v, rs->field(0).type);
}

bool HeadlessParameterPrompt::ask(const PromptRequest& request, QList<PromptAnswer>& answers)
{
    if (request.mustShow) {
        QStringList names;
        for (const PromptCriterion& c : request.criteria) {
            if (c.needsAnswer)
                names.append(c.Name);
        }
        throw Error(-1, QStringLiteral("DocOrra::ParameterPrompt"),
                    QStringLiteral("Parameters need an answer but no one can give it: ")
                        + names.join(QStringLiteral(", ")));
    }
    QList<PromptAnswer> collected;
    for (const PromptCriterion& c : request.criteria) {
        PromptAnswer a;
        a.ID = c.ID;
        if (c.Tip == QLatin1String("fact"))
            a.Value = EvaluateInitialValue(request.connection.get(), c.InitialDeger);
        else
            a.Value = QString();   // "htext" collects nothing
        collected.append(a);
    }
    answers.append(collected);
    return true;
}

} // namespace orra
