// The parsers of the client's messages on whole, truncated and oversized input, and the token
// writer's rows written in parts.

#include "TdsMessageBuilders.h"
#include "tds/Columns.h"
#include "tds/Requests.h"
#include "tds/Tokens.h"
#include "tds/Wire.h"
#include "tsql/Session.h"

#include <gtest/gtest.h>

namespace {

using namespace tds_test;

TEST(TdsReader, ReadsPastTheEndFailOnceAndForAll) {
    const QByteArray three("\x01\x02\x03", 3);
    struct Case {
        const char* what;
        std::function<void(tds::Reader&)> read;
        bool ok;
    };
    const Case cases[] = {
        {"u16 then u8", [](tds::Reader& r) { r.u16(), r.u8(); }, true},
        {"u32", [](tds::Reader& r) { r.u32(); }, false},
        {"bytes(4)", [](tds::Reader& r) { r.bytes(4); }, false},
        {"bytes(-1)", [](tds::Reader& r) { r.bytes(-1); }, false},
        {"ucs2(2) of 3 bytes", [](tds::Reader& r) { r.ucs2(2); }, false},
        {"bVarchar counting 1 char of 2 left", [](tds::Reader& r) { r.bVarchar(); }, true},
        {"u8 after a failure", [](tds::Reader& r) { r.bytes(9), r.u8(); }, false},
    };
    for (const Case& c : cases) {
        tds::Reader r(three);
        c.read(r);
        EXPECT_EQ(r.ok(), c.ok) << c.what;
        if (!c.ok) {
            EXPECT_EQ(r.remaining(), 0) << c.what;
            EXPECT_EQ(r.u8(), 0) << c.what;
        }
    }
}

TEST(TdsWire, Ucs2OfEmptyAndOddInput) {
    EXPECT_TRUE(tds::fromUcs2(QByteArrayView()).isEmpty());
    EXPECT_TRUE(tds::fromUcs2(QByteArrayView("A", 1)).isEmpty());
    EXPECT_EQ(tds::fromUcs2(QByteArrayView("A\0B", 3)), QStringLiteral("A"));
    const QString text = QStringLiteral("è€\U0001F600");
    EXPECT_EQ(tds::fromUcs2(tds::toUcs2(text)), text);
    EXPECT_TRUE(tds::toUcs2(QString()).isEmpty());
}

TEST(TdsPackets, HeaderShorterThanItself) {
    EXPECT_FALSE(tds::parseHeader(QByteArray("\x12\x01\x00\x07\x00\x00\x01\x00", 8)));
    EXPECT_FALSE(tds::parseHeader(QByteArray("\x12\x01\x00", 3)));
    const auto h = tds::parseHeader(QByteArray("\x12\x01\x00\x2f\x00\x00\x01\x00", 8));
    ASSERT_TRUE(h);
    EXPECT_EQ(h->length, 0x2F);
    EXPECT_EQ(h->status, 1);
}

TEST(TdsPreLogin, EveryTruncationIsRefusedAndTheWholeRead) {
    const QByteArray whole = preLogin(quint8(tds::Encryption::Off));
    const auto parsed = tds::parsePreLogin(whole);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->encryption, tds::Encryption::Off);
    // Every prefix cuts an entry or the data an entry points at.
    for (qsizetype n = 0; n < whole.size(); ++n)
        EXPECT_FALSE(tds::parsePreLogin(whole.first(n))) << n << " bytes";
}

