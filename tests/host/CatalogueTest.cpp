// Every text the host stand-in and the component's navigator handlers show has an English entry.
#include <QFile>
#include <QMap>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace {

QMap<QString, QString> readCatalogue(const QString& path) {
    QMap<QString, QString> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    QXmlStreamReader xml(&file);
    QString context, source;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("source"))
            source = xml.readElementText();
        else if (xml.name() == QLatin1String("translation") && context == QLatin1String("formule"))
            entries.insert(source, xml.readElementText());
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return entries;
}

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
        QStringLiteral("Navigatore"),
        QStringLiteral("Nuovo"),
        QStringLiteral("Salva"),
        QStringLiteral("Elimina"),
        QStringLiteral("Primo"),
        QStringLiteral("Precedente"),
        QStringLiteral("Successivo"),
        QStringLiteral("Ultimo"),
        QStringLiteral("Aggiorna"),
        QStringLiteral("Esporta in Office"),
        QStringLiteral("Multimedia"),
        QStringLiteral("Ditta"),
    };
    for (const QString& text : shown) {
        ASSERT_TRUE(en.contains(text)) << text.toStdString();
        EXPECT_FALSE(en.value(text).isEmpty()) << text.toStdString();
    }
    EXPECT_EQ(en.value(QStringLiteral("Avviso Utente")), QStringLiteral("User Notice"));
}

} // namespace
