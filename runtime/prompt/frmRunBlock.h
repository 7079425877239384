#pragma once
// The parameter prompt of a desktop host: a small modal form holding one criteria control,
// filled with the parameters of the block or include about to run, shown only when some
// parameter needs a person's answer.
//
// A desktop host lends it to its engines (RunHost::prompt), or installs it for the whole
// process (orra::setParameterPrompt). The form's messages go to the user interface of the
// engine that asks. Hosts without a person keep the engine's headless prompt, which fails
// with a clear error instead of showing anything.

#include "platform/host/Error.h"
#include "runtime/ParameterPrompt.h"

#include <QDialog>
#include <optional>

class QPushButton;

namespace orra {

class rptCriteria;

class frmRunBlock : public QDialog {
    Q_OBJECT
public:
    explicit frmRunBlock(QWidget* parent = nullptr);

    bool IsOK = false;   // true only when "Tamam" was pressed and the values were collected

    rptCriteria* rptCriteria1() const { return m_criteria; }
    QPushButton* cmdRun() const { return m_run; }
    QPushButton* cmdCancel() const { return m_cancel; }
    void EnableRun(bool enabled);
    // Widens the form so that the longest caption and value can be read whole.
    void fitToCriteria();

    // The error that stopped the collection of the values after "Tamam", if any.
    const std::optional<Error>& collectError() const { return m_collectError; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void cmdRun_Click();
    void cmdCancel_Click();

    rptCriteria* m_criteria = nullptr;
    QPushButton* m_run = nullptr;
    QPushButton* m_cancel = nullptr;
    std::optional<Error> m_collectError;
};

// The engine's parameter prompt through frmRunBlock.
class RunBlockPrompt : public ParameterPrompt {
public:
    // Fills the form's criteria control; shows the form modally when request.mustShow, else
    // collects the values at once. False when the user cancelled; an error while filling or
    // collecting is thrown as that error.
    bool ask(const PromptRequest& request, QList<PromptAnswer>& answers) override;
};

}   // namespace orra
