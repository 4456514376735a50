#include "tds/RpcBatch.h"

#include <QRegularExpression>

namespace tds {

namespace {

struct Declared {
    QString name;
    QString type;
};

// Splits the declarations at the commas outside parentheses and quotes.
std::optional<QList<Declared>> readDeclarations(const QString& text, QString& error) {
    QList<Declared> out;
    QStringList parts;
    int depth = 0;
    bool quoted = false;
    QString current;
    for (const QChar c : text) {
        if (c == u'\'')
            quoted = !quoted;
        else if (!quoted && c == u'(')
            ++depth;
        else if (!quoted && c == u')')
            --depth;
        if (!quoted && depth == 0 && c == u',') {
            parts << current;
            current.clear();
            continue;
        }
        current.append(c);
    }
    if (!current.trimmed().isEmpty())
        parts << current;
    static const QRegularExpression one(
        QStringLiteral("^\\s*(@[\\w@#$]+)\\s+(?:AS\\s+)?(.+?)(?:\\s+(?:OUTPUT|OUT|READONLY))?\\s*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption |
            QRegularExpression::UseUnicodePropertiesOption);
    for (const QString& part : parts) {
        const auto m = one.match(part);
        if (!m.hasMatch()) {
            error = QStringLiteral("The parameter declaration \"%1\" cannot be read.").arg(part.trimmed());
            return std::nullopt;
        }
        out.append(Declared{m.captured(1), m.captured(2).simplified()});
    }
    return out;
}

} // namespace

std::optional<BoundBatch> bindParameters(const QString& declarations, const QString& statement,
                                         const QList<RpcParameter>& values, qsizetype first, QString& error) {
    const auto declared = readDeclarations(declarations, error);
    if (!declared)
        return std::nullopt;
    QStringList literals(declared->size(), QStringLiteral("NULL"));
    for (qsizetype i = first; i < values.size(); ++i) {
        const RpcParameter& v = values.at(i);
        qsizetype index = i - first;
        if (!v.name.isEmpty()) {
            index = -1;
            for (qsizetype d = 0; d < declared->size(); ++d) {
                if (declared->at(d).name.compare(v.name, Qt::CaseInsensitive) == 0)
                    index = d;
            }
        }
        if (index < 0 || index >= declared->size()) {
            error = QStringLiteral("%1 is not a parameter for this statement.")
                        .arg(v.name.isEmpty() ? QStringLiteral("Parameter %1").arg(i - first + 1) : v.name);
            return std::nullopt;
        }
        literals[index] = v.literal;
    }
    BoundBatch out;
    if (declared->isEmpty()) {
        out.text = statement;
        return out;
    }
    QStringList items;
    for (qsizetype d = 0; d < declared->size(); ++d)
        items << declared->at(d).name + u' ' + declared->at(d).type + QStringLiteral(" = ") + literals.at(d);
    const QString prefix =
        QStringLiteral("DECLARE ") + items.join(QStringLiteral(", ")) + QStringLiteral("; ");
    out.prefixLines = int(prefix.count(u'\n'));
    out.text = prefix + statement;
    return out;
}

namespace {

// The catalogue procedure a name calls (sp_tables, sys.sp_columns, master.dbo.sp_help), as the
// engine spells it; null for another name.
const char* catalogProcedure(const QString& procName) {
    static const char* const names[] = {"sp_tables", "sp_columns", "sp_help"};
    const QString name = procName.mid(procName.lastIndexOf(u'.') + 1);
    for (const char* n : names)
        if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
            return n;
    return nullptr;
}

} // namespace

std::optional<QString> catalogProcedureBatch(const RpcCall& call, QString& error) {
    QStringList arguments;
    for (const RpcParameter& p : call.parameters) {
        // A parameter's name is the client's text: only a plain one is written into the batch.
        static const QRegularExpression plain(QStringLiteral("^@[A-Za-z_][A-Za-z0-9_]{0,127}$"));
        if (!p.name.isEmpty() && !plain.match(p.name).hasMatch()) {
            error = QStringLiteral("The parameter name \"%1\" cannot be read.").arg(p.name.left(128));
            return std::nullopt;
        }
        arguments << (p.name.isEmpty() ? QString() : p.name + QStringLiteral(" = ")) + p.literal;
    }
    return QStringLiteral("EXEC %1 %2")
        .arg(QLatin1String(catalogProcedure(call.procName)), arguments.join(QStringLiteral(", ")));
}

Procedure procedureOf(const RpcCall& call) {
    if (call.procName.isEmpty()) {
        switch (call.procId) {
        case 10:
            return Procedure::ExecuteSql;
        case 11:
            return Procedure::Prepare;
        case 12:
            return Procedure::Execute;
        case 13:
            return Procedure::PrepExec;
        case 15:
            return Procedure::Unprepare;
        default:
            return Procedure::Unknown;
        }
    }
    QString name = call.procName.toLower();
    if (name.startsWith(QLatin1String("sys.")))
        name = name.mid(4);
    if (name == QLatin1String("sp_executesql"))
        return Procedure::ExecuteSql;
    if (name == QLatin1String("sp_prepare"))
        return Procedure::Prepare;
    if (name == QLatin1String("sp_execute"))
        return Procedure::Execute;
    if (name == QLatin1String("sp_prepexec"))
        return Procedure::PrepExec;
    if (name == QLatin1String("sp_unprepare"))
        return Procedure::Unprepare;
    if (catalogProcedure(call.procName))
        return Procedure::Catalog;
    return Procedure::Unknown;
}

} // namespace tds
