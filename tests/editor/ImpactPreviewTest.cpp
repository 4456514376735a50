// The impact preview in the window: Ctrl+I opens it and runs the stored formula and the box's one
// over the record's test cases, a CSV file and generated rows on the window's worker; the figures,
// the histogram's bins and the movers; "Interrompi" stops a run and a second one cannot start
// meanwhile; a mover goes into the trial panel; the box and the database stay as they were.
#include "EditorFixture.h"

#include "check/TestCases.h"
#include "editor/BackgroundRun.h"
#include "editor/ImpactPreview.h"
#include "editor/TrialPanel.h"

#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

#include <numeric>

namespace {

using namespace editortest;
using editor::ImpactPreview;

// Provider 1 of the demo data: SET [Prezzo lordo] = [Prezzo lordo - CURR] + 50.
class Impact : public Editor {
protected:
    void addCase(const QString& name, const QString& price) {
        ado::Connection c;
        c.Open(connectionString);
        check::TestCase t;
        t.context = 0;
        t.id = 1;
        t.name = name;
        t.inputs.insert(QStringLiteral("@ATTPREZZO"), price);
        t.expected.resize(check::trialOutputs().size());
        t.author = QStringLiteral("mrossi");
        t.created = QDateTime(QDate(2026, 12, 6), QTime(12, 0));
        check::TestCaseStore(c).add(t);
    }

    // Three cases; the box doubles the price instead of adding 50: two of them move.
    FRMLP_FORMULE& openChanged() {
        addCase(QStringLiteral("Cento"), QStringLiteral("100"));
        addCase(QStringLiteral("Duecento"), QStringLiteral("200"));
        addCase(QStringLiteral("Cinquanta"), QStringLiteral("50"));
        FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
        ui(w).TXT_FORMULA->SetText(Doubled);
        return w;
    }

    void pressCtrlI() { QTest::keyClick(ui(*window).TXT_FORMULA, Qt::Key_I, Qt::ControlModifier); }
    ImpactPreview& preview() { return *window->impactPreview(); }

    // Everything the database holds, as one hash: what a run of the preview must leave alone.
    QByteArray databaseDigest() {
        ado::Connection c;
        c.Open(connectionString);
        QCryptographicHash hash(QCryptographicHash::Sha256);
        for (const char* table : {"LP01_PROVIDER", "LP30_CASIPROVA"}) {
            const ado::RecordsetPtr rs =
                c.Execute(QStringLiteral("SELECT * FROM %1").arg(QLatin1String(table)));
            for (; !rs->IsEOF(); rs->MoveNext())
                for (int i = 0; i < rs->GetFields().Count(); ++i)
                    hash.addData(rs->GetFields().Item(i).Value().toQVariant().toString().toUtf8() + '\x1f');
        }
        return hash.result();
    }

    const QString Doubled = QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - CURR] * 2");
};

