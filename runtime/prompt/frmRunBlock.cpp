#include "runtime/prompt/frmRunBlock.h"

#include "criteria/rptCriteria.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QScreen>
#include <QShortcut>
#include <QPushButton>
#include <QVBoxLayout>

namespace orra {

namespace {
// Sizes of the original form in twips, turned into this screen's pixels.
int twips(const QWidget* w, int t) { return t * w->logicalDpiX() / 1440; }
}   // namespace

frmRunBlock::frmRunBlock(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmRunBlock"));
    setWindowTitle(QStringLiteral("Form1"));
    // The caption names nothing a reader could use: the prompt is announced by what it asks.
    setAccessibleName(QStringLiteral("Parametreler"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_criteria = new rptCriteria(this);
    m_criteria->setObjectName(QStringLiteral("rptCriteria1"));
    m_run = new QPushButton(QStringLiteral("Tamam"), this);
    m_run->setObjectName(QStringLiteral("cmdRun"));
    m_cancel = new QPushButton(QStringLiteral("İptal"), this);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    // "Tamam" is the default: Ctrl+Enter presses it from anywhere in the prompt. Plain Enter
    // keeps its meaning in the grid and its editors (see keyPressEvent).
    m_run->setAutoDefault(false);
    m_cancel->setAutoDefault(false);
    m_run->setDefault(true);
    m_run->setToolTip(QStringLiteral("Ctrl+Enter"));
    for (const QKeySequence& keys : {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}) {
        auto* submit = new QShortcut(keys, this);
        submit->setContext(Qt::WindowShortcut);
        connect(submit, &QShortcut::activated, this, [this] {
            if (m_run->isEnabled()) cmdRun_Click();
        });
    }
    const QSize button(twips(this, 1095), twips(this, 495));
    m_run->setMinimumSize(button);
    m_cancel->setMinimumSize(button);
    connect(m_run, &QPushButton::clicked, this, [this] { cmdRun_Click(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_run);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_criteria, 1);
    layout->addLayout(buttons);

    // Form_Load
    IsOK = false;
    EnableRun(true);
    resize(twips(this, 6855), twips(this, 5310));
}

void frmRunBlock::EnableRun(bool enabled) { m_run->setEnabled(enabled); }

void frmRunBlock::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !(event->modifiers() & Qt::ControlModifier)) {
        // An Enter that nothing in the grid took (a row button, the buttons' row) must not
        // submit through the default button.
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmRunBlock::fitToCriteria()
{
    // Wide enough for the longest caption and value, up to most of the screen.
    const QScreen* screen = this->screen();
    const int maxWidth = screen ? screen->availableGeometry().width() * 4 / 5 : 1200;
    const int chrome =
        width() - m_criteria->width() > 0 ? width() - m_criteria->width() : 2 * layout()->contentsMargins().left();
    const int wanted = m_criteria->preferredWidth(maxWidth - chrome) + chrome;
    if (wanted > width()) resize(wanted, height());
}

void frmRunBlock::cmdRun_Click()
{
    m_collectError.reset();
    try {
        m_criteria->PopulateCriteriaValues();
        IsOK = true;
        accept();
    } catch (const Error& e) {
        IsOK = false;
        m_collectError = e;
        reject();
    }
}

void frmRunBlock::cmdCancel_Click()
{
    IsOK = false;
    reject();
}

bool RunBlockPrompt::ask(const PromptRequest& request, QList<PromptAnswer>& answers)
{
    frmRunBlock form(QApplication::activeWindow());
    form.setWindowTitle(request.title);
    rptCriteria* control = form.rptCriteria1();
    control->SetCon(request.connection);
    control->setUserInterface(request.userInterface);
    control->UnSetGrdCriteria();
    for (const PromptCriterion& c : request.criteria)
        control->AddCriteria(c.ID, c.captionIsNull ? QString() : c.Aciklama, c.Tip, c.InitialDeger, c.OptionalParam);

    if (request.mustShow) {
        // The user answers with the ordinary arrow, whatever the host's cursor was.
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
        form.fitToCriteria();
        form.exec();
        QGuiApplication::restoreOverrideCursor();
        if (form.collectError()) throw *form.collectError();
        if (!form.IsOK) return false;
    } else {
        control->PopulateCriteriaValues();
    }

    QList<PromptAnswer> collected;
    for (int i = 0; i < control->CriteriaCount(); ++i) {
        const clsCriteriaPtr c = control->GetCriteriaArray(i);
        collected.append(PromptAnswer{c->ID.toString(), c->Value});
    }
    answers.append(collected);
    return true;
}

}   // namespace orra
