#pragma once

// The entries of one translation catalogue as it is written (a Qt Linguist .ts file): Italian
// source text to translation, for the context every catalogue uses.

#include <QFile>
#include <QMap>
#include <QString>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace testcatalogue {

inline QMap<QString, QString> readCatalogue(const QString& path) {
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

} // namespace testcatalogue
