#include "criteria/rptCriteria.h"

#include "criteria/CriteriaValues.h"
#include "criteria/StrFunctions.h"
#include "criteria/frmMultiSelectRecord.h"
#include "criteria/frmSelectRecord.h"
#include "platform/host/Error.h"
#include "platform/host/ErrorNumbers.h"
#include "platform/host/UserInterface.h"
#include "platform/widgets/FlexGrid.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace orra {

namespace {

const QString kSource = QStringLiteral("rptCriteria");
const QString kText = QStringLiteral("text");
const QString kHText = QStringLiteral("htext");
const QString kCombo = QStringLiteral("combo");
const QString kButton = QStringLiteral("button");
const QString kDate = QStringLiteral("date");
const QString kFact = QStringLiteral("fact");

// True when w is inside root, popups of root (a list, a calendar) included.
bool inside(const QWidget* root, const QWidget* w)
{
    for (; w; w = w->parentWidget())
        if (w == root) return true;
    return false;
}

}   // namespace

rptCriteria::rptCriteria(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("rptCriteria"));

    m_grid = new FlexGrid(this);
    m_grid->setObjectName(QStringLiteral("grdCriteria"));
    m_grid->setAccessibleName(QStringLiteral("Kriterler"));
    m_grid->setFixedRows(1);
    m_grid->setCols(2);
    m_grid->setFixedCols(1);
    m_grid->setRows(1);

    // Header row: bold captions.
    m_grid->setTextMatrix(0, 0, QStringLiteral("Alan"));
    m_grid->setTextMatrix(0, 1, QStringLiteral("Değer"));
    QFont headerFont = m_grid->horizontalHeader()->font();
    headerFont.setBold(true);
    m_grid->horizontalHeader()->setFont(headerFont);

    QWidget* surface = m_grid->viewport();
    m_text = new QLineEdit(surface);
    m_text->setObjectName(QStringLiteral("grdCriteriaText"));
    m_text->setFrame(false);
    m_text->hide();

    m_combo = new QComboBox(surface);
    m_combo->setObjectName(QStringLiteral("grdCriteriaCombo"));
    m_combo->setEditable(true);
    m_combo->setInsertPolicy(QComboBox::NoInsert);
    m_combo->setFrame(false);
    m_combo->hide();

    m_date = new QDateEdit(surface);
    m_date->setObjectName(QStringLiteral("grdCriteriaDate"));
    // The same short date form as the cell; "no date" reads as an empty cell.
    m_date->setDisplayFormat(criteria::dateCellFormat());
    m_date->setCalendarPopup(true);
    m_date->setMinimumDate(criteria::noDate());
    m_date->setSpecialValueText(QStringLiteral(" "));
    m_date->setFrame(false);
    m_date->hide();

    for (QWidget* editor :
        {static_cast<QWidget*>(m_text), static_cast<QWidget*>(m_combo), static_cast<QWidget*>(m_date)}) {
        editor->installEventFilter(this);
        for (QWidget* child : editor->findChildren<QWidget*>()) child->installEventFilter(this);
    }
    m_calendar = m_date->calendarWidget();
    m_calendar->installEventFilter(this);

    // Every row is exactly as tall as the list editor.
    m_rowHeight = std::max(m_combo->sizeHint().height(), fontMetrics().height() + 6);
    m_grid->setUniformRowHeight(m_rowHeight);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_grid);

    connect(m_grid, &FlexGrid::enterCell, this, [this] { grdCriteria_EnterCell(); });
    connect(m_grid, &FlexGrid::leaveCell, this, [this] { grdCriteria_LeaveCell(); });
    connect(
        m_grid, &FlexGrid::keyDown, this, [this](int key, Qt::KeyboardModifiers m) { grdCriteria_KeyDown(key, m); });
    connect(m_grid, &FlexGrid::scrolled, this, [this] { grdCriteria_Scroll(); });
    connect(m_grid->horizontalHeader(), &QHeaderView::sectionResized, this, [this] { RepositionButtons(); });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) { onFocusChanged(old, now); });
    m_grid->installEventFilter(this);

    setColumnWidths();
    UnSetGrdCriteria();
}

