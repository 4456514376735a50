#include "host/controls/HostControls.h"
#include "host/controls/VxlRichTextBox.h"
#include "instructions/FRMLP_ISTRUZIONI.h"

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace {

QApplication& app() {
    static int argc = 1;
    static char name[] = "instructions_test";
    static char* argv[] = {name, nullptr};
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}

using instructions::FRMLP_ISTRUZIONI;

struct Seen {
    QPointer<FRMLP_ISTRUZIONI> window;
    const FRMLP_ISTRUZIONI* address = nullptr;
    QStringList texts;
    QStringList labels;
    bool locked = true;
    bool visibleBeforeClose = false;
    QString title;
};

// Records what the shown instance displays and closes it with its own button.
Seen showAndClose(const std::function<QString(const QString&)>& translate = {}) {
    Seen seen;
    instructions::setModalRunner([&](FRMLP_ISTRUZIONI& w) {
        seen.window = &w;
        seen.address = &w;
        seen.visibleBeforeClose = w.isVisible() && w.isModal();
        seen.title = w.windowTitle();
        for (auto* box : {w.TXT_ESEMPIO1, w.TXT_ESEMPIO2, w.TXT_ESEMPIO3, w.TXT_ESEMPIO4}) {
            seen.texts << box->Text();
            seen.locked = seen.locked && box->Locked();
        }
        for (auto* l : {w.VXL_LABEL1, w.VXL_LABEL7, w.VXL_LABEL8, w.VXL_LABEL10, w.VXL_LABEL9})
            seen.labels << l->Caption();
        QTest::mouseClick(w.BTN_CHIUDI, Qt::LeftButton);
        EXPECT_FALSE(w.isVisible());
    });
    instructions::showInstructions(nullptr, translate);
    instructions::setModalRunner({});
    return seen;
}

class Instructions : public ::testing::Test {
protected:
    void SetUp() override { app(); }
};

TEST_F(Instructions, ExamplesAreShownExactlyAndReadOnly) {
    const Seen seen = showAndClose();
    EXPECT_TRUE(seen.visibleBeforeClose);
    EXPECT_EQ(seen.title, QStringLiteral("Istruzioni"));
    EXPECT_EQ(seen.texts,
              (QStringList{
                  "SET [Prezzo lordo] = 25",
                  "SET [Prezzo lordo] = [Prezzo lordo corr] + 50",
                  "SET [Prezzo lordo] = [Prezzo lordo in] + 75",
                  "IF  [Famiglia] in ('MPRI','PFIN')\r\n    SET [Prezzo lordo] = [Prezzo lordo corr] + 100",
              }));
    EXPECT_TRUE(seen.locked);
    EXPECT_EQ(seen.labels,
              (QStringList{"Lo strumento \"composizione formule SQL\" consente di estendere le logiche "
                           "di recupero della quotazione attraverso la definizione di calcoli "
                           "personalizzati basati su linguaggio Sql.",
                           "Esempi di composizione formule", "Esempio 1", "Esempio 2", "Esempio 3"}));
}

TEST_F(Instructions, EachShowIsANewInstanceReleasedAfterwards) {
    const Seen first = showAndClose();
    EXPECT_TRUE(first.window.isNull()); // released once closed
    EXPECT_EQ(FRMLP_ISTRUZIONI::liveInstances(), 0);
    const Seen second = showAndClose();
    EXPECT_TRUE(second.window.isNull());
    EXPECT_EQ(FRMLP_ISTRUZIONI::liveInstances(), 0);
}

TEST_F(Instructions, TheUserCannotTypeIntoTheExamples) {
    FRMLP_ISTRUZIONI w;
    w.show();
    QTest::keyClick(w.TXT_ESEMPIO1, Qt::Key_X);
    QTest::keyClick(w.TXT_ESEMPIO4, Qt::Key_Backspace);
    EXPECT_EQ(w.TXT_ESEMPIO1->Text(), FRMLP_ISTRUZIONI::example(1));
    EXPECT_EQ(w.TXT_ESEMPIO4->Text(), FRMLP_ISTRUZIONI::example(4));
}

TEST_F(Instructions, ExampleBoxesAreRefilledOnEveryActivation) {
    FRMLP_ISTRUZIONI w;
    w.show();
    w.TXT_ESEMPIO2->SetText(QStringLiteral("changed"));
    w.hide();
    w.show();
    EXPECT_EQ(w.TXT_ESEMPIO2->Text(), FRMLP_ISTRUZIONI::example(2));
}

TEST_F(Instructions, CaptionsPassThroughTheTranslationButExamplesDoNot) {
    const Seen seen =
        showAndClose([](const QString& t) { return t == "Istruzioni" ? QString("Instructions") : t; });
    EXPECT_EQ(seen.title, QStringLiteral("Instructions"));
    EXPECT_EQ(seen.texts.first(), QStringLiteral("SET [Prezzo lordo] = 25"));
}

} // namespace

namespace {

// What the shown instance cuts: labels whose wrapped text is taller than the label, example
// lines wider than their box, the fourth example taller than its box.
QStringList cutAtOpening(const std::function<QString(const QString&)>& translate) {
    QStringList cut;
    instructions::setModalRunner([&](FRMLP_ISTRUZIONI& w) {
        QCoreApplication::processEvents(); // the boxes lay their text out at the opening size
        for (const controls::VXL_LABEL* l : w.findChildren<controls::VXL_LABEL*>())
            if (l->heightForWidth(l->width()) > l->height())
                cut << l->objectName();
        for (controls::VxlRichTextBox* box :
             {w.TXT_ESEMPIO1, w.TXT_ESEMPIO2, w.TXT_ESEMPIO3, w.TXT_ESEMPIO4}) {
            const QStringList lines = box->toPlainText().split(u'\n');
            const int margins = 2 * int(box->document()->documentMargin());
            if (box == w.TXT_ESEMPIO4 &&
                int(lines.size()) * box->fontMetrics().lineSpacing() + margins > box->viewport()->height())
                cut << box->objectName();
            for (const QString& line : lines)
                if (box->fontMetrics().horizontalAdvance(line) + margins > box->viewport()->width())
                    cut << box->objectName();
        }
        w.BTN_CHIUDI_ButtonClick();
    });
    instructions::showInstructions(nullptr, translate);
    instructions::setModalRunner({});
    return cut;
}

} // namespace

TEST_F(Instructions, OpeningSizeShowsEveryTextWhole) {
    EXPECT_EQ(cutAtOpening({}).join(u',').toStdString(), "");
    // Longer captions, as another language has them, enlarge the window further.
    EXPECT_EQ(cutAtOpening([](const QString& s) {
                  return QString(s).replace(QStringLiteral("Impostando"),
                                            QStringLiteral("Impostando sempre"));
              }),
              QStringList());
}
