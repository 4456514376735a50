#pragma once

#include <QString>

// The texts of the impact preview, in Italian as the user sees them; the host's translation
// service gives the other languages (data/translations/impact_en.ts).
namespace check::impactmsg {

// Where a row comes from: %1 the case's name, the line or the number of the generated row.
inline const QString CaseOrigin = QStringLiteral("caso «%1»");
inline const QString LineOrigin = QStringLiteral("riga %1");
inline const QString GeneratedOrigin = QStringLiteral("riga generata %1");

// A CSV that cannot be read.
inline const QString CsvEmpty = QStringLiteral("il file CSV è vuoto: manca la riga d'intestazione");
inline const QString CsvNotText = QStringLiteral("il file CSV non è testo UTF-8");
// %1 the text after "#locale=".
inline const QString CsvBadLocale = QStringLiteral("«%1» non è una lingua dei valori: C, it oppure en");
// %1 the header's text.
inline const QString CsvUnknownHeader = QStringLiteral(
    "«%1» non è un elemento noto: un'etichetta tra [ ], una categoria tra { } o una variante tra | |");
inline const QString CsvDuplicateHeader = QStringLiteral("«%1» è già in un'altra colonna");
inline const QString CsvEmptyHeader = QStringLiteral("la colonna non ha nome");
// %1 the fields of the row, %2 the columns of the header.
inline const QString CsvWidth = QStringLiteral("la riga ha %1 campi, l'intestazione %2");
inline const QString CsvOpenQuote = QStringLiteral("le virgolette aperte non sono chiuse");
inline const QString CsvStrayQuote = QStringLiteral("virgolette in un campo che non inizia con virgolette");
inline const QString CsvAfterQuote = QStringLiteral("testo dopo le virgolette di chiusura del campo");
// %1 the limit in characters.
inline const QString CsvRecordTooLong = QStringLiteral("la riga supera i %1 caratteri");
// %1 the value, %2 the type: a number written in another language's form.
inline const QString CsvNumberForm =
    QStringLiteral("«%1» non è un numero scritto come vuole la lingua del file (%2)");
// %1 the element's label, %2 why its value does not fit.
inline const QString CsvValue = QStringLiteral("%1: %2");
inline const QString CsvDateForm = QStringLiteral("«%1» non è una data nella forma aaaa-mm-gg");

// A generation spec that cannot be read.
// %1 the part of the spec.
inline const QString SpecSyntax =
    QStringLiteral("«%1» non è un intervallo: NOME=da A a B passo P oppure NOME=N casuali da A a B seme S");
inline const QString SpecEmpty = QStringLiteral("la specifica di generazione è vuota");
// %1 the element.
inline const QString SpecUnknown = QStringLiteral("«%1» non è un elemento noto");
inline const QString SpecTwice = QStringLiteral("«%1» ha già un intervallo");
inline const QString SpecNotNumeric =
    QStringLiteral("%1 non è numerico: gli intervalli valgono per i numeri");
inline const QString SpecStep = QStringLiteral("il passo deve essere maggiore di zero");
// %1 the start, %2 the end.
inline const QString SpecOrder = QStringLiteral("l'inizio %1 supera la fine %2");
// %1 the limit.
inline const QString SpecTooMany = QStringLiteral("le combinazioni superano le %1 righe");

// The report of formule impact.
// %1 rows read.
inline const QString ReportRows = QStringLiteral("Righe lette: %1");
inline const QString ReportOldPath = QStringLiteral("Formula salvata: %1");
inline const QString ReportNewPath = QStringLiteral("Nuova formula: %1");
// %1 rows.
inline const QString ReportFailedOld = QStringLiteral("Non riuscite solo con la formula salvata: %1");
inline const QString ReportFailedNew = QStringLiteral("Non riuscite solo con la nuova formula: %1");
inline const QString ReportFailedBoth = QStringLiteral("Non riuscite con entrambe: %1");
inline const QString ReportCancelled =
    QStringLiteral("Anteprima interrotta: i dati sono quelli delle righe lette finora");
inline const QString ReportNoOutputs = QStringLiteral("Nessun risultato impostato da una delle due formule");
// %1 the output's label, %2 rows evaluated, %3 rows changed.
inline const QString ReportOutput = QStringLiteral("%1: %2 righe valutate, %3 cambiate");
inline const QString ReportAbsolute = QStringLiteral("variazione");
inline const QString ReportPercent = QStringLiteral("variazione %");
inline const QString ReportHistogram = QStringLiteral("Distribuzione della variazione %");
inline const QString ReportMovers = QStringLiteral("Righe che cambiano di più");
inline const QString ReportBefore = QStringLiteral("prima");
inline const QString ReportAfter = QStringLiteral("dopo");
inline const QString ReportFailures = QStringLiteral("Righe non riuscite con una sola formula");
inline const QString ReportOldMessage = QStringLiteral("formula salvata");
inline const QString ReportNewMessage = QStringLiteral("nuova formula");

} // namespace check::impactmsg

namespace check::impactmsg {
inline const QString ReportMedian = QStringLiteral("mediana");
} // namespace check::impactmsg
