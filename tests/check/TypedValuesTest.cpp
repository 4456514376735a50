// Values typed for a trial as the user's language writes them: grouped numbers, ambiguous forms
// refused with both readings, dates day first or month first, ISO dates in both languages; the
// texts the test cases keep for them and those texts typed again in either language.

#include "check/TrialRun.h"
#include "check/TrialTexts.h"

#include <gtest/gtest.h>

namespace {

using check::TrialElement;
using check::TrialReading;

constexpr TrialReading It = TrialReading::Italian;
constexpr TrialReading En = TrialReading::English;
constexpr TrialReading Stored = TrialReading::Stored;

TrialElement element(const char* name) {
    return *check::declaredElement(QLatin1String(name));
}

const char* nameOf(TrialReading reading) {
    return reading == It ? "it" : reading == En ? "en" : "stored";
}

struct Typed {
    TrialReading reading;
    const char* variable; // decimal(17,6), decimal(6,3), BIGINT, DATETIME
    const char* text;
    const char* literal; // nullptr: refused
    const char* refusal; // the refusal's text (untranslated), when refused
};

const Typed TypedTable[] = {
    // English numbers: the comma groups thousands, the point separates decimals.
    {En, "@ATTPREZZO", "1,000.50", "1000.500000", nullptr},
    {En, "@ATTPREZZO", "1,000,000", "1000000.000000", nullptr},
    {En, "@ATTPREZZO", "-1,234.5", "-1234.500000", nullptr},
    {En, "@ATTPREZZO", "+1,234,567.25", "1234567.250000", nullptr},
    {En, "@ATTPREZZO", "-12.5", "-12.500000", nullptr},
    {En, "@ATTPREZZO", "1000", "1000.000000", nullptr},
    {En, "@ATTPREZZO", "1.000", "1.000000", nullptr},
    {En, "@ATTPREZZO", "1,000", nullptr,
     "«1,000» è ambiguo: scrivi 1000 se la virgola separa le migliaia, 1.000 se separa i decimali"},
    {En, "@ATTPREZZO", "-12,345", nullptr,
     "«-12,345» è ambiguo: scrivi -12345 se la virgola separa le migliaia, -12.345 se separa i decimali"},
    {En, "@DO30_ID_CO1A", "1,000", nullptr,
     "«1,000» è ambiguo: scrivi 1000 se la virgola separa le migliaia, 1.000 se separa i decimali"},
    {En, "@DO30_ID_CO1A", "1,000,000", "1000000", nullptr},
    {En, "@ATTPREZZO", "12,5", nullptr, "«12,5» non è un numero valido per decimal(17,6)"},
    {En, "@ATTPREZZO", "0,500", nullptr, "«0,500» non è un numero valido per decimal(17,6)"},
    {En, "@ATTPREZZO", "1,00,000", nullptr, "«1,00,000» non è un numero valido per decimal(17,6)"},
    {En, "@ATTPREZZO", "1.000,5", nullptr, "«1.000,5» non è un numero valido per decimal(17,6)"},
    {En, "@ATTPREZZO", "1,0000", nullptr, "«1,0000» non è un numero valido per decimal(17,6)"},
    {En, "@INSC1PERC", "1,000.5", nullptr, "1,000.5 non sta in decimal(6,3)"},
    // Italian numbers: the point groups thousands, the comma separates decimals.
    {It, "@ATTPREZZO", "1.000,50", "1000.500000", nullptr},
    {It, "@ATTPREZZO", "1.000.000", "1000000.000000", nullptr},
    {It, "@ATTPREZZO", "-1.234,5", "-1234.500000", nullptr},
    {It, "@ATTPREZZO", "12,5", "12.500000", nullptr},
    {It, "@ATTPREZZO", "1,000", "1.000000", nullptr},
    {It, "@ATTPREZZO", "-12.5", "-12.500000", nullptr},
    {It, "@ATTPREZZO", "1000", "1000.000000", nullptr},
    {It, "@ATTPREZZO", "1000.500", "1000.500000", nullptr},
    {It, "@ATTPREZZO", "0.500", "0.500000", nullptr},
    {It, "@ATTPREZZO", "1.000", nullptr,
     "«1.000» è ambiguo: scrivi 1000 se il punto separa le migliaia, 1,000 se separa i decimali"},
    {It, "@ATTPREZZO", "-12.345", nullptr,
     "«-12.345» è ambiguo: scrivi -12345 se il punto separa le migliaia, -12,345 se separa i decimali"},
    {It, "@ATTPREZZO", "12,5,3", nullptr, "«12,5,3» non è un numero valido per decimal(17,6)"},
    {It, "@ATTPREZZO", "1.00.000", nullptr, "«1.00.000» non è un numero valido per decimal(17,6)"},
    {It, "@ATTPREZZO", "1,000.5", nullptr, "«1,000.5» non è un numero valido per decimal(17,6)"},
    {It, "@ATTPREZZO", "abc", nullptr, "«abc» non è un numero valido per decimal(17,6)"},
    {It, "@INSC1PERC", "1.000,5", nullptr, "1.000,5 non sta in decimal(6,3)"},
    // Dates: day first in Italian, month first in English, ISO in both.
    {It, "@DATARIF", "31/12/2026", "'20261231 00:00:00.000'", nullptr},
    {It, "@DATARIF", "31/12/2026 14:30", "'20261231 14:30:00.000'", nullptr},
    {It, "@DATARIF", "3/4/2026", "'20260403 00:00:00.000'", nullptr},
    {En, "@DATARIF", "3/4/2026", "'20260304 00:00:00.000'", nullptr},
    {En, "@DATARIF", "12/31/2026", "'20261231 00:00:00.000'", nullptr},
    {En, "@DATARIF", "12/31/2026 14:30:15", "'20261231 14:30:15.000'", nullptr},
    {En, "@DATARIF", "31/12/2026", nullptr, "«31/12/2026» non è una data (mm/gg/aaaa oppure aaaa-mm-gg)"},
    {It, "@DATARIF", "12/31/2026", nullptr, "«12/31/2026» non è una data (aaaa-mm-gg oppure gg/mm/aaaa)"},
    {It, "@DATARIF", "29/02/2025", nullptr, "«29/02/2025» non è una data (aaaa-mm-gg oppure gg/mm/aaaa)"},
    {It, "@DATARIF", "29/02/2024", "'20240229 00:00:00.000'", nullptr},
    {En, "@DATARIF", "12/31/26", nullptr, "«12/31/26» non è una data (mm/gg/aaaa oppure aaaa-mm-gg)"},
    {En, "@DATARIF", "12/31/2026 25:00", nullptr,
     "«12/31/2026 25:00» non è una data (mm/gg/aaaa oppure aaaa-mm-gg)"},
    {It, "@DATARIF", "2026-12-31", "'20261231 00:00:00.000'", nullptr},
    {En, "@DATARIF", "2026-12-31", "'20261231 00:00:00.000'", nullptr},
    {En, "@DATARIF", "20261231", "'20261231 00:00:00.000'", nullptr},
    {It, "@DATARIF", "2026-12-31T14:30:00.5", "'20261231 14:30:00.500'", nullptr},
    {En, "@DATARIF", "2026-12-31 14:30", "'20261231 14:30:00.000'", nullptr},
    {En, "@DATARIF", "2026-02-30", nullptr, "«2026-02-30» non è una data (mm/gg/aaaa oppure aaaa-mm-gg)"},
    {It, "@DATARIF", "2026-12-31T", nullptr, "«2026-12-31T» non è una data (aaaa-mm-gg oppure gg/mm/aaaa)"},
    // The stored reading, as the cases kept before: C-locale numbers, a single decimal comma,
    // dates day first, what the engine converts.
    {Stored, "@ATTPREZZO", "12,5", "12.500000", nullptr},
    {Stored, "@ATTPREZZO", "1.000", "1.000000", nullptr},
    {Stored, "@DATARIF", "3/4/2026", "'20260403 00:00:00.000'", nullptr},
    {Stored, "@DATARIF", "2026-12-31T14:30:00", "'20261231 14:30:00.000'", nullptr},
};

TEST(TypedValues, LiteralsAndRefusalsByLanguage) {
    for (const Typed& t : TypedTable) {
        SCOPED_TRACE(std::string(nameOf(t.reading)) + " " + t.variable + " " + t.text);
        const check::TrialLiteral literal =
            check::trialLiteral(element(t.variable), QString::fromUtf8(t.text), {}, t.reading);
        EXPECT_EQ(literal.literal, t.literal ? QString::fromUtf8(t.literal) : QString());
        EXPECT_EQ(literal.error, t.refusal ? QString::fromUtf8(t.refusal) : QString());
    }
}

// What a case keeps for a typed value reads, with the stored reading, as the typed value did in
// its language; typed again in either language it is kept the same.
TEST(TypedValues, StoredTextsReadAsTypedInEveryLanguage) {
    for (const Typed& t : TypedTable) {
        if (!t.literal)
            continue;
        SCOPED_TRACE(std::string(nameOf(t.reading)) + " " + t.variable + " " + t.text);
        const TrialElement e = element(t.variable);
        const check::TrialLiteral stored = check::trialStoredText(e, QString::fromUtf8(t.text), t.reading);
        ASSERT_TRUE(stored.error.isEmpty()) << stored.error.toStdString();
        EXPECT_EQ(check::trialLiteral(e, stored.literal).literal, QString::fromUtf8(t.literal));
        for (const TrialReading other : {It, En}) {
            const QString typed = check::trialTypedText(e, stored.literal, other);
            EXPECT_EQ(check::trialLiteral(e, typed, {}, other).literal, QString::fromUtf8(t.literal))
                << nameOf(other) << " " << typed.toStdString();
            EXPECT_EQ(check::trialLiteral(e, check::trialStoredText(e, typed, other).literal).literal,
                      QString::fromUtf8(t.literal));
        }
    }
}

struct Kept {
    TrialReading reading;
    const char* variable;
    const char* text;
    const char* stored;
};

TEST(TypedValues, TheTextsACaseKeeps) {
    const Kept table[] = {
        {En, "@ATTPREZZO", "1,000.50", "1000.50"},
        {It, "@ATTPREZZO", "1.000,50", "1000.50"},
        {It, "@ATTPREZZO", " -12,5 ", "-12.5"},
        {En, "@ATTPREZZO", "", ""},
        {En, "@DATARIF", "12/31/2026", "2026-12-31"},
        {It, "@DATARIF", "31/12/2026 14:30", "2026-12-31T14:30:00"},
        {It, "@DATARIF", "2026-12-31T14:30:00.25", "2026-12-31T14:30:00.250"},
        {En, "@DO11_CLIFORDEST", "1,00", "1,00"}, // text: as typed
        {Stored, "@ATTPREZZO", "12,5", "12,5"},   // kept as it comes
    };
    for (const Kept& k : table) {
        SCOPED_TRACE(std::string(nameOf(k.reading)) + " " + k.variable + " " + k.text);
        const check::TrialLiteral stored =
            check::trialStoredText(element(k.variable), QString::fromUtf8(k.text), k.reading);
        EXPECT_EQ(stored.literal, QString::fromUtf8(k.stored));
        EXPECT_TRUE(stored.error.isEmpty());
    }
    const check::TrialLiteral refused =
        check::trialStoredText(element("@ATTPREZZO"), QStringLiteral("1,000"), En);
    EXPECT_EQ(refused.literal, QString());
    EXPECT_EQ(
        refused.error,
        QStringLiteral(
            "«1,000» è ambiguo: scrivi 1000 se la virgola separa le migliaia, 1.000 se separa i decimali"));
}

TEST(TypedValues, KeptTextsAsEachLanguageTypesThem) {
    const Kept table[] = {
        // `stored` here is what the user of `reading` sees typed.
        {It, "@ATTPREZZO", "1000.5", "1000,5"},
        {En, "@ATTPREZZO", "1000.5", "1000.5"},
        {En, "@ATTPREZZO", "12,5", "12.5"}, // a case kept before, with a decimal comma
        {It, "@ATTPREZZO", "abc", "abc"},
        {It, "@DATARIF", "2026-12-31", "31/12/2026"},
        {En, "@DATARIF", "2026-12-31T14:30:00", "12/31/2026 14:30:00"},
        {En, "@DATARIF", "31/12/2026", "12/31/2026"}, // kept before: day first
        {En, "@DATARIF", "2026-12-31T14:30:00.250", "2026-12-31T14:30:00.250"},
        {It, "@DO11_SEZDOC", "1.5", "1.5"},
    };
    for (const Kept& k : table) {
        SCOPED_TRACE(std::string(nameOf(k.reading)) + " " + k.variable + " " + k.text);
        EXPECT_EQ(check::trialTypedText(element(k.variable), QString::fromUtf8(k.text), k.reading),
                  QString::fromUtf8(k.stored));
    }
}

TEST(TypedValues, NumbersShownInTheLanguage) {
    EXPECT_EQ(check::trialShownNumber(QStringLiteral("-12.500000"), It), QStringLiteral("-12,500000"));
    EXPECT_EQ(check::trialShownNumber(QStringLiteral("-12.500000"), En), QStringLiteral("-12.500000"));
    EXPECT_EQ(check::trialShownNumber(QStringLiteral("150"), It), QStringLiteral("150"));
    EXPECT_EQ(check::trialShownNumber(QStringLiteral("NULL"), It), QStringLiteral("NULL"));
    EXPECT_EQ(check::trialShownNumber(QStringLiteral("2026-12-31"), It), QStringLiteral("2026-12-31"));
}

TEST(TypedValues, TheReadingOfALanguage) {
    EXPECT_EQ(check::readingOf(QStringLiteral("en")), En);
    EXPECT_EQ(check::readingOf(QStringLiteral("it")), It);
    EXPECT_EQ(check::readingOf(QString()), It);
}

} // namespace