rptCriteria::~rptCriteria()
{
    // No editor may write back while the widgets go away.
    m_activeEditor = nullptr;
    disconnect(qApp, nullptr, this, nullptr);
}

QSize rptCriteria::sizeHint() const
{
    // Room for a handful of rows and readable columns.
    return QSize(fontMetrics().averageCharWidth() * 60, m_rowHeight * 8);
}

// ---------------------------------------------------------------- host interface

void rptCriteria::SetCon(db::ConnectionPtr newCon) { m_con = std::move(newCon); }

void rptCriteria::UnSetGrdCriteria()
{
    if (m_activeEditor) {
        QWidget* editor = m_activeEditor;
        m_activeEditor = nullptr;
        if (editorHasFocus()) m_grid->setFocus();
        editor->hide();
    }
    m_editorRow = -1;
    for (QToolButton* b : m_buttons) delete b;
    m_buttons.clear();
    m_buttonCriteria.assign(2, 0);
    m_rowCriteria.assign(2, 0);
    m_grid->setEnabled(false);
    m_grid->setRows(1);
    m_criteriaCount = 0;
    m_criteria.assign(1, std::make_shared<clsCriteria>());
}

void rptCriteria::AddCriteria(const QVariant& ID, const QString& Aciklama, const QString& Tip,
    const QString& InitialDeger, const QString& OptionalParam)
{
    // One spelling of the type everywhere, so that rows and values never part company.
    const QString type = Tip.trimmed().toLower();
    if (m_criteriaCount == 32767) throw Error(kOverflow, kSource, QStringLiteral("Overflow"));
    // The initial value first: a failing query adds nothing.
    const QString initial = criteria::EvaluateInitialValue(m_con.get(), InitialDeger);

    const bool isFact = type == kFact;
    int facts = 0;
    for (int i = 0; i < m_criteriaCount; ++i)
        if (m_criteria[size_t(i)]->Tip == kFact) ++facts;

    auto c = std::make_shared<clsCriteria>();
    c->ID = ID;
    c->Aciklama = Aciklama;
    c->Tip = type;
    c->InitialDeger = initial;
    c->OptionalParam = OptionalParam;
    const int n = m_criteriaCount;
    if (size_t(n) < m_criteria.size())
        m_criteria[size_t(n)] = c;
    else
        m_criteria.push_back(c);
    ++m_criteriaCount;
    const int row = m_criteriaCount - facts;
    c->RowIndex = qint16(row);

    if (!isFact) {
        m_grid->setRows(row + 1);
        if (m_rowCriteria.size() < size_t(row + 1)) m_rowCriteria.resize(size_t(row + 1), 0);
        m_rowCriteria[size_t(row)] = n;
        m_grid->setTextMatrix(row, 0, Aciklama);
        m_grid->setTextMatrix(row, 1, type == kDate ? criteria::dateCellDisplay(initial) : initial);
        m_grid->setCurrentCell(row, 1, false);
        m_grid->setCellBackColor(row, 1, palette().color(QPalette::Active, QPalette::Base));
        if (type == kButton) {
            auto* b = new QToolButton(m_grid->viewport());
            b->setObjectName(QStringLiteral("grdCriteriaButton%1").arg(m_buttons.size() + 1));
            b->setArrowType(Qt::RightArrow);
            b->setToolTip(Aciklama);
            m_buttons.push_back(b);
            const int k = int(m_buttons.size());
            if (m_buttonCriteria.size() < size_t(k + 1)) m_buttonCriteria.resize(size_t(k + 1), 0);
            m_buttonCriteria[size_t(k)] = n;
            connect(b, &QToolButton::clicked, this, [this, k] { grdCriteriaButton_Click(k); });
            placeButton(k);
        } else if (type == kHText) {
            m_grid->setCellBackColor(row, 1, palette().color(QPalette::Active, QPalette::Button));
        }
    }
    m_grid->setEnabled(true);
}

