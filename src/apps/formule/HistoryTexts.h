#pragma once

#include <QString>

// The texts of the tool's history commands (history, diff, restore and the version options of
// save and clear), in Italian; data/translations/history_en.ts holds them in English.
namespace formule_cli::history::text {

// %1 the version the write appended.
inline const QString Saved = QStringLiteral("versione %1 registrata nella cronologia della formula");
inline const QString NotRecorded = QStringLiteral(
    "nessuna versione registrata: il database non ha la tabella LP31_VERSIONI (formule init-db la aggiunge)");
// %1 the text given.
inline const QString BadExpectVersion = QStringLiteral(
    "--expect-version vuole il numero di una versione (0: nessuna versione registrata), non \"%1\"");
// %1 the option, %2 the text given.
inline const QString BadVersion = QStringLiteral("%1 vuole il numero di una versione, non \"%2\"");
inline const QString VersionRequired =
    QStringLiteral("--version è obbligatorio: il numero della versione da ripristinare");
inline const QString ToAndText =
    QStringLiteral("--to e --text non vanno insieme: si confronta con l'una o con l'altro");
// %1 the text given.
inline const QString BadFormat = QStringLiteral("--format vuole tsv, csv o json, non \"%1\"");
// %1 the text given.
inline const QString BadDate = QStringLiteral(
    "--prune-before vuole una data AAAA-MM-GG o un istante UTC AAAA-MM-GGTHH:MM:SSZ, non \"%1\"");
inline const QString PruneWithRecord =
    QStringLiteral("--prune-before riguarda tutte le formule: non va dato con --context o --id");
// %1 the versions deleted.
inline const QString Pruned = QStringLiteral("versioni eliminate: %1");
// %1 the version.
inline const QString NotShown = QStringLiteral(
    "la versione %1 non si lascia mostrare nella forma visualizzata: è rimasta com'è nel database");
inline const QString NoPrevious =
    QStringLiteral("la formula ha una sola versione: non c'è una versione precedente");

} // namespace formule_cli::history::text
