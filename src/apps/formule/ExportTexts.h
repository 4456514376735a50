#pragma once

#include <QString>

// The texts of the tool's export and import, in Italian; data/translations/history_en.ts holds
// them in English.
namespace formule_cli::exporting::text {

inline const QString FolderRequired = QStringLiteral("serve la cartella: DIR");
// %1 the folder.
inline const QString NotEmpty = QStringLiteral(
    "la cartella %1 non è vuota e non ha un manifest.tsv: l'esportazione scrive solo in una cartella "
    "vuota o in una sua esportazione precedente");
// %1 the folder.
inline const QString NoFolder = QStringLiteral("la cartella %1 non esiste");
inline const QString BadContext = QStringLiteral("--context vuole 0, 1 o 2");
// %1 the file.
inline const QString NotWritten = QStringLiteral("il file %1 non si può scrivere");
// %1 how many files, %2 the folder.
inline const QString Exported = QStringLiteral("formule esportate: %1 in %2");
// %1 the files removed.
inline const QString Removed = QStringLiteral("file di un'esportazione precedente rimossi: %1");
inline const QString KeptExact = QStringLiteral(
    "la forma visualizzata non si ritraduce esattamente nella forma SQL memorizzata: il file la conserva "
    "nell'intestazione (sql-base64)");
// %1 the limit in bytes.
inline const QString TooLarge = QStringLiteral("il file supera i %1 byte");
inline const QString Unreadable = QStringLiteral("il file non si può leggere");
// %1 the record, %2 the context.
inline const QString NoRecord = QStringLiteral("il record %1 non esiste nel contesto %2");
// %1 the other file.
inline const QString Duplicate = QStringLiteral("lo stesso record è già nel file %1");
// %1 the byte offset from the file's start (from 0).
inline const QString NotUtf8 = QStringLiteral("il testo non è UTF-8 valido (byte %1)");
// %1 the byte offset.
inline const QString NulByte = QStringLiteral("il testo contiene un byte NUL (byte %1)");
inline const QString NothingWritten = QStringLiteral("nulla è stato scritto");
inline const QString Untranslatable =
    QStringLiteral("la formula non si traduce nella forma SQL in questo database");
// %1 how many files change.
inline const QString DryRun =
    QStringLiteral("prova: %1 file cambierebbero una formula; nulla è stato scritto");
inline const QString NothingToDo = QStringLiteral("nessun file cambia una formula: nulla da scrivere");
inline const QString Refused = QStringLiteral(
    "alcune formule non superano il controllo: nulla è stato scritto (--yes le importa comunque)");
inline const QString RefusedUntranslatable =
    QStringLiteral("alcune formule non si traducono: nulla è stato scritto");
// %1 the file, %2 the reason.
inline const QString WriteFailed = QStringLiteral("scrittura non riuscita (%1): %2; nulla è stato scritto");
// %1 how many formulas were written.
inline const QString Imported =
    QStringLiteral("formule importate: %1, ciascuna come nuova versione \"import\"");

} // namespace formule_cli::exporting::text