void rptCriteria::PopulateCriteriaValues()
{
    // An editor that still has the focus holds the newest text.
    if (m_activeEditor && m_activeEditor->isVisible() && editorHasFocus()) editorLostFocus();
    for (int i = 0; i < m_criteriaCount; ++i) {
        clsCriteria& c = *m_criteria[size_t(i)];
        if (c.Tip == kFact)
            c.Value = c.InitialDeger;
        else if (c.Tip == kHText)
            c.Value = QString();
        else if (c.Tip == kDate)
            c.Value = criteria::collectedDateValue(cellText(c.RowIndex));
        else
            c.Value = cellText(c.RowIndex);
    }
}

clsCriteriaPtr rptCriteria::GetCriteriaArray(int Index) const
{
    if (Index < 0 || Index >= m_criteriaCount) return nullptr;
    return m_criteria[size_t(Index)];
}

// ---------------------------------------------------------------- template path

void rptCriteria::SetGrdCriteria()
{
    UnSetGrdCriteria();
    const QStringList pieces = criteria::ExtractDelimited(m_sqlTxt, QStringLiteral("<%"), QStringLiteral("%>"));
    try {
        for (const QString& piece : pieces) {
            // An empty piece makes no criterion and, unlike the grids of old, no row either: every
            // row belongs to its criterion and every RowIndex names its own row.
            if (piece.trimmed().isEmpty()) continue;
            const QStringList fields = criteria::SplitGrouped(piece, QLatin1Char(';'));
            if (fields.size() < 5) throw Error(kSubscriptOutOfRange, kSource, QStringLiteral("Subscript out of range"));
            AddCriteria(QVariant(fields[0]), fields[1], fields[2], fields[3], fields[4]);
        }
    } catch (...) {
        m_grid->setEnabled(false);
        throw;
    }
    if (m_criteriaCount == 0 && pieces.size() == 1) {
        // A template without placeholders: one empty row that belongs to no criterion.
        m_grid->setRows(2);
        m_rowCriteria.assign(2, 0);
        m_grid->setTextMatrix(1, 0, QString());
        m_grid->setTextMatrix(1, 1, QString());
    }
    m_grid->setEnabled(true);
}

namespace {

// Every occurrence of reference in text replaced by value, without looking into the values.
QString replaceReferences(const QString& text, const QString& reference, const QString& value)
{
    QString out;
    qsizetype from = 0;
    for (qsizetype k; (k = text.indexOf(reference, from, Qt::CaseSensitive)) >= 0; from = k + reference.size())
        out += text.mid(from, k - from) + value;
    return out + text.mid(from);
}

}   // namespace

QString rptCriteria::GetRunableSQL() const
{
    try {
        QString s = m_sqlTxt;
        for (int i = 0; i < m_criteriaCount; ++i) {
            const clsCriteria& c = *m_criteria[size_t(i)];
            const QString id = c.ID.toString();
            const QString v = c.Value;
            const QString reference = QStringLiteral("<$") + id + QStringLiteral("%>");
            const qsizetype f = s.indexOf(QStringLiteral("<%") + id + QLatin1Char(';'), 0, Qt::CaseSensitive);
            if (f < 0) {
                s = replaceReferences(s, reference, v);
                continue;
            }
            const qsizetype g = s.indexOf(QStringLiteral("%>"), f, Qt::CaseSensitive);
            if (g < 0) return QString();
            // The text on either side of the pasted value; the value itself is never searched.
            s = replaceReferences(s.left(f), reference, v) + v + replaceReferences(s.mid(g + 2), reference, v);
        }
        return s;
    } catch (...) {
        return QString();
    }
}

QToolButton* rptCriteria::grdCriteriaButton(int k) const
{
    return k >= 1 && size_t(k) <= m_buttons.size() ? m_buttons[size_t(k - 1)] : nullptr;
}

int rptCriteria::criterionOfRow(int row) const
{
    return row >= 1 && size_t(row) < m_rowCriteria.size() ? m_rowCriteria[size_t(row)] : -1;
}

// ---------------------------------------------------------------- layout

