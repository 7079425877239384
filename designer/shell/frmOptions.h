#pragma once
// Tools > Options: the editors' fonts and colours and the ten query templates, edited on a
// working copy of the in-memory editor options. OK copies the working values back and rebuilds
// the colour table; Cancel (or closing) drops them. The dialog never writes the settings store:
// the Options command does that after the dialog has closed.

#include "designer/shell/EditorOptions.h"

#include <QDialog>
#include <functional>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace orra {
class FlexGrid;
}

namespace morvane {

class frmOptions : public QDialog {
    Q_OBJECT
public:
    explicit frmOptions(QWidget* parent = nullptr);

    // Colours the two samples with the working values. The editors' colouring lives above the
    // shell; the program installs it. Without it the samples show their fonts and backgrounds.
    using SampleColouring =
        std::function<void(QPlainTextEdit* sqlSample, QPlainTextEdit* scriptSample, const EditorOptions& working)>;
    static void setSampleColouring(SampleColouring colouring);

    // The pickers behind "..." and a double-click on a colour entry (replaceable for tests).
    // A picker that was cancelled returns false and leaves its value alone.
    std::function<bool(QColor& colour)> pickColour;
    std::function<bool(QFont& font)> pickFont;

    // ---- controls, as the dialog names them ----
    QTabWidget* tbOptions() const { return m_tabs; }
    QLabel* lbFont() const { return m_lbFont; }
    QLabel* lbFontScript() const { return m_lbFontScript; }
    QPushButton* cmdFont() const { return m_cmdFont; }
    QPushButton* cmdFontScript() const { return m_cmdFontScript; }
    QListWidget* lstColors() const { return m_lstColors; }
    QListWidget* lstColorScript() const { return m_lstColorScript; }
    QPlainTextEdit* txtSample() const { return m_txtSample; }
    QPlainTextEdit* txtSampleScript() const { return m_txtSampleScript; }
    orra::FlexGrid* fgKeyboard() const { return m_fgKeyboard; }
    QPushButton* cmdOK() const { return m_cmdOK; }
    QPushButton* cmdCancel() const { return m_cmdCancel; }

    // The working copy (the fonts are those of the two font labels).
    const EditorOptions& working() const { return m_working; }

    // The caption of a font label as a person reads a font: name, size in the user's locale,
    // then "Bold" and "Italic" where they hold, separated by ", " ("Verdana, 10").
    static QString fontCaption(const QFont& font);
    static const QStringList& sqlColorLabels();
    static const QStringList& scriptColorLabels();
    static const QStringList& sqlSampleLines();
    static const QStringList& scriptSampleLines();

    void RefreshSqlSample();
    void RefreshScriptSample();
    void FillKeyboardGrid();

protected:
    void changeEvent(QEvent* event) override;

private:
    void Form_Load();
    void cmdFont_Click(QLabel* label, bool sql);
    void chooseColour(QListWidget* list, bool sql);
    void cmdOK_Click();
    void setLabelFont(QLabel* label, const QFont& font);

    EditorOptions m_working;
    QTabWidget* m_tabs = nullptr;
    QLabel* m_lbFont = nullptr;
    QLabel* m_lbFontScript = nullptr;
    QPushButton* m_cmdFont = nullptr;
    QPushButton* m_cmdFontScript = nullptr;
    QListWidget* m_lstColors = nullptr;
    QListWidget* m_lstColorScript = nullptr;
    QPlainTextEdit* m_txtSample = nullptr;
    QPlainTextEdit* m_txtSampleScript = nullptr;
    orra::FlexGrid* m_fgKeyboard = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdCancel = nullptr;
    bool m_fillingGrid = false;
};

// A whole-number font size from a chosen one: halves go to the even neighbour (10.5 -> 10,
// 11.5 -> 12).
std::int16_t wholeFontSize(double pointSize);

}   // namespace morvane
