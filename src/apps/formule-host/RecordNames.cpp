#include "RecordNames.h"

namespace demo {

QString contextName(int context, const std::function<QString(const QString&)>& translate) {
    static const char* const names[] = {"Condizioni (provider)", "Listini (quotazioni)",
                                        "Manutenzione listini"};
    if (context < 0 || context > 2)
        return QString::number(context);
    const QString italian = QString::fromUtf8(names[context]);
    return translate ? translate(italian) : italian;
}

QString recordName(int context, qint64 id, const QString& description,
                   const std::function<QString(const QString&)>& translate) {
    QString name = contextName(context, translate) + u' ' + QString::number(id);
    if (!description.trimmed().isEmpty())
        name += QStringLiteral(" - ") + description.trimmed();
    return name;
}

} // namespace demo
