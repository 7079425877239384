#pragma once
// What the administration dialog tests share: an embedded catalogue as the designer's catalogue
// connection (CatalogueTestSupport.h), a user interface that records every box and answers
// questions and input boxes from queues, and a modal runner that hands each dialog to the test
// instead of starting a nested event loop.

#include "CatalogueTestSupport.h"
#include "designer/catalogue/AdminSupport.h"

#include <QDialog>
#include <QQueue>
#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace orra::test {

class ScriptedUi : public UserInterface {
public:
    bool interactive() const override { return true; }
    int messageBox(const QString& text, int style, const QString& title) override
    {
        messages.append(text);
        titles.append(title);
        styles.append(style);
        const int buttons = style & 7;
        if (buttons == vbOKOnly) return vbOK;
        if (!answers.isEmpty()) return answers.dequeue();
        return buttons == vbOKCancel ? vbOK : vbYes;
    }
    QString inputBox(const QString& prompt, const QString& title, const QString&, bool* cancelled) override
    {
        prompts.append(prompt + QLatin1Char('|') + title);
        if (cancelled) *cancelled = inputs.isEmpty();
        return inputs.isEmpty() ? QString() : inputs.dequeue();
    }
    void reportError(long, const QString&, const QString& description, const QString&) override
    {
        messages.append(description);
        titles.append(QString());
        styles.append(vbOKOnly);
    }
    void processEvents() override {}

    QString last() const { return messages.isEmpty() ? QString() : messages.last(); }

    QStringList messages, titles, prompts;
    QList<int> styles;
    QQueue<int> answers;
    QQueue<QString> inputs;
};

class AdminTest : public DesignerCatalogueTest {
protected:
    void SetUp() override
    {
        DesignerCatalogueTest::SetUp();
        setUserInterface(&scripted);
        morvane::admin::setModalRunner([this](QDialog* dialog) {
            ++modalRuns;
            dialog->show();
            const int result = onModal ? onModal(dialog) : QDialog::Rejected;
            dialog->hide();
            return result;
        });
    }
    void TearDown() override
    {
        morvane::admin::setModalRunner(nullptr);
        DesignerCatalogueTest::TearDown();
    }

    // Makes the designer's catalogue connection that of another login.
    void logOnAs(const QString& login, const QString& password)
    {
        main = shared(login, password);
        setMainConnection(main);
    }

    ScriptedUi scripted;
    std::function<int(QDialog*)> onModal;
    int modalRuns = 0;
};

}   // namespace orra::test
