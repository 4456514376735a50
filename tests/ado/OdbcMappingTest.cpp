#include "ado/Ado.h"
#include "ado/Backends.h"

#include <gtest/gtest.h>

using ado::ConnectionString;

namespace {

struct MappingCase {
    const char* connectionString;
    const char* odbc;
};

struct ErrorCase {
    const char* connectionString;
    const char* message;
};

} // namespace

TEST(OdbcMapping, MapsSqlServerKeysToFreeTds) {
    const MappingCase cases[] = {
        {"Provider=MSOLEDBSQL;Data Source=db1;Initial Catalog=ERP;User ID=sa;Password=secret",
         "DRIVER={FreeTDS};SERVER=db1;PORT=1433;DATABASE=ERP;UID=sa;PWD=secret;TDS_Version=7.4;ClientCharset="
         "UTF-8"},
        {"Provider=SQLOLEDB;Data Source=db1,14330;User ID=sa;Password=",
         "DRIVER={FreeTDS};SERVER=db1;PORT=14330;UID=sa;PWD=;TDS_Version=7.4;ClientCharset=UTF-8"},
        {"Provider=MSOLEDBSQL;Server=tcp:10.0.0.5, 1500;Database=ERP;UID=u;PWD=p",
         "DRIVER={FreeTDS};SERVER=10.0.0.5;PORT=1500;DATABASE=ERP;UID=u;PWD=p;TDS_Version=7.4;ClientCharset="
         "UTF-8"},
        {"Provider=MSOLEDBSQL;Data Source=db1\\SQLEXPRESS;Integrated Security=SSPI",
         "DRIVER={FreeTDS};SERVER=db1\\SQLEXPRESS;Trusted_Connection=Yes;TDS_Version=7.4;ClientCharset=UTF-"
         "8"},
        {"Provider=MSOLEDBSQL;Data Source=(local);Integrated Security=false;User ID=sa;Password='a;b}c'",
         "DRIVER={FreeTDS};SERVER=localhost;PORT=1433;UID=sa;PWD={a;b}}c};TDS_Version=7.4;ClientCharset=UTF-"
         "8"},
        {"Provider=MSOLEDBSQL;Data Source=.;Trusted_Connection=yes;Encrypt=Mandatory",
         "DRIVER={FreeTDS};SERVER=localhost;PORT=1433;Trusted_Connection=Yes;Encryption=require;TDS_Version="
         "7.4;"
         "ClientCharset=UTF-8"},
        {"Provider=MSOLEDBSQL;Data Source=h;User ID=sa;Password=\" x\";Encrypt=no",
         "DRIVER={FreeTDS};SERVER=h;PORT=1433;UID=sa;PWD={ x};TDS_Version=7.4;ClientCharset=UTF-8"},
    };
    for (const MappingCase& c : cases) {
        EXPECT_EQ(ado::odbcConnectionString(ConnectionString::parse(QString::fromUtf8(c.connectionString))),
                  QString::fromUtf8(c.odbc))
            << c.connectionString;
    }
}

TEST(OdbcMapping, MissingOrMalformedKeysAreNamed) {
    const ErrorCase cases[] = {
        {"Provider=MSOLEDBSQL;User ID=sa",
         "Provider=MSOLEDBSQL needs the Data Source key (the server: host or host,port)"},
        {"Provider=SQLOLEDB;Data Source=db1",
         "Provider=SQLOLEDB needs the User ID key (or Integrated Security=SSPI)"},
        {"Provider=MSOLEDBSQL;Data Source=db1,abc;User ID=sa",
         "Data Source \"db1,abc\": the port after ',' is not a number from 1 to 65535 (key Data Source)"},
        {"Provider=MSOLEDBSQL;Data Source=db1,70000;User ID=sa",
         "Data Source \"db1,70000\": the port after ',' is not a number from 1 to 65535 (key Data Source)"},
        {"Provider=MSOLEDBSQL;Data Source=,1433;User ID=sa",
         "Data Source \",1433\" names no host (key Data Source)"},
        {"Provider=MSOLEDBSQL;Data Source=db1;Integrated Security=maybe",
         "Integrated Security \"maybe\" is not one of SSPI, True, Yes, False, No (key Integrated Security)"},
        {"Provider=MSOLEDBSQL;Data Source=db1;User ID=sa;Encrypt=perhaps",
         "Encrypt \"perhaps\" is not one of Yes, No, True, False, Mandatory, Optional, Strict (key Encrypt)"},
    };
    for (const ErrorCase& c : cases) {
        try {
            ado::odbcConnectionString(ConnectionString::parse(QString::fromUtf8(c.connectionString)));
            ADD_FAILURE() << "no error for " << c.connectionString;
        } catch (const core::ComError& e) {
            EXPECT_EQ(e.number(), core::err::ConnectionFailed);
            EXPECT_EQ(e.description(), QString::fromUtf8(c.message)) << c.connectionString;
        }
    }
}