void rptCriteria::setColumnWidths()
{
    // Two row heights at the right are left for the row buttons and the scroll bar.
    const int w = m_grid->contentsRect().width() - 2 * m_rowHeight;
    if (w <= 0) return;
    m_grid->setColWidth(0, qRound(w * 3.0 / 5.0));
    m_grid->setColWidth(1, qRound(w * 2.0 / 5.0));
}

void rptCriteria::placeButton(int k)
{
    QToolButton* b = grdCriteriaButton(k);
    if (!b || size_t(k) >= m_buttonCriteria.size()) return;
    const int n = m_buttonCriteria[size_t(k)];
    if (n < 0 || size_t(n) >= m_criteria.size()) return;
    const QRect cell = m_grid->cellRect(m_criteria[size_t(n)]->RowIndex, 1);
    b->setGeometry(cell.right() + 1, cell.top(), cell.height(), cell.height());
    b->show();
    b->raise();
}

void rptCriteria::RepositionButtons()
{
    for (int k = 1; k <= int(m_buttons.size()); ++k) placeButton(k);
    if (m_activeEditor && m_activeEditor->isVisible()) placeEditor();
}

void rptCriteria::placeEditor()
{
    if (!m_activeEditor || m_editorRow < 1) return;
    m_activeEditor->setGeometry(m_grid->cellRect(m_editorRow, 1));
}