TEST_F(Impact, CtrlIOpensThePreviewAndRunsTheCases) {
    FRMLP_FORMULE& w = openChanged();
    const QByteArray before = databaseDigest();
    EXPECT_EQ(w.impactPreview(), nullptr);
    auto* button = w.findChild<QWidget*>(QStringLiteral("IMG_IMPACT"));
    ASSERT_TRUE(button);
    EXPECT_EQ(button->toolTip(), QStringLiteral("Anteprima impatto (Ctrl+I)"));

    pressCtrlI();
    ASSERT_TRUE(w.impactPreview());
    EXPECT_TRUE(preview().isVisible());
    EXPECT_FALSE(preview().running());
    EXPECT_FALSE(preview().messageLabel()->isVisible()) << preview().messageLabel()->text().toStdString();
    const check::ImpactReport& report = preview().report();
    EXPECT_EQ(report.rows, 3);
    EXPECT_FALSE(report.cancelled);
    ASSERT_GE(preview().outputShown(), 0);
    const check::ImpactOutput& shown = report.outputs.at(preview().outputShown());
    EXPECT_EQ(shown.element.key, QStringLiteral("@OUTPREZZO")); // the first output the change moves
    EXPECT_EQ(preview().outputChooser()->currentText(), QStringLiteral("[Prezzo lordo]"));
    EXPECT_EQ(shown.evaluated, 3);
    EXPECT_EQ(shown.changed, 2); // 150 -> 200, 250 -> 400; 100 stays
    EXPECT_EQ(preview().summaryLabel()->text().section(u'\n', 0, 0),
              QStringLiteral("Righe lette: 3 · eseguite da entrambe le formule: 3 · cambiate: 2"));
    EXPECT_EQ(
        preview().summaryLabel()->text().section(u'\n', 1, 1),
        QStringLiteral("Errori della sola formula memorizzata: 0 · della sola nuova: 0 · di entrambe: 0"));

    // The chart: one bar per bin, labelled by its range, counting the rows of each.
    QBarSet* bars = preview().histogramBars();
    ASSERT_TRUE(bars);
    ASSERT_EQ(bars->count(), shown.histogram.counts.size());
    EXPECT_EQ(preview().histogramLabels().size(), shown.histogram.counts.size());
    EXPECT_EQ(preview().histogramLabels(),
              editor::impacttext::binLabels(shown.histogram, check::TrialReading::Italian));
    qint64 total = 0;
    for (int i = 0; i < bars->count(); ++i) {
        EXPECT_EQ(bars->at(i), double(shown.histogram.counts.at(i))) << i;
        total += shown.histogram.counts.at(i);
    }
    EXPECT_EQ(total, 3);
    EXPECT_EQ(preview().chartView()->chart()->title(), QStringLiteral("Variazione % di [Prezzo lordo]"));

    // The movers, largest change first: 200 (+60 %), then 100 (+33.3 %).
    QTableWidget* movers = preview().moversTable();
    ASSERT_GE(movers->rowCount(), 2);
    EXPECT_EQ(movers->item(0, 0)->text(), QStringLiteral("caso «Duecento»"));
    EXPECT_EQ(movers->item(0, 3)->text(), QStringLiteral("150"));
    EXPECT_EQ(movers->item(0, 4)->text(), QStringLiteral("60 %"));
    EXPECT_EQ(movers->item(1, 0)->text(), QStringLiteral("caso «Cento»"));
    EXPECT_EQ(movers->item(1, 4)->text(), QStringLiteral("33,3333 %")); // the Italian decimal comma
    EXPECT_EQ(movers->item(1, 2)->text(), QStringLiteral("200,000000"));

    // Nothing written, the box as it was; the button runs it again the same.
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), Doubled);
    EXPECT_EQ(databaseDigest(), before);
    preview().startButton()->click();
    EXPECT_EQ(preview().report().rows, 3);
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), Doubled);
    EXPECT_EQ(databaseDigest(), before);
}

TEST_F(Impact, AMoverDoubleClickedGoesIntoTheTrialPanel) {
    FRMLP_FORMULE& w = openChanged();
    w.showTrialPanel(true);
    auto* edit = w.trialPanel()->inputTable()->findChild<QLineEdit*>(QStringLiteral("@ATTPREZZO"));
    ASSERT_TRUE(edit);
    edit->setText(QStringLiteral("7"));
    w.showTrialPanel(false);
    pressCtrlI();
    QTableWidget* movers = preview().moversTable();
    ASSERT_GE(movers->rowCount(), 2);
    const QRect second = movers->visualItemRect(movers->item(1, 0));
    QTest::mouseClick(movers->viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(movers->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_TRUE(w.trialPanel()->isVisible());
    EXPECT_EQ(w.trialPanel()->values().value(QStringLiteral("@ATTPREZZO")), QStringLiteral("100"));
    EXPECT_EQ(edit->text(), QStringLiteral("100"));
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), Doubled);
}

