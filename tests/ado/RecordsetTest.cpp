#include "ado/Ado.h"

#include <gtest/gtest.h>

#include <functional>

using ado::Recordset;
using core::Variant;

namespace {

qint32 errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const core::ComError& e) {
        return e.number();
    }
    return 0;
}

core::RowSet rows(int count) {
    core::RowSet rs;
    rs.columns = {QStringLiteral("ID"), QStringLiteral("Formula")};
    for (int i = 1; i <= count; ++i)
        rs.rows.append({Variant::fromInt32(i), Variant::fromString(QStringLiteral("f%1").arg(i))});
    return rs;
}

} // namespace

TEST(Recordset, EmptyIsAtBofAndEof) {
    Recordset rs(rows(0));
    EXPECT_TRUE(rs.IsOpen());
    EXPECT_TRUE(rs.IsBOF());
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_EQ(rs.RecordCount(), 0);
    EXPECT_EQ(rs.GetFields().Count(), 2);
    EXPECT_EQ(errorOf([&] { rs.MoveNext(); }), core::err::AdoBofEof);
    EXPECT_EQ(errorOf([&] { rs.MoveLast(); }), core::err::AdoBofEof);
    EXPECT_EQ(errorOf([&] { rs.MoveFirst(); }), core::err::AdoBofEof);
    EXPECT_EQ(errorOf([&] { (void)rs.GetFields().Item(0); }), core::err::AdoBofEof);
    EXPECT_EQ(errorOf([&] { (void)rs[QStringLiteral("ID")]; }), core::err::AdoBofEof);
}

TEST(Recordset, OneRowThenEofThenError) {
    Recordset rs(rows(1));
    EXPECT_FALSE(rs.IsBOF());
    EXPECT_FALSE(rs.IsEOF());
    EXPECT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs[QStringLiteral("ID")].Value().toInt32(), 1);
    rs.MoveNext();
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_FALSE(rs.IsBOF());
    EXPECT_EQ(errorOf([&] { rs.MoveNext(); }), core::err::AdoBofEof);
    EXPECT_EQ(errorOf([&] { (void)rs[QStringLiteral("ID")]; }), core::err::AdoBofEof);
    rs.MoveLast();
    EXPECT_FALSE(rs.IsEOF());
    EXPECT_EQ(rs[QStringLiteral("Formula")].Value().toString(), QStringLiteral("f1"));
}

TEST(Recordset, ManyRowsReadForwardAndMoveLast) {
    for (int count : {2, 3, 10}) {
        Recordset rs(rows(count));
        EXPECT_EQ(rs.RecordCount(), count);
        QStringList seen;
        while (!rs.IsEOF()) {
            seen << rs.GetFields().Item(1).Value().toString();
            rs.MoveNext();
        }
        EXPECT_EQ(seen.size(), count);
        EXPECT_EQ(seen.last(), QStringLiteral("f%1").arg(count));
        EXPECT_EQ(rs.RecordCount(), count); // still known at EOF
        rs.MoveLast();
        EXPECT_EQ(rs.position(), count - 1);
        EXPECT_EQ(rs[QStringLiteral("ID")].Value().toInt32(), count);
        rs.MoveFirst();
        EXPECT_EQ(rs[QStringLiteral("ID")].Value().toInt32(), 1);
        rs.MoveLast();
        rs.MoveNext();
        EXPECT_TRUE(rs.IsEOF());
        EXPECT_EQ(errorOf([&] { rs.MoveNext(); }), core::err::AdoBofEof);
    }
}

TEST(Recordset, FieldsByNameIgnoreCaseAndByIndex) {
    Recordset rs(rows(1));
    const ado::Fields f = rs.GetFields();
    for (const char* name : {"FORMULA", "formula", "Formula", "fOrMuLa"}) {
        const ado::Field field = f.Item(QString::fromLatin1(name));
        EXPECT_EQ(field.Name(), QStringLiteral("Formula")) << name;
        EXPECT_EQ(field.Value().toString(), QStringLiteral("f1"));
    }
    EXPECT_EQ(f.Item(0).Name(), QStringLiteral("ID"));
    EXPECT_EQ(f.Item(1).Name(), QStringLiteral("Formula"));
    EXPECT_EQ(errorOf([&] { (void)f.Item(2); }), core::err::AdoItemNotFound);
    EXPECT_EQ(errorOf([&] { (void)f.Item(-1); }), core::err::AdoItemNotFound);
    EXPECT_EQ(errorOf([&] { (void)f.Item(QStringLiteral("FORMUL")); }), core::err::AdoItemNotFound);
    EXPECT_EQ(errorOf([&] { (void)f.Item(QStringLiteral("Formula ")); }), core::err::AdoItemNotFound);
}

TEST(Recordset, NullStaysNull) {
    core::RowSet data;
    data.columns = {QStringLiteral("A"), QStringLiteral("B")};
    data.rows.append({Variant::null(), Variant::fromString(QString())});
    Recordset rs(data);
    EXPECT_TRUE(rs[QStringLiteral("a")].Value().isNull());
    EXPECT_FALSE(rs[QStringLiteral("b")].Value().isNull());
}

TEST(Recordset, ClosedRecordsetRaises3704) {
    Recordset closed;
    EXPECT_FALSE(closed.IsOpen());
    EXPECT_EQ(closed.RecordCount(), -1);
    EXPECT_EQ(errorOf([&] { (void)closed.IsBOF(); }), core::err::AdoOperationNotAllowed);
    EXPECT_EQ(errorOf([&] { (void)closed.IsEOF(); }), core::err::AdoOperationNotAllowed);
    EXPECT_EQ(errorOf([&] { closed.MoveNext(); }), core::err::AdoOperationNotAllowed);
    EXPECT_EQ(errorOf([&] { (void)closed.GetFields().Count(); }), core::err::AdoOperationNotAllowed);
    EXPECT_EQ(errorOf([&] { closed.Close(); }), core::err::AdoOperationNotAllowed);

    Recordset rs(rows(3));
    rs.Close();
    EXPECT_EQ(rs.RecordCount(), -1);
    EXPECT_EQ(errorOf([&] { (void)rs.IsEOF(); }), core::err::AdoOperationNotAllowed);
}

TEST(Errors, ItemOutOfRangeRaises3265) {
    ado::Errors errors;
    EXPECT_EQ(errors.Count(), 0);
    EXPECT_EQ(errorOf([&] { (void)errors.Item(0); }), core::err::AdoItemNotFound);
    ado::Error e;
    e.description = QStringLiteral("x");
    errors.Append(e);
    EXPECT_EQ(errors.Item(0).description, QStringLiteral("x"));
    EXPECT_EQ(errorOf([&] { (void)errors.Item(1); }), core::err::AdoItemNotFound);
    errors.Clear();
    EXPECT_EQ(errors.Count(), 0);
}