TEST(OdbcMapping, DiagnosticTextSplitsIntoErrors) {
    const QList<ado::Error> errors = ado::parseDiagnosticText(
        QStringLiteral(
            "[FreeTDS][SQL Server]Login failed for user 'sa'. [FreeTDS][SQL Server]Unable to connect "
            "to data source"),
        QStringLiteral("28000"), 18456);
    ASSERT_EQ(errors.size(), 2);
    EXPECT_EQ(errors.at(0).source, QStringLiteral("[FreeTDS][SQL Server]"));
    EXPECT_EQ(errors.at(0).description, QStringLiteral("Login failed for user 'sa'."));
    EXPECT_EQ(errors.at(0).nativeError, 0);
    EXPECT_EQ(errors.at(1).description, QStringLiteral("Unable to connect to data source"));
    EXPECT_EQ(errors.at(1).nativeError, 18456);
    EXPECT_EQ(errors.at(1).sqlState, QStringLiteral("28000"));
    EXPECT_EQ(errors.at(1).number, core::err::ProviderError);

    // A bracketed label inside the message is no prefix.
    const QList<ado::Error> one = ado::parseDiagnosticText(
        QStringLiteral("[FreeTDS][SQL Server]Invalid column name 'x [Prezzo lordo]'."), {}, 207);
    ASSERT_EQ(one.size(), 1);
    EXPECT_EQ(one.at(0).description, QStringLiteral("Invalid column name 'x [Prezzo lordo]'."));
    EXPECT_EQ(one.at(0).nativeError, 207);

    const QList<ado::Error> plain = ado::parseDiagnosticText(QStringLiteral("driver not loaded"));
    ASSERT_EQ(plain.size(), 1);
    EXPECT_EQ(plain.at(0).description, QStringLiteral("driver not loaded"));
    EXPECT_TRUE(ado::parseDiagnosticText(QStringLiteral("  ")).isEmpty());
}

TEST(OdbcMapping, UnreachableServerFailsToOpenNamingDataSource) {
    ado::Connection conn;
    try {
        conn.Open(QStringLiteral(
            "Provider=MSOLEDBSQL;Data Source=127.0.0.1,1;User ID=sa;Password=x;Connect Timeout=5"));
        ADD_FAILURE() << "connected to port 1";
    } catch (const core::ComError& e) {
        EXPECT_EQ(e.number(), core::err::ConnectionFailed);
        EXPECT_TRUE(e.description().startsWith(
            QStringLiteral("Cannot connect to SQL Server \"127.0.0.1,1\" (key Data Source): ")))
            << e.description().toStdString();
    }
    EXPECT_EQ(conn.State(), 0);
    EXPECT_GE(conn.GetErrors().Count(), 1);
}

TEST(OdbcMapping, DriverValuesBecomeVariants) {
    using ado::detail::fromSqlValue;
    EXPECT_TRUE(fromSqlValue(QVariant(), QMetaType::Int).isNull());
    EXPECT_TRUE(fromSqlValue(QVariant(QMetaType(QMetaType::QString)), QMetaType::QString).isNull());
    EXPECT_EQ(fromSqlValue(QVariant(42), QMetaType::Int), core::Variant::fromInt32(42));
    EXPECT_EQ(fromSqlValue(QVariant(qlonglong(7)), QMetaType::LongLong), core::Variant::fromInt32(7));
    EXPECT_EQ(fromSqlValue(QVariant(qlonglong(5000000000LL)), QMetaType::LongLong),
              core::Variant::fromInt64(5000000000LL));
    EXPECT_EQ(fromSqlValue(QVariant(true), QMetaType::Bool), core::Variant::fromBool(true));
    EXPECT_EQ(fromSqlValue(QVariant(QStringLiteral("abc ")), QMetaType::QString),
              core::Variant::fromString(QStringLiteral("abc ")));
    // Exact numerics arrive as text and keep their scale.
    const core::Variant dec = fromSqlValue(QVariant(QStringLiteral("12.50")), QMetaType::Double);
    ASSERT_EQ(dec.type(), core::VarType::Decimal);
    EXPECT_EQ(dec.toDecimal().toString(), QStringLiteral("12.50"));
    const core::Variant big =
        fromSqlValue(QVariant(QStringLiteral("-1234567890123456789.123456789")), QMetaType::Double);
    ASSERT_EQ(big.type(), core::VarType::Decimal);
    EXPECT_EQ(big.toDecimal().toString(), QStringLiteral("-1234567890123456789.123456789"));
    // Approximate numerics in exponent form stay doubles.
    const core::Variant dbl = fromSqlValue(QVariant(QStringLiteral("1.5E3")), QMetaType::Double);
    ASSERT_EQ(dbl.type(), core::VarType::Double);
    EXPECT_EQ(dbl.toDouble(), 1500.0);
    EXPECT_EQ(fromSqlValue(QVariant(2.25), QMetaType::Double), core::Variant::fromDouble(2.25));
}
