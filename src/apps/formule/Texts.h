#pragma once

#include <QString>

// The tool's own texts about its arguments, its standard input and the database of --db, in
// Italian; data/translations/tool_en.ts holds them in English (Context::tr picks the one of
// --lang).
namespace formule_cli::text {

// %1 the command, %2 the first argument too many (shortened).
inline const QString NoArguments =
    QStringLiteral("%1 non accetta argomenti: \"%2\" è di troppo (vedi formule %1 --help)");
inline const QString OneArgument =
    QStringLiteral("%1 accetta un solo argomento: \"%2\" è di troppo (un testo con spazi va tra virgolette; "
                   "vedi formule %1 --help)");

inline const QString InputClosed =
    QStringLiteral("lo standard input è chiuso: dai il testo come argomento o con \"-\" da un file");
// %1 the system's reason.
inline const QString InputUnreadable = QStringLiteral("lo standard input non si può leggere: %1");
// %1 the limit in bytes, %2 in MB.
inline const QString InputTooLong =
    QStringLiteral("lo standard input supera il limite di %1 byte (%2 MB): non è stato letto oltre");
// %1 the command.
inline const QString NoTextOnInput =
    QStringLiteral("%1: lo standard input non contiene alcun testo: nulla è stato scritto (clear elimina la "
                   "formula; un testo vuoto si salva solo dato come argomento vuoto, '')");

// %1 the length of the formula in characters, %2 the limit.
inline const QString FormulaTooLong =
    QStringLiteral("La formula conta %1 caratteri: la traduzione tra la forma visualizzata e la forma SQL "
                   "tratta testi di al massimo %2 caratteri per passo, e questa formula li supera. "
                   "Accorcia la formula.");

// %1 the command, %2 the missing table.
inline const QString NoSchema =
    QStringLiteral("%1: il database non contiene le tabelle delle formule (manca %2): esegui prima "
                   "formule init-db");
// %1 what failed.
inline const QString DiskFull =
    QStringLiteral("il disco del database è pieno (SQLITE_FULL): %1. Libera spazio e ripeti il comando.");

// The record commands (show, save, clear): %1 the record's id, %2 its context.
inline const QString NoRecord = QStringLiteral("nessun record %1 nel contesto %2");
inline const QString NoRecordNothingWritten =
    QStringLiteral("nessun record %1 nel contesto %2: non è stato scritto nulla");
// %1 the record's id, %2 its context, %3 the length of the stored text.
inline const QString StoredNotShown =
    QStringLiteral("la formula salvata del record %1 nel contesto %2 non si può mostrare (%3 caratteri in "
                   "forma SQL); resta com'è nel database");
inline const QString NotSaved =
    QStringLiteral("non salvata (--yes salva una formula che non supera il controllo)");
inline const QString NothingWritten = QStringLiteral("non è stato scritto nulla");

} // namespace formule_cli::text
