// The values of date texts and functions under the batch's date settings: what CONVERT writes in
// a style, how a text is read under SET DATEFORMAT and SET LANGUAGE, and the answers of
// ISNUMERIC, ISDATE and OBJECT_ID (the corpus checks verdicts only).

#include "tsql/Session.h"

#include "TestDb.h"

#include <QSqlQuery>

#include <gtest/gtest.h>

namespace {

struct ValueCase {
    const char* sql;
    const char* result; // cells joined with '|'
};

const ValueCase kValues[] = {
    {"SELECT CONVERT(VARCHAR(10), CAST('2024-01-31' AS DATETIME), 103)", "31/01/2024"},
    {"SELECT CONVERT(VARCHAR(10), CAST('2024-01-31' AS DATETIME), 104)", "31.01.2024"},
    {"SELECT CONVERT(VARCHAR(10), CAST('2024-01-31' AS DATETIME), 3)", "31/01/24"},
    {"SELECT CONVERT(VARCHAR(8), CAST('2024-01-31' AS DATETIME), 112)", "20240131"},
    {"SELECT CONVERT(VARCHAR(20), CAST('2024-01-31 13:05:09' AS DATETIME), 120)", "2024-01-31 13:05:09"},
    {"SELECT CONVERT(VARCHAR(20), CAST('2024-01-31' AS DATETIME), 106)", "31 Jan 2024"},
    {"SELECT CONVERT(VARCHAR(20), CAST('2024-01-31 13:05:09' AS DATETIME), 108)", "13:05:09"},
    {"SELECT CAST(CAST('2024-01-31 13:05:09' AS DATETIME) AS VARCHAR(30))", "Jan 31 2024  1:05PM"},
    {"SELECT CAST(CAST('2024-01-31 13:05:09' AS DATETIME2) AS VARCHAR(30))", "2024-01-31 13:05:09.0000000"},
    {"SELECT CAST(CAST('' AS DATETIME) AS VARCHAR(30))", "Jan  1 1900 12:00AM"},
    {"SELECT CONVERT(VARCHAR(10), CONVERT(DATETIME, '05/04/2024', 101), 112)", "20240504"},
    {"SELECT CONVERT(VARCHAR(10), CONVERT(DATETIME, '05/04/2024', 103), 112)", "20240405"},
    {"SET DATEFORMAT dmy SELECT CONVERT(VARCHAR(10), CAST('05/04/2024' AS DATETIME), 112)", "20240405"},
    {"SET DATEFORMAT dmy SELECT CONVERT(VARCHAR(10), CAST('2024-05-04' AS DATETIME), 112)", "20240405"},
    {"SET DATEFORMAT dmy SELECT CONVERT(VARCHAR(10), CAST('2024-05-04' AS DATE), 112)", "20240504"},
    {"SET DATEFORMAT ymd SELECT CONVERT(VARCHAR(10), CAST('24/05/04' AS DATETIME), 112)", "20240504"},
    {"SELECT CONVERT(VARCHAR(10), CAST('5/4/49' AS DATETIME), 112), YEAR(CAST('5/4/50' AS DATETIME))",
     "20490504|1950"},
    {"SELECT CONVERT(VARCHAR(10), CAST('April 5, 2024' AS DATETIME), 112)", "20240405"},
    {"SELECT DATEPART(hour, CAST('2024-01-31 12:30AM' AS DATETIME))", "0"},
    {"SET LANGUAGE Italiano SELECT DATENAME(month, '20240131'), DATENAME(weekday, '20240131'), @@DATEFIRST",
     "gennaio|mercoledì|1"},
    {"SET LANGUAGE Deutsch SELECT CONVERT(VARCHAR(10), CAST('3 März 2024' AS DATETIME), 112), @@LANGUAGE",
     "20240303|Deutsch"},
    {"SET LANGUAGE Français SELECT CONVERT(VARCHAR(10), CAST('04/03/2024' AS DATETIME), 112)", "20240304"},
    {"SET LANGUAGE British SELECT CONVERT(VARCHAR(10), CAST('04/03/2024' AS DATETIME), 112), @@LANGUAGE",
     "20240304|British"},
    {"SELECT @@LANGUAGE, @@DATEFIRST, DATEPART(weekday, '20240101')", "us_english|7|2"},
    {"SET DATEFIRST 1 SELECT DATEPART(weekday, '20240107'), DATEDIFF(week, '20240106', '20240107')", "7|1"},
    {"SELECT ISNUMERIC('1e5'), ISNUMERIC('$'), ISNUMERIC('.'), ISNUMERIC('+'), ISNUMERIC('-'), "
     "ISNUMERIC('1d2'), "
     "ISNUMERIC('$1,000')",
     "1|1|1|1|1|1|1"},
    {"SELECT ISNUMERIC(''), ISNUMERIC('abc'), ISNUMERIC(NULL), ISNUMERIC('1e'), ISNUMERIC('$1e5'), "
     "ISNUMERIC('1 2')",
     "0|0|0|0|0|0"},
    {"SELECT ISDATE('2024-01-31'), ISDATE('1000-01-01'), ISDATE('2024-02-30'), ISDATE(NULL), ISDATE('')",
     "1|0|0|0|0"},
    {"SELECT CHOOSE(2, 'a', 'b'), CHOOSE(3, 'a', 'b'), CHOOSE(1.9, 'a', 'b')", "b|<NULL>|a"},
    {"SELECT OBJECT_ID('CM01_CATEGORIECOMM') - OBJECT_ID('[dbo].[cm01_categoriecomm]', 'U'), "
     "OBJECT_ID('#t'), OBJECT_ID('other.CM01_CATEGORIECOMM')",
     "0|<NULL>|<NULL>"},
    {"SELECT TRY_CONVERT(INT, 'x'), TRY_CAST('31/01/2024' AS DATETIME), TRY_CONVERT(DATETIME, '2024', NULL)",
     "<NULL>|<NULL>|<NULL>"},
    {"SELECT CONVERT(VARCHAR(10), DATEADD(year, -500, CAST('2024-01-31' AS DATE)), 23)", "1524-01-31"},
    {"SET DATEFORMAT dmy SELECT TOP 1 CONVERT(VARCHAR(10), CAST('2024-01-31 10:00' AS DATETIME2), 112), "
     "ISDATE(CM01_CODICE), OBJECT_ID(CM01_CODICE) FROM CM01_CATEGORIECOMM",
     "20240131|0|<NULL>"},
};

// The first row of the last result set, cells joined with '|'.
QString cells(const tsql::RunResult& r) {
    return tsqltest::rowTexts(r, tsqltest::kLastSet).value(0);
}

TEST(DateValues, TextsAndFunctionsGiveTheServersValues) {
    QSqlDatabase db = tsqltest::makeDb();
    tsql::Session session(db);
    for (const ValueCase& c : kValues) {
        const tsql::RunResult r = session.run(QString::fromUtf8(c.sql));
        ASSERT_FALSE(r.error.has_value()) << c.sql << " -> " << r.error->message.toStdString();
        EXPECT_EQ(cells(r), QString::fromUtf8(c.result)) << c.sql;
    }
}

// The settings a batch makes end with it: the next batch reads and writes dates in us_english.
TEST(DateValues, SettingsEndWithTheBatch) {
    QSqlDatabase db = tsqltest::makeDb();
    tsql::Session session(db);
    ASSERT_FALSE(session.run(QStringLiteral("SET LANGUAGE Italiano SET DATEFIRST 3")).error.has_value());
    const tsql::RunResult r =
        session.run(QStringLiteral("SELECT @@LANGUAGE, @@DATEFIRST, DATENAME(month, '20240131')"));
    ASSERT_FALSE(r.error.has_value());
    EXPECT_EQ(cells(r), QStringLiteral("us_english|7|January"));
}

// A date column keeps its text as yyyy-mm-dd hh:mi:ss.mmm: it reads back alike under any
// DATEFORMAT.
TEST(DateValues, DateColumnsReadAlikeUnderAnyDateformat) {
    QSqlDatabase db = tsqltest::makeDb();
    QSqlQuery(db).exec(QStringLiteral("CREATE TABLE DATED (D DATETIME)"));
    QSqlQuery(db).exec(QStringLiteral("INSERT INTO DATED VALUES ('2024-01-12 10:00:00.000')"));
    tsql::Session session(db);
    const tsql::RunResult r = session.run(QStringLiteral("SET DATEFORMAT dmy SELECT D FROM DATED"));
    ASSERT_FALSE(r.error.has_value()) << r.error->message.toStdString();
    EXPECT_EQ(cells(r), QStringLiteral("Jan 12 2024 10:00AM"));
}

// Each error of the settings carries the server's text.
TEST(DateValues, SettingErrorsCarryTheServersTexts) {
    QSqlDatabase db = tsqltest::makeDb();
    tsql::Session session(db);
    const std::pair<const char*, const char*> cases[] = {
        {"SET DATEFORMAT qqq", "SET DATEFORMAT date order 'qqq' is invalid."},
        {"SET LANGUAGE Klingon", "SET LANGUAGE failed because 'Klingon' is not an official language name or "
                                 "a language alias on this SQL "
                                 "Server."},
        {"SELECT CONVERT(VARCHAR(20), GETDATE(), 99)",
         "99 is not a valid style number when converting from datetime to a character string."},
        {"SELECT CAST('1700-01-01' AS DATETIME)",
         "The conversion of a varchar data type to a datetime data type resulted in an out-of-range value."},
    };
    for (const auto& [sql, message] : cases) {
        const tsql::RunResult r = session.run(QString::fromUtf8(sql));
        ASSERT_TRUE(r.error.has_value()) << sql;
        EXPECT_EQ(r.error->message, QString::fromUtf8(message)) << sql;
    }
}

} // namespace
