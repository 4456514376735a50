#include "editing/FormulaFiles.h"

#include "editing/FormulaHistory.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <climits>

namespace editing::formulafiles {

namespace {

const QString Magic = QStringLiteral("-- formule export 1");
const QString ManifestHeader = QStringLiteral("context\tid\tfile\tversion\thash");

QString tr(const FilesTranslateFn& translate, const QString& text) {
    return translate ? translate(text) : text;
}

// A whole number of at most 18 digits, nothing else.
std::optional<qint64> wholeNumber(const QString& text) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,18}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    return text.toLongLong();
}

bool validHash(const QString& text) {
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
    return hex.match(text).hasMatch();
}

// The value of the header line "-- KEY: value", or nullopt when the line is not that key's.
std::optional<QString> keyValue(const QString& line, const QString& key) {
    const QString prefix = QStringLiteral("-- ") + key + QStringLiteral(": ");
    if (!line.startsWith(prefix))
        return std::nullopt;
    return line.mid(prefix.size());
}

} // namespace

QString safeName(const QString& description) {
    // Accents dropped: the canonical decomposition splits "à" into "a" and its combining mark.
    const QString decomposed = description.normalized(QString::NormalizationForm_D);
    QString name;
    bool gap = false;
    for (QChar c : decomposed) {
        if (c.category() == QChar::Mark_NonSpacing)
            continue;
        const char16_t u = c.unicode();
        const bool kept = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') ||
                          u == u'-' || u == u'_';
        if (!kept) {
            gap = true;
            continue;
        }
        if (gap && !name.isEmpty())
            name += u'_';
        gap = false;
        name += c;
        if (name.size() > MaxNamePart)
            break;
    }
    name.truncate(MaxNamePart);
    while (name.endsWith(u'_') || name.endsWith(u'-'))
        name.chop(1);
    while (name.startsWith(u'_') || name.startsWith(u'-'))
        name.remove(0, 1);
    return name;
}

QString relativePath(int context, qint64 id, const QString& description) {
    const QString name = safeName(description);
    return QStringLiteral("%1/%2").arg(context).arg(id) + (name.isEmpty() ? QString() : u'-' + name) +
           Extension;
}

QString fileText(const FormulaFileHeader& h, const QString& display) {
    QString text = Magic + u'\n';
    text += QStringLiteral("-- context: %1\n").arg(h.context);
    text += QStringLiteral("-- id: %1\n").arg(h.id);
    text += QStringLiteral("-- version: %1\n").arg(h.version);
    text += QStringLiteral("-- hash: %1\n").arg(h.hash);
    if (h.exactSql)
        text +=
            QStringLiteral("-- sql-base64: ") + QString::fromLatin1(h.exactSql->toUtf8().toBase64()) + u'\n';
    return text + u'\n' + display + u'\n';
}

std::optional<FormulaFile> parseFile(const QString& text, FileProblem* problem,
                                     const FilesTranslateFn& translate) {
    // The header's lines, each found by its line break: a damaged file of any length is read
    // only as far as its header goes.
    qsizetype pos = 0;
    int lineNumber = 0;
    const auto nextLine = [&]() -> std::optional<QString> {
        const qsizetype end = text.indexOf(u'\n', pos);
        if (end < 0)
            return std::nullopt;
        QString line = text.mid(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        return line;
    };
    const auto fail = [&](int line, const QString& message) -> std::optional<FormulaFile> {
        if (problem)
            *problem = {line, message};
        return std::nullopt;
    };
    const std::optional<QString> first = nextLine();
    if (!first || *first != Magic)
        return fail(1, tr(translate, filesmsg::NotFormulaFile));
    FormulaFile file;
    const QStringList keys{QStringLiteral("context"), QStringLiteral("id"), QStringLiteral("version"),
                           QStringLiteral("hash")};
    for (const QString& key : keys) {
        const std::optional<QString> line = nextLine();
        const std::optional<QString> value = line ? keyValue(*line, key) : std::nullopt;
        if (!value)
            return fail(lineNumber + (line ? 0 : 1), tr(translate, filesmsg::MissingKey).arg(key));
        const std::optional<qint64> number = wholeNumber(*value);
        bool ok = true;
        if (key == QLatin1String("context")) {
            ok = number && *number <= 2;
            file.header.context = int(number.value_or(0));
        } else if (key == QLatin1String("id")) {
            ok = number.has_value();
            file.header.id = number.value_or(0);
        } else if (key == QLatin1String("version")) {
            ok = number && *number <= INT_MAX;
            file.header.version = int(number.value_or(0));
        } else {
            ok = validHash(*value);
            file.header.hash = *value;
        }
        if (!ok)
            return fail(lineNumber, tr(translate, filesmsg::BadValue).arg(key));
    }
    std::optional<QString> line = nextLine();
    if (line) {
        if (const std::optional<QString> encoded = keyValue(*line, QStringLiteral("sql-base64"))) {
            const auto decoded =
                QByteArray::fromBase64Encoding(encoded->toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded || encoded->isEmpty())
                return fail(lineNumber, tr(translate, filesmsg::BadValue).arg(QStringLiteral("sql-base64")));
            file.header.exactSql = QString::fromUtf8(*decoded);
            if (formulaHash(file.header.exactSql) != file.header.hash)
                return fail(lineNumber, tr(translate, filesmsg::HashMismatch));
            line = nextLine();
        }
    }
    if (!line || !line->isEmpty())
        return fail(lineNumber + (line ? 0 : 1), tr(translate, filesmsg::NoHeaderEnd));
    file.display = text.mid(pos);
    // The one line break the export writes after the formula.
    if (file.display.endsWith(u'\n'))
        file.display.chop(1);
    return file;
}

QString manifestText(QList<ManifestEntry> entries) {
    std::sort(entries.begin(), entries.end(), [](const ManifestEntry& a, const ManifestEntry& b) {
        return std::pair(a.context, a.id) < std::pair(b.context, b.id);
    });
    QString text = ManifestHeader + u'\n';
    for (const ManifestEntry& e : entries)
        text += QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
                    .arg(e.context)
                    .arg(e.id)
                    .arg(e.file)
                    .arg(e.version)
                    .arg(e.hash);
    return text;
}

std::optional<QList<ManifestEntry>> parseManifest(const QString& text, FileProblem* problem,
                                                  const FilesTranslateFn& translate) {
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    const auto fail = [&](int line) -> std::optional<QList<ManifestEntry>> {
        if (problem)
            *problem = {line, tr(translate, filesmsg::BadManifest)};
        return std::nullopt;
    };
    if (lines.isEmpty() || lines.first() != ManifestHeader)
        return fail(1);
    QList<ManifestEntry> entries;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList f = lines.at(i).split(u'\t');
        const int line = int(i + 1);
        if (f.size() != 5)
            return fail(line);
        const auto context = wholeNumber(f.at(0));
        const auto id = wholeNumber(f.at(1));
        const auto version = wholeNumber(f.at(3));
        // A file of the manifest stays inside the folder: no absolute path, no "..".
        const bool inside = !f.at(2).isEmpty() && !f.at(2).startsWith(u'/') &&
                            !f.at(2).split(u'/').contains(QStringLiteral("..")) && !f.at(2).contains(u'\\');
        if (!context || *context > 2 || !id || !version || *version > INT_MAX || !inside ||
            !validHash(f.at(4)))
            return fail(line);
        entries.append({int(*context), *id, f.at(2), int(*version), f.at(4)});
    }
    return entries;
}

} // namespace editing::formulafiles
