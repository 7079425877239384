#pragma once
// The parameter prompt seam. Before a block's SQL runs, and when an include starts, the engine
// gathers the element's Parameter children into criteria rows and asks the process's
// ParameterPrompt for their values. A desktop host installs the criteria form (frmRunBlock,
// target tavrel_prompt); without one the headless prompt is in force, which never waits for
// anybody: it answers rows that need no person ("fact" and "htext") and fails with an error
// naming the parameters when some row needs an answer.

#include "platform/db/Connection.h"

#include <QList>
#include <QString>
#include "common/InitialValue.h"
#include "common/Xml.h"

namespace orra {

class UserInterface;

// One criterion as the engine hands it to the criteria control (AddCriteria's arguments).
struct PromptCriterion {
    QString ID;                   // the Parameter element's ID
    QString Aciklama;             // its Caption as stored
    bool captionIsNull = false;   // the element has no Caption attribute
    QString Tip;                  // LCase of its type ("fact" for an include's input binding)
    QString InitialDeger;         // the substituted default value (or the bound value of an include)
    QString OptionalParam;        // combo: the substituted Source; button: Source;ReturnCol;Prompt;SelectionType
    QString Name;                 // the Parameter element's Name (for messages)
    bool needsAnswer = false;     // this row makes the form show (see PromptRequest::mustShow)
};

// What one prompt asks.
struct PromptRequest {
    xml::Node element;                        // the Block or Include whose parameters are asked
    xml::Node parameterParent;                // the Block itself, or the embedded root of an include
    QString title;                            // the form caption: the element's Name
    QList<PromptCriterion> criteria;          // in document order
    bool mustShow = false;                    // some criterion needs a person's answer: in a block any type
                                              // but "fact" and "htext", in an include any but "fact"
    db::ConnectionPtr connection;             // the run connection, lent for lists, pickers and "select" values
    UserInterface* userInterface = nullptr;   // where the prompt's own messages go: the asking
                                              // engine's host's; nullptr: the process's
};

// One collected value (clsCriteria's ID and Value).
struct PromptAnswer {
    QString ID;
    QString Value;
};

class ParameterPrompt {
public:
    virtual ~ParameterPrompt() = default;

    // Fills the criteria, shows the form when request.mustShow (else collects the values
    // directly) and appends one answer per criterion, in order, to answers.
    // Returns false when the user cancelled. Throws orra::Error when the values cannot be
    // collected (a failing "select" initial value, nobody to answer).
    virtual bool ask(const PromptRequest& request, QList<PromptAnswer>& answers) = 0;
};

// The process's parameter prompt (the headless one unless a host installed another); an
// engine asks its own host's prompt (DocOrra::host), which is this one unless the host gave one.
ParameterPrompt& parameterPrompt();
// Installs prompt (not owned; nullptr restores the headless one). Returns the previous one.
ParameterPrompt* setParameterPrompt(ParameterPrompt* prompt);

// The initial-value rule of the criteria control: EvaluateInitialValue in common/InitialValue.h.

// The values a criterion yields without a person: "fact" its evaluated initial value, "htext"
// "" (PopulateCriteriaValues without a grid).
class HeadlessParameterPrompt : public ParameterPrompt {
public:
    // mustShow: throws orra::Error(kSystemError, "DocOrra::ParameterPrompt",
    //   "Parameters need an answer but no one can give it: " & the names of the asked rows).
    bool ask(const PromptRequest& request, QList<PromptAnswer>& answers) override;
};

}   // namespace orra