bool rptCriteria::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_grid && event->type() == QEvent::Resize) {
        setColumnWidths();
        RepositionButtons();
        return false;
    }
    if (m_calendar && watched == m_calendar && event->type() == QEvent::Show) {
        // "No date" opens the calendar on today's month rather than in 1899.
        if (m_date->date() <= criteria::noDate()) {
            const QDate today = QDate::currentDate();
            m_calendar->setCurrentPage(today.year(), today.month());
        }
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        for (QWidget* editor :
            {static_cast<QWidget*>(m_text), static_cast<QWidget*>(m_combo), static_cast<QWidget*>(m_date)}) {
            if (watched == editor
                || (watched->isWidgetType() && editor->isAncestorOf(static_cast<QWidget*>(watched)))) {
                if (editorKeyDown(editor, k->key(), k->modifiers())) return true;
                break;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void rptCriteria::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The first row is where the user starts. Its editor is opened once the window is up, so
    // that a list whose query fails reports over the visible prompt, not before it.
    if (!m_activeEditor && m_grid->rows() > 1 && m_grid->isEnabled()) {
        m_grid->setCurrentCell(1, 1, false);
        m_grid->setFocus();
        QTimer::singleShot(0, this, [this] {
            if (isVisible() && !m_activeEditor && m_grid->row() == 1) enterCell();
        });
    }
}

int rptCriteria::preferredWidth(int maximum) const
{
    const QFontMetrics fm = m_grid->fontMetrics();
    const int padding = fm.averageCharWidth() * 2;
    int caption = fm.horizontalAdvance(m_grid->textMatrix(0, 0));
    int value = fm.horizontalAdvance(m_grid->textMatrix(0, 1));
    for (int row = 1; row < m_grid->rows(); ++row) {
        caption = std::max(caption, fm.horizontalAdvance(m_grid->textMatrix(row, 0)));
        value = std::max(value, fm.horizontalAdvance(m_grid->textMatrix(row, 1)));
    }
    // The columns keep their 3 : 2 split; the wider need decides.
    const int columns = std::max((caption + padding) * 5 / 3, (value + padding) * 5 / 2);
    const int frame = 2 * m_grid->frameWidth() + m_grid->verticalHeader()->width();
    return std::min(columns + 2 * m_rowHeight + frame, maximum);
}

// ---------------------------------------------------------------- grid events

QString rptCriteria::cellText(int row) const { return m_grid->textMatrix(row, 1); }
void rptCriteria::setCellText(int row, const QString& text) { m_grid->setTextMatrix(row, 1, text); }

void rptCriteria::reportError(const QString& description) { userInterfaceOr(m_ui).messageBox(description, vbOKOnly); }

void rptCriteria::grdCriteria_EnterCell() { enterCell(); }

void rptCriteria::enterCell()
{
    const int row = m_grid->row();
    const int n = criterionOfRow(row);
    if (n < 0 || size_t(n) >= m_criteria.size()) return;
    const clsCriteria& c = *m_criteria[size_t(n)];
    try {
        if (c.Tip == kText || c.Tip == kButton) {
            m_text->setText(cellText(row));
            m_activeEditor = m_text;
            ShowEditor(true);
        } else if (c.Tip == kCombo) {
            // The list is read at every entry; a failing query leaves everything as it was.
            const QStringList items = criteria::FirstColumnTexts(m_con.get(), c.OptionalParam);
            const QString current = cellText(row);
            m_combo->clear();
            m_combo->addItems(items);
            m_combo->setCurrentIndex(m_combo->findText(current));
            m_combo->setEditText(current);
            m_activeEditor = m_combo;
            ShowEditor(false);
        } else if (c.Tip == kDate) {
            const QString current = cellText(row);
            QDate d = criteria::noDate();
            if (!current.isEmpty()) {
                d = criteria::parseDateCell(current);
                if (!d.isValid()) throw Error(kTypeMismatch, kSource, QStringLiteral("Type mismatch"));
            }
            m_date->setDate(d < criteria::noDate() ? criteria::noDate() : d);
            m_activeEditor = m_date;
            ShowEditor(false);
        }
        // "htext" and any other type: no editor.
    } catch (const Error& e) {
        reportError(e.description());
    } catch (const std::exception& e) {
        reportError(QString::fromLocal8Bit(e.what()));
    }
}

void rptCriteria::ShowEditor(bool setFocus)
{
    QWidget* editor = m_activeEditor;
    if (!editor) return;
    m_editorRow = m_grid->row();
    placeEditor();
    editor->setFont(m_grid->font());
    // A screen reader announces the editor by the criterion it edits, as the row shows it.
    editor->setAccessibleName(m_grid->textMatrix(m_editorRow, 0));
    if (editor == m_combo && m_combo->lineEdit()) m_combo->lineEdit()->setAccessibleName(editor->accessibleName());
    editor->show();
    editor->raise();
    if (editor == m_text)
        m_text->selectAll();
    else if (editor == m_combo && m_combo->lineEdit())
        m_combo->lineEdit()->selectAll();
    if (setFocus) editor->setFocus(Qt::OtherFocusReason);
}

void rptCriteria::grdCriteria_LeaveCell()
{
    if (!m_activeEditor) return;
    QWidget* editor = m_activeEditor;
    if (editor->isVisible() && editorHasFocus()) editorLostFocus();
    editor->hide();
    m_activeEditor = nullptr;
    m_editorRow = -1;
}

void rptCriteria::grdCriteria_KeyDown(int key, Qt::KeyboardModifiers)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
    if (!m_activeEditor) {
        enterCell();
        return;
    }
    // Shown again from the cell, which a record picker may have changed meanwhile.
    enterCell();
    if (m_activeEditor) {
        m_activeEditor->show();
        m_activeEditor->setFocus(Qt::OtherFocusReason);
    }
}

void rptCriteria::grdCriteria_Scroll() { RepositionButtons(); }

// ---------------------------------------------------------------- editors

bool rptCriteria::editorHasFocus() const
{
    return m_activeEditor && inside(m_activeEditor, QApplication::focusWidget());
}

bool rptCriteria::editorKeyDown(QWidget* editor, int key, Qt::KeyboardModifiers)
{
    if (editor != m_activeEditor) return false;
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (key == Qt::Key_Escape) {
        // Escape gives up this cell's edit only; a second Escape, on the grid, cancels.
        if ((editor == m_combo && m_combo->view()->isVisible())
            || (editor == m_date && m_calendar && m_calendar->isVisible()))
            return false;   // the open list or calendar closes first
        revertEditor();
        return true;
    }
    if (editor == m_text) {
        if (enter) {
            m_grid->setFocus();
            editorLostFocus();
            return true;
        }
        if (key == Qt::Key_Down || key == Qt::Key_Up) {
            m_grid->setFocus();
            editorLostFocus();
            QKeyEvent move(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(m_grid, &move);
            return true;
        }
    } else if (editor == m_combo) {
        if (enter && !m_combo->view()->isVisible()) {
            m_grid->setFocus();
            editorLostFocus();
            return true;
        }
    } else if (editor == m_date) {
        if (enter) {
            m_grid->setFocus();
            editorLostFocus();
            return true;
        }
        if (key == Qt::Key_Delete) {
            m_date->setDate(criteria::noDate());
            return true;
        }
    }
    return false;
}

void rptCriteria::onFocusChanged(QWidget* old, QWidget* now)
{
    // A window that merely loses activation keeps its editor; focus that moves elsewhere
    // inside the application stores the value.
    if (!m_activeEditor || !m_activeEditor->isVisible() || !now) return;
    if (inside(m_activeEditor, old) && !inside(m_activeEditor, now)) editorLostFocus();
}

void rptCriteria::revertEditor()
{
    QWidget* editor = m_activeEditor;
    if (!editor || m_editorRow < 1) return;
    const QString cell = cellText(m_editorRow);
    if (editor == m_text) {
        m_text->setText(cell);
    } else if (editor == m_combo) {
        m_combo->setEditText(cell);
    } else if (editor == m_date) {
        const QDate d = cell.isEmpty() ? criteria::noDate() : criteria::parseDateCell(cell);
        m_date->setDate(d.isValid() && d > criteria::noDate() ? d : criteria::noDate());
    }
    if (editorHasFocus()) m_grid->setFocus();
    editor->hide();
}

void rptCriteria::editorLostFocus()
{
    QWidget* editor = m_activeEditor;
    if (!editor || !editor->isVisible() || m_editorRow < 1) return;
    if (editor == m_text) {
        setCellText(m_editorRow, m_text->text());
    } else if (editor == m_combo) {
        setCellText(m_editorRow, m_combo->currentText());
    } else if (editor == m_date) {
        const QDate d = m_date->date();
        setCellText(m_editorRow, d <= criteria::noDate() ? QString() : criteria::dateCellText(d));
    }
    // The grid takes the focus before the editor goes, or hiding a focused child would pass
    // the focus on (and move the grid's current cell).
    if (editorHasFocus()) m_grid->setFocus();
    editor->hide();   // it stays the active editor until the cell is left
}

void rptCriteria::grdCriteriaButton_Click(int index)
{
    // The row's editor gives up its text first, as it would on losing the focus to the button.
    if (m_activeEditor && m_activeEditor->isVisible() && editorHasFocus()) {
        m_grid->setFocus();
        editorLostFocus();
    }
    try {
        if (index < 1 || size_t(index) >= m_buttonCriteria.size())
            throw Error(kSubscriptOutOfRange, kSource, QStringLiteral("Subscript out of range"));
        const clsCriteria& c = *m_criteria[size_t(m_buttonCriteria[size_t(index)])];
        const criteria::PickerSpec spec = criteria::parsePickerSpec(c.OptionalParam);
        const int row = c.RowIndex;
        if (spec.multi) {
            frmMultiSelectRecord picker(window());
            picker.frmCon = m_con;
            picker.RsSQL = spec.sql;
            picker.ReturnField = spec.returnField;
            picker.ReturnValue = cellText(row);
            picker.setWindowTitle(spec.caption);
            picker.exec();
            if (picker.IsOK) setCellText(row, picker.ReturnValue.toString());
        } else {
            frmSelectRecord picker(window());
            picker.setUserInterface(m_ui);
            picker.frmCon = m_con;
            picker.RsSQL = spec.sql;
            picker.ReturnField = spec.returnField;
            picker.ReturnValue = cellText(row);
            picker.setWindowTitle(spec.caption);
            picker.exec();
            if (picker.IsOK) setCellText(row, picker.ReturnValue.toString());
        }
    } catch (const Error& e) {
        reportError(e.description());
    } catch (const std::exception& e) {
        reportError(QString::fromLocal8Bit(e.what()));
    }
}

}   // namespace orra
