#include "runtime/ParameterPrompt.h"

#include "common/InitialValue.h"

#include "platform/host/Error.h"

namespace orra {

namespace {
HeadlessParameterPrompt& headlessPrompt()
{
    static HeadlessParameterPrompt prompt;
    return prompt;
}
ParameterPrompt* g_prompt = nullptr;
}   // namespace

ParameterPrompt& parameterPrompt() { return g_prompt ? *g_prompt : headlessPrompt(); }

ParameterPrompt* setParameterPrompt(ParameterPrompt* prompt)
{
    ParameterPrompt* old = g_prompt;
    g_prompt = prompt;
    return old;
}

bool HeadlessParameterPrompt::ask(const PromptRequest& request, QList<PromptAnswer>& answers)
{
    if (request.mustShow) {
        QStringList names;
        for (const PromptCriterion& c : request.criteria) {
            if (c.needsAnswer) names.append(c.Name);
        }
        throw Error(kSystemError, QStringLiteral("DocOrra::ParameterPrompt"),
            QStringLiteral("Parameters need an answer but no one can give it: ") + names.join(QStringLiteral(", ")));
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

}   // namespace orra