TEST(TdsPreLogin, OffsetsAndValuesOutOfRange) {
    struct Case {
        const char* what;
        QByteArray bytes;
        bool ok;
    };
    QByteArray beyond = preLogin(0);
    beyond[2] = char(0x40); // VERSION's offset beyond the message
    QByteArray longLength = preLogin(0);
    longLength[4] = char(0x07); // VERSION's length one past the end
    QByteArray noTerminator(64 * 5 + 5, '\0');
    const Case cases[] = {
        {"encryption 4", preLogin(4), false},
        {"encryption required", preLogin(3), true},
        {"offset beyond", beyond, false},
        {"length beyond", longLength, true}, // 11 + 7 = 18 = the message's size
        {"no terminator within 64 entries", noTerminator, false},
        {"terminator only", QByteArray("\xff", 1), true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tds::parsePreLogin(c.bytes).has_value(), c.ok) << c.what;
}

TEST(TdsLogin7, RoundTripOfItsStrings) {
    const auto login = tds::parseLogin7(
        login7(QStringLiteral("admin\nx"), QStringLiteral("Pa;ss è"), QStringLiteral("e2e")));
    ASSERT_TRUE(login);
    EXPECT_EQ(login->userName, QStringLiteral("admin\nx"));
    EXPECT_EQ(login->password, QStringLiteral("Pa;ss è"));
    EXPECT_EQ(login->database, QStringLiteral("e2e"));
    EXPECT_EQ(login->language, QStringLiteral("us_english"));
    EXPECT_EQ(login->packetSize, 4096u);
    EXPECT_EQ(login->tdsVersion, tds::Tds74);
}

TEST(TdsLogin7, TruncatedAndInconsistentLengths) {
    const QByteArray whole = login7(QStringLiteral("u"), QStringLiteral("p"), QStringLiteral("db"));
    for (qsizetype n = 0; n < whole.size(); ++n)
        EXPECT_FALSE(tds::parseLogin7(whole.first(n))) << n << " bytes";
    struct Case {
        const char* what;
        qsizetype at;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"total length one more", 0, QByteArray("\xff\x00\x00\x00", 4)},
        {"user name's offset beyond", 40, QByteArray("\xff\xff", 2)},
        {"user name's length beyond", 42, QByteArray("\xff\x7f", 2)},
        {"database's length beyond", 68, QByteArray("\x00\x01", 2)},
    };
    for (const Case& c : cases) {
        QByteArray bad = whole;
        bad.replace(c.at, c.bytes.size(), c.bytes);
        EXPECT_FALSE(tds::parseLogin7(bad)) << c.what;
    }
}

TEST(TdsRpc, ParametersReadAsLiterals) {
    const auto calls =
        tds::parseRpc(rpc(nvarcharParam(QStringLiteral("it's")) + intParam(QStringLiteral("@n"), -7)));
    ASSERT_TRUE(calls);
    ASSERT_EQ(calls->size(), 1);
    const tds::RpcCall& call = calls->first();
    EXPECT_EQ(call.procId, 10);
    ASSERT_EQ(call.parameters.size(), 2);
    EXPECT_EQ(call.parameters.at(0).literal, QStringLiteral("N'it''s'"));
    EXPECT_EQ(call.parameters.at(0).text, QStringLiteral("it's"));
    EXPECT_EQ(call.parameters.at(1).name, QStringLiteral("@n"));
    EXPECT_EQ(call.parameters.at(1).literal, QStringLiteral("-7"));
    EXPECT_EQ(call.parameters.at(1).integer, -7);
}

// Every cut of a message with an NVARCHAR parameter: refused, or read as the calls before the cut
// (a cut at a parameter's boundary) -- never a value made of bytes that did not arrive.
TEST(TdsRpc, EveryTruncationOfAParameter) {
    const QByteArray whole = rpc(nvarcharParam(QStringLiteral("abc")) + nvarcharParam(QString()));
    const qsizetype firstEnds = rpc(nvarcharParam(QStringLiteral("abc"))).size();
    for (qsizetype n = 0; n < whole.size(); ++n) {
        const auto calls = tds::parseRpc(whole.first(n));
        const bool boundary = n == 4 || n == 10 || n == firstEnds;
        EXPECT_EQ(calls.has_value(), boundary) << n << " bytes";
    }
}

TEST(TdsRpc, OversizedAndMalformedLengths) {
    struct Case {
        const char* what;
        QByteArray params;
    };
    tds::Writer plp; // NVARCHAR(MAX) whose one chunk claims 4 GB
    plp.bytes(QByteArray("\x00\x00\xe7\xff\xff\x09\x04\xd0\x00\x34", 10));
    plp.u64(~0ULL - 1);
    plp.u32(0xFFFFFFFF);
    tds::Writer plpTotal; // a declared total beyond the bound
    plpTotal.bytes(QByteArray("\x00\x00\xe7\xff\xff\x09\x04\xd0\x00\x34", 10));
    plpTotal.u64(1ULL << 40);
    tds::Writer text; // NTEXT of 4 GB
    text.bytes(QByteArray("\x00\x00\x63\xff\xff\xff\x7f\x09\x04\xd0\x00\x34", 12));
    text.u32(0xFFFFFFF0);
    tds::Writer intn; // INTN of three bytes
    intn.bytes(QByteArray("\x00\x00\x26\x04\x03\x01\x02\x03", 8));
    tds::Writer decimal; // DECIMAL of scale 60
    decimal.bytes(QByteArray("\x00\x00\x6a\x11\x12\x3c\x05\x01\x01\x00\x00\x00", 12));
    tds::Writer unknown; // type 0x99
    unknown.bytes(QByteArray("\x00\x00\x99", 3));
    const Case cases[] = {
        {"PLP chunk of 4 GB", plp.data()},       {"PLP total beyond the bound", plpTotal.data()},
        {"NTEXT of 4 GB", text.data()},          {"INTN of 3 bytes", intn.data()},
        {"DECIMAL of scale 60", decimal.data()}, {"unknown type", unknown.data()},
    };
    for (const Case& c : cases)
        EXPECT_FALSE(tds::parseRpc(rpc(c.params))) << c.what;
    // ALL_HEADERS claiming more than the message holds.
    EXPECT_FALSE(tds::parseRpc(QByteArray("\x40\x00\x00\x00\xff\xff\x0a\x00", 8)));
    EXPECT_FALSE(tds::parseSqlBatch(QByteArray("\x03\x00\x00\x00", 4)));
}