TEST_F(Impact, InterrompiStopsTheRunAndNothingElseStartsMeanwhile) {
    FRMLP_FORMULE& w = openChanged();
    const QByteArray before = databaseDigest();
    pressCtrlI(); // the cases
    ASSERT_EQ(preview().report().rows, 3);
    preview().casesCheck()->setChecked(false);
    preview().generationEdit()->setText(QStringLiteral("[Prezzo lordo - CURR]=da 1 a 5000000 passo 1"));
    bool seen = false;
    QObject::connect(&preview(), &ImpactPreview::progressed, &preview(), [&] {
        if (seen)
            return;
        seen = true;
        // In flight: neither the button, nor the key, nor a check starts another run.
        EXPECT_TRUE(preview().running());
        EXPECT_FALSE(preview().startButton()->isEnabled());
        EXPECT_TRUE(preview().cancelButton()->isEnabled());
        EXPECT_FALSE(ui(w).IMG_SAVE->isEnabled());
        EXPECT_FALSE(ui(w).IMG_CHECK->isEnabled());
        preview().startButton()->click();
        pressCtrlI();
        QTest::mouseClick(preview().cancelButton(), Qt::LeftButton);
    });
    preview().startButton()->click();
    EXPECT_TRUE(seen);
    const check::ImpactReport& report = preview().report();
    EXPECT_TRUE(report.cancelled);
    EXPECT_LT(report.rows, 5000000);
    EXPECT_EQ(preview().summaryLabel()->text().section(u'\n', 0, 0),
              QStringLiteral("Interrotta: le cifre sono quelle delle righe lette fin qui."));
    EXPECT_FALSE(preview().running());
    EXPECT_TRUE(preview().startButton()->isEnabled());
    EXPECT_FALSE(preview().cancelButton()->isEnabled());
    EXPECT_TRUE(ui(w).IMG_SAVE->isEnabled());
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), Doubled);
    EXPECT_EQ(databaseDigest(), before);
}

TEST_F(Impact, ClosingThePreviewStopsItsRun) {
    openChanged();
    pressCtrlI();
    preview().generationEdit()->setText(QStringLiteral("[Prezzo lordo - CURR]=da 1 a 5000000 passo 1"));
    bool closed = false;
    QObject::connect(&preview(), &ImpactPreview::progressed, &preview(), [&] {
        if (!closed) {
            closed = true;
            preview().close();
        }
    });
    preview().startButton()->click();
    EXPECT_TRUE(closed);
    EXPECT_FALSE(preview().isVisible());
    EXPECT_TRUE(preview().report().cancelled);
    EXPECT_FALSE(preview().running());
}

// The application told to quit during a run ends every event loop, the run's too: the run stops
// and is waited for before its caller goes on (the rows and the report it writes are the caller's).
TEST_F(Impact, AQuitDuringTheRunWaitsForTheWorker) {
    FRMLP_FORMULE& w = openChanged();
    pressCtrlI();
    preview().generationEdit()->setText(QStringLiteral("[Prezzo lordo - CURR]=da 1 a 5000000 passo 1"));
    bool quit = false;
    QObject::connect(&preview(), &ImpactPreview::progressed, &preview(), [&] {
        if (!quit) {
            quit = true;
            QCoreApplication::exit(0);
        }
    });
    preview().startButton()->click();
    EXPECT_TRUE(quit);
    EXPECT_TRUE(preview().report().cancelled);
    EXPECT_LT(preview().report().rows, 5000003);
    EXPECT_FALSE(w.backgroundRun()->running());
    // The application's loop runs once, which takes the quit back for the tests that follow in this
    // process (its end also lets the host close what it closes when the application quits).
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    QCoreApplication::exec();
}

