// Every text the host stand-in's log object and the component's navigator handlers show has an
// English entry (the tool bar's captions are checked on the tool bar itself);
// every catalogue of data/translations is compiled and complete, the trial run's among them.
#include "check/Messages.h"
#include "check/TrialTexts.h"

#include "../common/Catalogue.h"

#include <QDir>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

using testcatalogue::readCatalogue;

TEST(HostCatalogue, EveryHostTextHasAnEnglishTranslation) {
    const QMap<QString, QString> en =
        readCatalogue(QStringLiteral(FORMULE_DATA_DIR "/translations/host_en.ts"));
    ASSERT_FALSE(en.isEmpty());
    const QStringList shown = {
        QStringLiteral("Il cambio ditta comporta la chiusura del programma, proseguo ?"),
        QStringLiteral("Il collegamento ai dati multimediali è possibile solamente in fase di variazione"),
        QStringLiteral("Avviso Utente"),
        QStringLiteral("Procedura"),
        QStringLiteral("Errore"),
        QStringLiteral("Origine"),
        QStringLiteral("Errori del database"),
    };
    for (const QString& text : shown) {
        ASSERT_TRUE(en.contains(text)) << text.toStdString();
        EXPECT_FALSE(en.value(text).isEmpty()) << text.toStdString();
    }
    EXPECT_EQ(en.value(QStringLiteral("Avviso Utente")), QStringLiteral("User Notice"));
}

const QString TranslationsDir = QStringLiteral(FORMULE_DATA_DIR "/translations");

// The placeholders (%1, %2...) of a text, sorted: a translation keeps every one of them.
QStringList placeholders(const QString& text) {
    QStringList out;
    static const QRegularExpression marker(QStringLiteral("%\\d"));
    for (const QRegularExpressionMatch& m : marker.globalMatch(text))
        out << m.captured();
    out.sort();
    return out;
}

// Every catalogue in the folder is listed for the build (so its .qm exists next to the
// programs), holds entries, and translates each of them with the same placeholders.
TEST(Catalogues, EveryCatalogueIsBuiltAndComplete) {
    QFile list(TranslationsDir + QStringLiteral("/CMakeLists.txt"));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    const QString listed = QString::fromUtf8(list.readAll());
    const QStringList files = QDir(TranslationsDir).entryList({QStringLiteral("*.ts")}, QDir::Files);
    EXPECT_TRUE(files.contains(QStringLiteral("trial_en.ts")));
    ASSERT_GE(files.size(), 8);
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(listed.contains(u'/' + name)) << "not in the build's list";
        const QMap<QString, QString> entries = readCatalogue(TranslationsDir + u'/' + name);
        EXPECT_FALSE(entries.isEmpty());
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            EXPECT_FALSE(it.value().trimmed().isEmpty()) << it.key().toStdString();
            EXPECT_EQ(placeholders(it.key()), placeholders(it.value())) << it.key().toStdString();
        }
    }
}

// The texts the trial run shows, in the panel and in formule eval, have English entries.
TEST(Catalogues, TrialTextsHaveEnglishEntries) {
    QMap<QString, QString> en = readCatalogue(TranslationsDir + QStringLiteral("/trial_en.ts"));
    en.insert(readCatalogue(TranslationsDir + QStringLiteral("/check_en.ts")));
    using namespace check::trialmsg;
    for (const QString& text :
         {NotANumber, TooLarge, TooLong, NotADate, LineBreak, ValueRefused, NoOutputs, PathCompiled,
          PathConstruct, PathConstructAtLine, PathConstructAt, PathServer, PathTurnedOff, PathConnection,
          PathValues, check::msg::NoConnection, check::msg::NotTranslated})
        EXPECT_TRUE(en.contains(text)) << text.toStdString();
    // The values typed in the user's language.
    for (const QString& text : {NotADateMonthFirst, AmbiguousPoint, AmbiguousComma})
        EXPECT_TRUE(en.contains(text)) << text.toStdString();
}

} // namespace
