#include "ado/Ado.h"
#include "ado/Setup.h"

#include <gtest/gtest.h>

using ado::ConnectionString;

namespace {

struct ParseCase {
    const char* text;
    QMap<QString, QString> expected;
};

struct ErrorCase {
    const char* text;
    const char* message;
};

} // namespace

TEST(ConnectionString, ParsesKeyValueLists) {
    const ParseCase cases[] = {
        {"Provider=Embedded;Data Source=/tmp/a.sqlite",
         {{"provider", "Embedded"}, {"data source", "/tmp/a.sqlite"}}},
        {"  provider = Embedded ; DATA  SOURCE =  /tmp/b c.sqlite  ;",
         {{"provider", "Embedded"}, {"data source", "/tmp/b c.sqlite"}}},
        {"Provider=Embedded;;Data Source=x;;", {{"provider", "Embedded"}, {"data source", "x"}}},
        {"Data Source=\"/tmp/a;b.sqlite\";Provider=Embedded",
         {{"provider", "Embedded"}, {"data source", "/tmp/a;b.sqlite"}}},
        {"Password='pa;ss''word';User ID=sa", {{"password", "pa;ss'word"}, {"user id", "sa"}}},
        {"Password=\"a\"\"b\" ;X=1", {{"password", "a\"b"}, {"x", "1"}}},
        {"Data Source=first;data source=second", {{"data source", "second"}}},
        {"Extended Properties=a=b=c", {{"extended properties", "a=b=c"}}},
        {"Password=", {{"password", ""}}},
        {"Password=  ' spaced '  ", {{"password", " spaced "}}},
        {"", {}},
        {" ; ; ", {}},
    };
    for (const ParseCase& c : cases) {
        const ConnectionString cs = ConnectionString::parse(QString::fromUtf8(c.text));
        EXPECT_EQ(cs.values(), c.expected) << c.text;
    }
}

TEST(ConnectionString, ValueAndContainsIgnoreCase) {
    const ConnectionString cs = ConnectionString::parse(QStringLiteral("Initial Catalog=DB1;UID=sa"));
    EXPECT_EQ(cs.value(QStringLiteral("INITIAL CATALOG")), QStringLiteral("DB1"));
    EXPECT_TRUE(cs.contains(QStringLiteral("initial  catalog")));
    EXPECT_FALSE(cs.contains(QStringLiteral("Password")));
    EXPECT_EQ(cs.value(QStringLiteral("Password")), QString());
    EXPECT_EQ(cs.firstOf(ado::keys::UserId), QStringLiteral("sa"));
    EXPECT_EQ(cs.keyOf(ado::keys::UserId), QStringLiteral("uid"));
    EXPECT_EQ(cs.firstOf(ado::keys::InitialCatalog), QStringLiteral("DB1"));
}

TEST(ConnectionString, MalformedTextNamesThePart) {
    const ErrorCase cases[] = {
        {"Provider=Embedded;Data Source",
         "Invalid connection string: \"Data Source\" has no '=' after the key"},
        {"Embedded", "Invalid connection string: \"Embedded\" has no '=' after the key"},
        {"Provider;Data Source=x", "Invalid connection string: \"Provider\" has no '=' after the key"},
        {"=Embedded;Data Source=x", "Invalid connection string: \"=Embedded\" has a value but no key"},
        {"Provider=Embedded;Data Source=\"/tmp/a.sqlite",
         "Invalid connection string: the value of \"Data Source\" has no closing \" quote"},
        {"Password='abc", "Invalid connection string: the value of \"Password\" has no closing ' quote"},
        {"Password='abc'def;X=1", "Invalid connection string: text after the closing quote of \"Password\""},
    };
    for (const ErrorCase& c : cases) {
        try {
            ConnectionString::parse(QString::fromUtf8(c.text));
            ADD_FAILURE() << "no error for " << c.text;
        } catch (const core::ComError& e) {
            EXPECT_EQ(e.number(), ado::adoerr::InvalidArgument) << c.text;
            EXPECT_EQ(e.description(), QString::fromUtf8(c.message)) << c.text;
        }
    }
}

TEST(ConnectionString, ProviderKinds) {
    struct Case {
        const char* text;
        ado::ProviderKind kind;
    };
    const Case good[] = {
        {"Provider=Embedded", ado::ProviderKind::Embedded},
        {"Provider=embedded", ado::ProviderKind::Embedded},
        {"Provider=MSOLEDBSQL", ado::ProviderKind::SqlServer},
        {"Provider=MSOLEDBSQL.1", ado::ProviderKind::SqlServer},
        {"Provider=SQLOLEDB", ado::ProviderKind::SqlServer},
        {"Provider=sqloledb.1", ado::ProviderKind::SqlServer},
    };
    for (const Case& c : good)
        EXPECT_EQ(ado::providerKind(ConnectionString::parse(QString::fromUtf8(c.text))), c.kind) << c.text;

    const ErrorCase bad[] = {
        {"Provider=Foo;Data Source=x",
         "Provider \"Foo\" cannot be found (key Provider); use Embedded, MSOLEDBSQL or SQLOLEDB"},
        {"Provider=;Data Source=x",
         "Provider \"\" cannot be found (key Provider); use Embedded, MSOLEDBSQL or SQLOLEDB"},
        {"Data Source=x",
         "The connection string has no Provider key (use Provider=Embedded, MSOLEDBSQL or SQLOLEDB)"},
    };
    for (const ErrorCase& c : bad) {
        try {
            ado::providerKind(ConnectionString::parse(QString::fromUtf8(c.text)));
            ADD_FAILURE() << "no error for " << c.text;
        } catch (const core::ComError& e) {
            EXPECT_EQ(e.number(), core::err::ProviderNotFound) << c.text;
            EXPECT_EQ(e.description(), QString::fromUtf8(c.message)) << c.text;
        }
    }
}

TEST(ConnectionString, EmbeddedPathsRoundTrip) {
    for (const QString& path :
         {QStringLiteral("/tmp/plain.sqlite"), QStringLiteral("/tmp/with space/a.sqlite"),
          QStringLiteral("/tmp/semi;colon.sqlite"), QStringLiteral("/tmp/quote\"d'.sqlite"),
          QStringLiteral(" /tmp/lead.sqlite")}) {
        const ConnectionString cs = ConnectionString::parse(ado::setup::embeddedConnectionString(path));
        EXPECT_EQ(cs.value(QStringLiteral("Data Source")), path) << path.toStdString();
        EXPECT_EQ(ado::providerKind(cs), ado::ProviderKind::Embedded);
    }
}