TEST_F(Impact, CsvRowsAreAddedAndAnUnreadableCellIsToldByPlace) {
    openChanged();
    pressCtrlI();
    const QString path = dir.filePath(QStringLiteral("prezzi.csv"));
    auto write = [&path](const QByteArray& content) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    };
    write("[Prezzo lordo - CURR]\n10\n20\n30\n40\n");
    preview().setFileAsker([&path](const QString& title) {
        EXPECT_EQ(title, QStringLiteral("Scegli il file CSV"));
        return path;
    });
    preview().findChild<QPushButton*>(QStringLiteral("CMD_IMPACT_CSV"))->click();
    EXPECT_EQ(preview().csvEdit()->text(), path);
    preview().startButton()->click();
    EXPECT_FALSE(preview().messageLabel()->isVisible()) << preview().messageLabel()->text().toStdString();
    EXPECT_EQ(preview().report().rows, 7);

    write("[Prezzo lordo - CURR]\n10\nabc\n");
    preview().startButton()->click();
    EXPECT_TRUE(preview().messageLabel()->isVisible());
    EXPECT_TRUE(preview().messageLabel()->text().startsWith(QStringLiteral("File CSV, riga 3, colonna 1: ")))
        << preview().messageLabel()->text().toStdString();
    EXPECT_EQ(preview().report().rows, 0);
    EXPECT_EQ(preview().moversTable()->rowCount(), 0);
    EXPECT_EQ(preview().histogramBars(), nullptr);

    preview().csvEdit()->setText(dir.filePath(QStringLiteral("assente.csv")));
    preview().startButton()->click();
    EXPECT_TRUE(
        preview().messageLabel()->text().startsWith(QStringLiteral("Il file CSV non si lascia aprire: ")));
}

// A CSV column named by a category's label: the window's translation finds the category, and its
// rows reach the trial panel by the category's id.
TEST_F(Impact, ACsvColumnOfACategoryByItsLabel) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(3)); // IF {C01 - Colore} = 'ROSSO' ... = 3
    const QString stored = ui(w).TXT_FORMULA->Text();
    ASSERT_TRUE(stored.contains(QStringLiteral("{C01 - Colore}"))) << stored.toStdString();
    ASSERT_TRUE(stored.trimmed().endsWith(QStringLiteral("= 3"))) << stored.toStdString();
    const QString changed = stored.trimmed().chopped(1) + u'5';
    ui(w).TXT_FORMULA->SetText(changed);
    const QString path = dir.filePath(QStringLiteral("colori.csv"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("{C01 - Colore}\nROSSO\nBLU\n");
    }
    pressCtrlI(); // no cases: nothing to run yet
    EXPECT_TRUE(preview().messageLabel()->isVisible());
    preview().csvEdit()->setText(path);
    preview().startButton()->click();
    EXPECT_FALSE(preview().messageLabel()->isVisible()) << preview().messageLabel()->text().toStdString();
    EXPECT_EQ(preview().report().rows, 2);
    ASSERT_GE(preview().outputShown(), 0);
    const check::ImpactOutput& shown = preview().report().outputs.at(preview().outputShown());
    EXPECT_EQ(shown.element.key, QStringLiteral("@OUTSC2PERC"));
    EXPECT_EQ(shown.changed, 1);
    QTableWidget* movers = preview().moversTable();
    ASSERT_EQ(movers->rowCount(), 1);
    EXPECT_EQ(movers->item(0, 0)->text(), QStringLiteral("riga 2"));
    const QRect first = movers->visualItemRect(movers->item(0, 0));
    QTest::mouseClick(movers->viewport(), Qt::LeftButton, {}, first.center());
    QTest::mouseDClick(movers->viewport(), Qt::LeftButton, {}, first.center());
    EXPECT_TRUE(w.trialPanel()->isVisible());
    EXPECT_EQ(w.trialPanel()->values().value(QStringLiteral("C:123")), QStringLiteral("ROSSO"))
        << QStringList(w.trialPanel()->values().keys()).join(u',').toStdString();
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), changed);
}

TEST_F(Impact, ARecordWithoutRowsSaysWhatToGive) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    ui(w).TXT_FORMULA->SetText(QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - CURR] * 2"));
    pressCtrlI();
    EXPECT_TRUE(preview().messageLabel()->isVisible());
    EXPECT_EQ(preview().messageLabel()->text(),
              QStringLiteral("Nessuna riga da provare: il record non ha casi di prova. Scegli un file CSV o "
                             "scrivi le righe da generare."));
    EXPECT_TRUE(preview().startButton()->isEnabled());
}

