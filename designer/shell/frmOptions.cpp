#include "designer/shell/frmOptions.h"

#include "platform/widgets/FlexGrid.h"

#include <QColorDialog>
#include <QEvent>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cfenv>
#include <cmath>

namespace morvane {

namespace {

frmOptions::SampleColouring& sampleColouring()
{
    static frmOptions::SampleColouring colouring;
    return colouring;
}

int twips(const QWidget* w, int t) { return t * w->logicalDpiX() / 1440; }

QLabel* named(QLabel* l, const char* name)
{
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

}   // namespace

std::int16_t wholeFontSize(double pointSize)
{
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double whole = std::nearbyint(pointSize);
    std::fesetround(mode);
    return static_cast<std::int16_t>(whole);
}

void frmOptions::setSampleColouring(SampleColouring colouring) { sampleColouring() = std::move(colouring); }

const QStringList& frmOptions::sqlColorLabels()
{
    static const QStringList labels{"BackColor", "Keywords", "Data types", "Functions", "Reserved 4", "Logic operators",
        "Strings", "Numeric values", "Comments", "Reserved 9", "Rezerved 10"};
    return labels;
}

const QStringList& frmOptions::scriptColorLabels()
{
    static const QStringList labels{
        "BackColor", "VB Keywords", "Orra Keywords", "Strings", "Orra Parameters", "Comments"};
    return labels;
}

const QStringList& frmOptions::sqlSampleLines()
{
    static const QStringList lines{"--This is a comment line ", "select Col1,getdate() as Tarih ", "from Table1 ",
        "where Col2='Orra' and Number=12 and Col3=<$Param%> ", " ",
        "create table Table2(Col1 as int, Col2 as char(5))"};
    return lines;
}

const QStringList& frmOptions::scriptSampleLines()
{
    static const QStringList lines{"' This is a comment line ", "if Now()=<$Date%> then",
        "   Parameter(\"B0.Param1\")=\"Value\"", "end if ", " ", "orracon.execute(\"select 1 from <$Report%>\")"};
    return lines;
}

QString frmOptions::fontCaption(const QFont& font)
{
    const double size = font.pointSizeF() > 0 ? font.pointSizeF() : font.pointSize();
    QStringList parts{font.family(), QLocale().toString(size)};
    if (font.bold()) parts << QStringLiteral("Bold");
    if (font.italic()) parts << QStringLiteral("Italic");
    return parts.join(QStringLiteral(", "));
}

frmOptions::frmOptions(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    pickColour = [this](QColor& colour) {
        const QColor chosen = QColorDialog::getColor(colour, this);
        if (!chosen.isValid()) return false;
        colour = chosen;
        return true;
    };
    pickFont = [this](QFont& font) {
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(&ok, font, this);
        if (ok) font = chosen;
        return ok;
    };

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tbOptions"));

    // One editor page: font, colour list and sample.
    auto editorPage = [this](const char* frameName, QLabel*& fontLabel, const char* fontLabelName,
                          QPushButton*& fontButton, const char* fontButtonName, QListWidget*& list,
                          const char* listName, QPlainTextEdit*& sample, const char* sampleName) {
        auto* frame = new QGroupBox(m_tabs);
        frame->setObjectName(QString::fromLatin1(frameName));
        frame->setFlat(true);
        auto* grid = new QGridLayout(frame);
        auto* fontCaptionLabel = new QLabel(QStringLiteral("Font"), frame);
        fontLabel = named(new QLabel(frame), fontLabelName);
        fontLabel->setFrameShape(QFrame::StyledPanel);
        fontButton = new QPushButton(QStringLiteral("..."), frame);
        fontButton->setObjectName(QString::fromLatin1(fontButtonName));
        fontButton->setAccessibleName(QStringLiteral("Choose font"));
        fontButton->setMaximumWidth(fontButton->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
        fontCaptionLabel->setBuddy(fontButton);
        auto* colorItems = new QLabel(QStringLiteral("Color Items"), frame);
        list = new QListWidget(frame);
        list->setObjectName(QString::fromLatin1(listName));
        list->setAccessibleName(QStringLiteral("Color Items"));
        colorItems->setBuddy(list);
        auto* sampleCaption = new QLabel(QStringLiteral("Sample"), frame);
        sample = new QPlainTextEdit(frame);
        sample->setObjectName(QString::fromLatin1(sampleName));
        sample->setAccessibleName(QStringLiteral("Sample"));
        sample->setReadOnly(true);
        sample->setLineWrapMode(QPlainTextEdit::NoWrap);
        sampleCaption->setBuddy(sample);
        grid->addWidget(fontCaptionLabel, 0, 0);
        grid->addWidget(fontLabel, 0, 1);
        grid->addWidget(fontButton, 0, 2);
        grid->addWidget(colorItems, 1, 0, 1, 3);
        grid->addWidget(list, 2, 0, 1, 3);
        grid->addWidget(sampleCaption, 3, 0, 1, 3);
        grid->addWidget(sample, 4, 0, 1, 3);
        grid->setColumnStretch(1, 1);
        grid->setRowStretch(4, 1);
        return frame;
    };
    m_tabs->addTab(editorPage("frEditorFormat", m_lbFont, "lbFont", m_cmdFont, "cmdFont", m_lstColors, "lstColors",
                       m_txtSample, "txtSample"),
        QStringLiteral("SQL Editor"));
    if (QLabel* l = m_tabs->widget(0)->findChild<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) Q_UNUSED(l);
    m_tabs->addTab(editorPage("Frame1", m_lbFontScript, "lbFontScript", m_cmdFontScript, "cmdFontScript",
                       m_lstColorScript, "lstColorScript", m_txtSampleScript, "txtSampleScript"),
        QStringLiteral("Script Editor"));
    m_lstColors->parentWidget()->findChildren<QLabel*>().at(1)->setObjectName(QStringLiteral("lbColorItem"));

    auto* keyboard = new QGroupBox(m_tabs);
    keyboard->setObjectName(QStringLiteral("Frame2"));
    keyboard->setFlat(true);
    m_fgKeyboard = new orra::FlexGrid(keyboard);
    m_fgKeyboard->setObjectName(QStringLiteral("fgKeyboard"));
    m_fgKeyboard->setAccessibleName(QStringLiteral("Query shortcuts"));
    auto* definition = named(new QLabel(QStringLiteral("use %s for selected text"), keyboard), "lbKeyboardDefinition");
    auto* keyboardLayout = new QVBoxLayout(keyboard);
    keyboardLayout->addWidget(m_fgKeyboard, 1);
    keyboardLayout->addWidget(definition);
    m_tabs->addTab(keyboard, QStringLiteral("Keyboard"));

    m_cmdOK = new QPushButton(QStringLiteral("OK"), this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setDefault(true);
    m_cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cmdOK);
    buttons->addWidget(m_cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addLayout(buttons);

    connect(m_cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(m_cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_cmdFont, &QPushButton::clicked, this, [this] { cmdFont_Click(m_lbFont, true); });
    connect(m_cmdFontScript, &QPushButton::clicked, this, [this] { cmdFont_Click(m_lbFontScript, false); });
    connect(m_lstColors, &QListWidget::itemDoubleClicked, this, [this] { chooseColour(m_lstColors, true); });
    connect(m_lstColorScript, &QListWidget::itemDoubleClicked, this, [this] { chooseColour(m_lstColorScript, false); });
    connect(m_fgKeyboard, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (m_fillingGrid || !item || item->column() != 1) return;
        const int index = item->row();   // model row 0 is grid row 1, template index 0
        if (index >= 0 && index < int(m_working.QueryShortcuts.size()))
            m_working.QueryShortcuts[size_t(index)] = item->text();
    });

    resize(twips(this, 7000), twips(this, 6000));
    Form_Load();
}

void frmOptions::Form_Load()
{
    if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    const EditorOptions& current = editorOptions();
    m_working = current;
    setLabelFont(m_lbFont, current.SQLFont.toQFont());
    setLabelFont(m_lbFontScript, current.ScriptFont.toQFont());
    m_lstColors->clear();
    m_lstColors->addItems(sqlColorLabels());
    m_lstColorScript->clear();
    m_lstColorScript->addItems(scriptColorLabels());
    m_txtSample->setPlainText(sqlSampleLines().join(QStringLiteral("\r\n")));
    m_txtSampleScript->setPlainText(scriptSampleLines().join(QStringLiteral("\r\n")));
}

void frmOptions::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        FillKeyboardGrid();
        RefreshSqlSample();
        RefreshScriptSample();
    }
}

void frmOptions::FillKeyboardGrid()
{
    m_fillingGrid = true;
    orra::FlexGrid* g = m_fgKeyboard;
    g->setFixedRows(1);
    g->setCols(2);
    g->setFixedCols(1);
    g->setRows(11);
    g->setTextMatrix(0, 0, QStringLiteral("Shortcuts"));
    g->setTextMatrix(0, 1, QStringLiteral("Command"));
    for (int row = 1; row <= 10; ++row) {
        g->setTextMatrix(row, 0, QStringLiteral("Ctrl+") + QString::number(row % 10));
        g->setTextMatrix(row, 1, m_working.QueryShortcuts[size_t(row - 1)]);
        // Only the templates can be edited.
        if (QTableWidgetItem* name = g->item(row - 1, 0)) name->setFlags(name->flags() & ~Qt::ItemIsEditable);
        if (QTableWidgetItem* text = g->item(row - 1, 1)) text->setFlags(text->flags() | Qt::ItemIsEditable);
    }
    g->setColWidth(0, twips(this, 1000));
    g->setColWidth(1, twips(this, 4500));
    g->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
        | QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    m_fillingGrid = false;
}

void frmOptions::setLabelFont(QLabel* label, const QFont& font)
{
    label->setFont(font);
    label->setText(fontCaption(font));
}

void frmOptions::cmdFont_Click(QLabel* label, bool sql)
{
    QFont font = label->font();
    if (pickFont && pickFont(font)) setLabelFont(label, font);
    sql ? RefreshSqlSample() : RefreshScriptSample();
}

void frmOptions::chooseColour(QListWidget* list, bool sql)
{
    const int index = list->currentRow();
    if (index < 0 || !list->currentItem() || !list->currentItem()->isSelected()) return;
    std::int32_t& working = sql ? m_working.SQLColors[size_t(index)] : m_working.ScriptColors[size_t(index)];
    QColor colour = toQColor(working);
    if (!pickColour || !pickColour(colour)) return;
    working = fromQColor(colour);
    sql ? RefreshSqlSample() : RefreshScriptSample();
}

void frmOptions::RefreshSqlSample()
{
    m_working.SQLFont = EditorFont{m_lbFont->font().family(), wholeFontSize(m_lbFont->font().pointSizeF()),
        m_lbFont->font().bold(), m_lbFont->font().italic()};
    m_working.RtfColorTable = BuildRtfColorTable(m_working);
    m_txtSample->setFont(m_lbFont->font());
    QPalette p = m_txtSample->palette();
    p.setColor(QPalette::Base, toQColor(m_working.SQLColors[SqlBackColor]));
    m_txtSample->setPalette(p);
    if (sampleColouring()) sampleColouring()(m_txtSample, nullptr, m_working);
}

void frmOptions::RefreshScriptSample()
{
    m_working.ScriptFont =
        EditorFont{m_lbFontScript->font().family(), wholeFontSize(m_lbFontScript->font().pointSizeF()),
            m_lbFontScript->font().bold(), m_lbFontScript->font().italic()};
    m_txtSampleScript->setFont(m_lbFontScript->font());
    QPalette p = m_txtSampleScript->palette();
    p.setColor(QPalette::Base, toQColor(m_working.ScriptColors[ScriptBackColor]));
    m_txtSampleScript->setPalette(p);
    if (sampleColouring()) sampleColouring()(nullptr, m_txtSampleScript, m_working);
}

void frmOptions::cmdOK_Click()
{
    EditorOptions& options = editorOptions();
    options.SQLColors = m_working.SQLColors;
    const QFont sql = m_lbFont->font();
    options.SQLFont = EditorFont{sql.family(), wholeFontSize(sql.pointSizeF()), sql.bold(), sql.italic()};
    options.ScriptColors = m_working.ScriptColors;
    const QFont script = m_lbFontScript->font();
    options.ScriptFont =
        EditorFont{script.family(), wholeFontSize(script.pointSizeF()), script.bold(), script.italic()};
    options.RtfColorTable = BuildRtfColorTable(options);
    options.QueryShortcuts = m_working.QueryShortcuts;
    accept();
}

}   // namespace morvane
