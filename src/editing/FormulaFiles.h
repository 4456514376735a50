#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace editing {

// The texts of the formula files, in Italian; data/translations/history_en.ts holds them in
// English.
namespace filesmsg {
inline const QString NotFormulaFile =
    QStringLiteral("manca la prima riga \"-- formule export 1\": non è un file di formule esportato");
// %1 the key expected.
inline const QString MissingKey = QStringLiteral("l'intestazione non ha la riga \"-- %1: ...\"");
// %1 the key.
inline const QString BadValue = QStringLiteral("il valore di \"%1\" nell'intestazione non è valido");
inline const QString NoHeaderEnd =
    QStringLiteral("l'intestazione non termina con una riga vuota prima della formula");
inline const QString HashMismatch =
    QStringLiteral("la forma SQL dell'intestazione non corrisponde al suo hash");
inline const QString BadManifest = QStringLiteral("riga del manifest non valida");
} // namespace filesmsg

// The header of one formula file: the record, the version it was exported at and the hash of its
// stored SQL form; `exactSql` when the display form does not translate back to that SQL form
// byte for byte (the file then keeps it in base64).
struct FormulaFileHeader {
    int context = 0;
    qint64 id = 0;
    int version = 0;
    QString hash;
    std::optional<QString> exactSql;

    bool operator==(const FormulaFileHeader&) const = default;
};

// A formula file read back: its header and the formula in display form.
struct FormulaFile {
    FormulaFileHeader header;
    QString display;
};

// What is wrong with a file, at its line (from 1).
struct FileProblem {
    int line = 0;
    QString message;
};

// One line of the manifest.
struct ManifestEntry {
    int context = 0;
    qint64 id = 0;
    QString file; // relative to the export folder, '/' separated
    int version = 0;
    QString hash;

    bool operator==(const ManifestEntry&) const = default;
};

using FilesTranslateFn = std::function<QString(const QString&)>; // unset: Italian

// The formula files of an export folder: names, the header, the manifest. Text only: the
// caller reads and writes the files.
namespace formulafiles {

inline const QString ManifestName = QStringLiteral("manifest.tsv");
inline const QString Extension = QStringLiteral(".sql");
// The longest description part of a file name.
inline constexpr qsizetype MaxNamePart = 48;

// A description made safe for a file name: ASCII letters and digits kept, every other run of
// characters one '_' (letters with accents lose them: "Qualità" gives "Qualita"), '_' at both
// ends dropped, cut to MaxNamePart; deterministic.
QString safeName(const QString& description);
// "<context>/<id>-<safe description>.sql" ("<context>/<id>.sql" when nothing of it is left).
QString relativePath(int context, qint64 id, const QString& description);

// The whole file: the header, an empty line, the display form and one line break.
QString fileText(const FormulaFileHeader& header, const QString& display);
// Reads a file back; the problem and its line when the header is damaged.
std::optional<FormulaFile> parseFile(const QString& text, FileProblem* problem,
                                     const FilesTranslateFn& translate = {});

// The manifest: a header row, then one row per file, sorted by context and id.
QString manifestText(QList<ManifestEntry> entries);
std::optional<QList<ManifestEntry>> parseManifest(const QString& text, FileProblem* problem,
                                                  const FilesTranslateFn& translate = {});

} // namespace formulafiles

} // namespace editing