TEST_F(Impact, TheTechnicalViewOpensNoPreview) {
    FRMLP_FORMULE& w = openChanged();
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_W, Qt::ControlModifier);
    ASSERT_TRUE(w.technicalView());
    pressCtrlI();
    EXPECT_EQ(w.impactPreview(), nullptr);
}

TEST_F(Impact, EnglishCaptions) {
    host::TranslationService english;
    ASSERT_GE(english.load(QStringLiteral(FORMULE_TRANSLATIONS_DIR), QStringLiteral("en")), 1);
    global.setTranslation(&english);
    FRMLP_FORMULE& w = openChanged();
    // The box in the user's language.
    ui(w).TXT_FORMULA->SetText(QStringLiteral("SET [Gross price] = [Gross price - CURR] * 2"));
    EXPECT_EQ(w.findChild<QWidget*>(QStringLiteral("IMG_IMPACT"))->toolTip(),
              QStringLiteral("Impact preview (Ctrl+I)"));
    pressCtrlI();
    EXPECT_EQ(preview().windowTitle(), QStringLiteral("Impact preview"));
    EXPECT_EQ(preview().startButton()->text(), QStringLiteral("Compute"));
    EXPECT_EQ(preview().cancelButton()->text(), QStringLiteral("Stop"));
    EXPECT_EQ(preview().summaryLabel()->text().section(u'\n', 0, 0),
              QStringLiteral("Rows read: 3 · run by both formulas: 3 · changed: 2"));
    EXPECT_EQ(preview().chartView()->chart()->title(), QStringLiteral("Percent change of [Gross price]"));
    EXPECT_EQ(preview().moversTable()->horizontalHeaderItem(4)->text(), QStringLiteral("Change %"));
    window.reset();
    global.setTranslation(nullptr);
}

// The bins' labels and the numbers of the figures.
TEST(ImpactTexts, BinLabelsAndNumbers) {
    using editor::impacttext::binLabels;
    using editor::impacttext::number;
    const struct {
        check::ImpactHistogram histogram;
        QStringList labels;
    } bins[] = {
        {{-10, 5, {1, 0, 2}},
         {QStringLiteral("-10 … -5"), QStringLiteral("-5 … 0"), QStringLiteral("0 … 5")}},
        {{12.5, 0, {4}}, {QStringLiteral("12.5")}},
        {{-0.5, 0.5, {1, 1}}, {QStringLiteral("-0.5 … 0"), QStringLiteral("0 … 0.5")}},
        {{-100, 100.0 / 7, {1, 1}}, {QStringLiteral("-100 … -85.7"), QStringLiteral("-85.7 … -71.4")}},
        {{-0.04, 0.01, {1}}, {QStringLiteral("0 … 0")}},
        {{0, 1, {}}, {}},
    };
    for (const auto& c : bins)
        EXPECT_EQ(binLabels(c.histogram), c.labels);
    const struct {
        double value;
        const char* text;
    } numbers[] = {{0.1 + 0.2, "0.3"}, {-0.00001, "0"},          {1234.5, "1234.5"},
                   {2, "2"},           {-33.333333, "-33.3333"}, {1e12, "1000000000000"}};
    for (const auto& c : numbers)
        EXPECT_EQ(number(c.value), QString::fromUtf8(c.text)) << c.value;
    // As the user's language writes them: the decimal comma in Italian.
    EXPECT_EQ(number(-33.333333, check::TrialReading::Italian), QStringLiteral("-33,3333"));
    EXPECT_EQ(number(-33.333333, check::TrialReading::English), QStringLiteral("-33.3333"));
    EXPECT_EQ(binLabels({-0.5, 0.5, {1, 1}}, check::TrialReading::Italian),
              (QStringList{QStringLiteral("-0,5 … 0"), QStringLiteral("0 … 0,5")}));
}

} // namespace