tsql::ResultSet numbers(int rows) {
    tsql::ResultSet rs;
    rs.columns = {QStringLiteral("n"), QStringLiteral("s")};
    rs.types = {tsql::SqlType::of(tsql::TypeId::Int), tsql::SqlType::varchar(20)};
    for (int i = 0; i < rows; ++i)
        rs.rows.push_back({tsql::Value::integer(i), tsql::Value::str(QStringLiteral("row %1").arg(i))});
    return rs;
}

// The rows written in parts make the same bytes as written at once, each part ending with a row.
TEST(TdsTokens, RowsFlushedInPartsMakeTheSameStream) {
    const tsql::ResultSet rs = numbers(20000);
    tds::TokenWriter whole(QStringLiteral("srv"));
    whole.resultSet(rs);
    whole.done(tds::DoneKind::Done, tds::DoneFinal, 0xC1, 20000);
    const QByteArray expected = whole.take();

    tds::TokenWriter parts(QStringLiteral("srv"));
    QByteArray streamed;
    int flushes = 0;
    parts.setFlush([&] {
        const QByteArray part = parts.take();
        EXPECT_GE(part.size(), tds::TokenWriter::FlushBytes);
        EXPECT_LT(part.size(), tds::TokenWriter::FlushBytes + 64);
        streamed += part;
        ++flushes;
        return true;
    });
    parts.resultSet(rs);
    parts.done(tds::DoneKind::Done, tds::DoneFinal, 0xC1, 20000);
    streamed += parts.take();
    EXPECT_GT(flushes, 5);
    EXPECT_EQ(streamed, expected);
}

TEST(TdsTokens, AFlushThatFailsStopsTheRows) {
    tds::TokenWriter tw(QStringLiteral("srv"));
    qsizetype written = 0;
    tw.setFlush([&] {
        written += tw.take().size();
        return false;
    });
    tw.resultSet(numbers(20000));
    tw.resultSet(numbers(20000));
    written += tw.take().size();
    EXPECT_LT(written, 2 * tds::TokenWriter::FlushBytes);
}

} // namespace

namespace {

// A time column travels as TIMENTYPE (0x29): its scale in the type, then 3, 4 or 5 bytes of
// units of 10^-scale seconds, least significant first.
TEST(TdsColumns, TimeAtEachScaleAndNull) {
    struct Row {
        int scale;
        int length;
        quint64 units;
    };
    // 13:45:12 and its decimals at each scale
    const Row rows[] = {
        {0, 3, 49512}, {2, 3, 4951212}, {3, 4, 49512123}, {4, 4, 495121234}, {7, 5, 495121234567}};
    for (const Row& r : rows) {
        qint64 ticks = qint64(r.units);
        for (int k = r.scale; k < 7; ++k)
            ticks *= 10;
        tsql::ResultSet rs;
        rs.columns << QStringLiteral("t");
        rs.types.push_back(tsql::SqlType::time(r.scale));
        rs.rows.push_back({tsql::Value::time(ticks, r.scale)});
        const auto formats = tds::columnFormats(rs);
        ASSERT_EQ(formats.size(), 1u);
        EXPECT_EQ(formats[0].wire, 0x29);
        EXPECT_EQ(formats[0].scale, r.scale);
        tds::Writer info;
        tds::writeTypeInfo(info, formats[0]);
        EXPECT_EQ(info.data(), QByteArray("\x29", 1) + char(r.scale));
        tds::Writer value;
        tds::writeValue(value, formats[0], rs.rows[0][0]);
        QByteArray expected(1, char(r.length));
        for (int k = 0; k < r.length; ++k)
            expected.append(char((r.units >> (8 * k)) & 0xFF));
        EXPECT_EQ(value.data().toHex(), expected.toHex()) << r.scale;
        tds::Writer null;
        tds::writeValue(null, formats[0], tsql::Value::nullOf(tsql::SqlType::time(r.scale)));
        EXPECT_EQ(null.data(), QByteArray(1, '\0'));
    }
}

} // namespace
