#include "tables/Schema.h"

namespace tables {

const QStringList& tableNames() {
    static const QStringList names = {QStringLiteral("LP01_PROVIDER"),      QStringLiteral("LP07_QUOTAZIONI"),
                                      QStringLiteral("LP17_FORMULEMANUT"),  QStringLiteral("LP14_CAMPI"),
                                      QStringLiteral("CM01_CATEGORIECOMM"), QStringLiteral("MG5F_DIMECONF"),
                                      QStringLiteral("LP30_CASIPROVA"),     QStringLiteral("LP31_VERSIONI")};
    return names;
}

QString sqliteAnyRowStatement(const QString& table) {
    return QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(table);
}

QString sqlServerAnyRowStatement(const QString& table) {
    return QStringLiteral("SELECT TOP 1 1 FROM dbo.%1").arg(table);
}

QString sqlServerTableIdStatement(const QString& table) {
    return QStringLiteral("SELECT OBJECT_ID(N'dbo.%1', N'U')").arg(table);
}

} // namespace tables
