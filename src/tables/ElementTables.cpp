#include "tables/ElementTables.h"

#include "tables/Literals.h"

namespace tables {

QString rootsStatement() {
    return QStringLiteral(" SELECT LP14_INDELEMENTO, LP14_DESCRIZIONE ") +
           QStringLiteral(" FROM  LP14_CAMPI WITH (NOLOCK) ") +
           QStringLiteral(" WHERE LP14_PARENT     IS NULL ") + QStringLiteral("   AND LP14_ISATTIVO   = 1 ") +
           QStringLiteral(" ORDER BY LP14_PROGVISUA ASC ");
}

QString childrenStatement(const core::Variant& rootId) {
    return QStringLiteral(" SELECT LP14_INDELEMENTO, LP14_DESCRIZIONE ") +
           QStringLiteral(" FROM  LP14_CAMPI WITH (NOLOCK) ") + QStringLiteral(" WHERE LP14_PARENT     = ") +
           rootId.toString() + QStringLiteral("   AND LP14_ISATTIVO   = 1 ") +
           QStringLiteral(" ORDER BY LP14_PROGVISUA ASC ");
}

namespace {

// The pieces of the statements that list a company's categories or variants.
struct ListPieces {
    QLatin1StringView columns;
    QLatin1StringView table;
    QLatin1StringView company;
    QLatin1StringView code;
};

const ListPieces& listPieces(CompanyList list) {
    static const ListPieces categories{
        QLatin1StringView(
            " CM01_IDCATEGORIA, RTRIM(CM01_CODICE) + ' - ' + RTRIM(CM01_DESCR) AS DESCRIZIONE "),
        QLatin1StringView("CM01_CATEGORIECOMM"), QLatin1StringView("CM01_DITTA_CG18"),
        QLatin1StringView("CM01_CODICE")};
    static const ListPieces variants{
        QLatin1StringView(
            " MG5F_CODICEVAR, RTRIM(MG5F_CODICEVAR) + ' - ' + RTRIM(MG5F_DESCR_VAR) AS DESCRIZIONE "),
        QLatin1StringView("MG5F_DIMECONF"), QLatin1StringView("MG5F_DITTA_CG18"),
        QLatin1StringView("MG5F_CODICEVAR")};
    return list == CompanyList::Categories ? categories : variants;
}

QString fromAndCompany(const ListPieces& p, const QString& ditta) {
    return QStringLiteral(" FROM  ") + p.table + QStringLiteral(" WITH (NOLOCK) ") +
           QStringLiteral(" WHERE ") + p.company + QStringLiteral(" = ") + ditta;
}

QString orderByCode(const ListPieces& p) {
    return QStringLiteral(" ORDER BY ") + p.code + QStringLiteral(" ASC ");
}

const QString kWhere = QStringLiteral(" WHERE ");

} // namespace

QString listStatement(CompanyList list, const QString& ditta) {
    const ListPieces& p = listPieces(list);
    return QStringLiteral(" SELECT") + p.columns + fromAndCompany(p, ditta) + orderByCode(p);
}

QString categoriesStatement(const QString& ditta) {
    return listStatement(CompanyList::Categories, ditta);
}

QString variantsStatement(const QString& ditta) {
    return listStatement(CompanyList::Variants, ditta);
}

QString listPageStatement(CompanyList list, const QString& ditta, int rows, const QString& afterLiteral) {
    const ListPieces& p = listPieces(list);
    QString statement = QStringLiteral(" SELECT TOP ") + QString::number(rows) + p.columns +
                        QStringLiteral(", ") + p.code + QStringLiteral(" AS CHIAVE ") +
                        fromAndCompany(p, ditta);
    if (!afterLiteral.isEmpty())
        statement += QStringLiteral(" AND ") + p.code + QStringLiteral(" > ") + afterLiteral;
    return statement + orderByCode(p);
}

QString listCountStatement(CompanyList list, const QString& ditta) {
    return QStringLiteral(" SELECT COUNT(*) AS RIGHE ") + fromAndCompany(listPieces(list), ditta);
}

QString categoriesTestStatement(const QString& ditta) {
    return QStringLiteral(" SELECT TOP 1 1 ") + QStringLiteral(" FROM CM01_CATEGORIECOMM WITH (NOLOCK) ") +
           QStringLiteral(" WHERE CM01_DITTA_CG18 = ") + ditta;
}

QString categoryIdStatement(const QString& code) {
    return QStringLiteral("SELECT CM01_IDCATEGORIA ") + QStringLiteral(" FROM CM01_CATEGORIECOMM") + kWhere +
           QStringLiteral(" CM01_CODICE =") + sqlLiteral(code);
}

QString categoryDataTypeStatement(const QString& idText) {
    return QStringLiteral(" SELECT CM01_INDTIPODATO ") + QStringLiteral(" FROM CM01_CATEGORIECOMM ") +
           QStringLiteral(" WHERE CM01_IDCATEGORIA = ") + idText;
}

QString categoryLabelStatement(const QString& idText) {
    qsizetype end = idText.size();
    while (end > 0 && idText.at(end - 1) == u' ')
        --end;
    return QStringLiteral("SELECT RTRIM(CM01_CODICE) + ' - ' + RTRIM(CM01_DESCR)") +
           QStringLiteral(" FROM CM01_CATEGORIECOMM") + kWhere + QStringLiteral(" CM01_IDCATEGORIA =") +
           idText.left(end);
}

QString variantLabelStatement(const QString& code) {
    return QStringLiteral("SELECT RTRIM(MG5F_CODICEVAR) + ' - ' + RTRIM(MG5F_DESCR_VAR)") +
           QStringLiteral(" FROM MG5F_DIMECONF") + kWhere + QStringLiteral(" MG5F_CODICEVAR =") +
           sqlLiteral(code);
}

QString categoryCodesInSelect() {
    return QStringLiteral("SELECT CM01_CODICE, CM01_IDCATEGORIA, CM01_INDTIPODATO FROM CM01_CATEGORIECOMM "
                          "WHERE CM01_CODICE");
}

QString categoryLabelsInSelect() {
    return QStringLiteral("SELECT CM01_IDCATEGORIA, NULL, RTRIM(CM01_CODICE) + ' - ' + RTRIM(CM01_DESCR), "
                          "CM01_INDTIPODATO FROM CM01_CATEGORIECOMM WHERE CM01_IDCATEGORIA");
}

QString variantLabelsInSelect() {
    return QStringLiteral(
        "SELECT NULL, MG5F_CODICEVAR, RTRIM(MG5F_CODICEVAR) + ' - ' + RTRIM(MG5F_DESCR_VAR), "
        "NULL FROM MG5F_DIMECONF WHERE MG5F_CODICEVAR");
}

} // namespace tables
