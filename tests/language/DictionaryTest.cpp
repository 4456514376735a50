#include "language/Dictionary.h"

#include <QSet>

#include <gtest/gtest.h>

using language::Dictionary;
using language::Direction;
using language::Entry;
using language::Group;

namespace {

QString identity(const QString& s) {
    return s;
}

TEST(Dictionary, OnlyTheTwelvePrefixPairsContainAnotherVariable) {
    QSet<QPair<int, int>> found;
    for (const Entry& a : Dictionary::entries()) {
        for (const Entry& b : Dictionary::entries()) {
            if (a.number != b.number && b.variable.contains(a.variable)) {
                EXPECT_TRUE(b.variable.startsWith(a.variable)) << a.number << " inside " << b.number;
                found.insert({a.number, b.number});
            }
        }
    }
    QSet<QPair<int, int>> listed;
    for (const auto& p : Dictionary::prefixPairs()) {
        EXPECT_LT(p.shorter, p.longer);
        listed.insert({p.shorter, p.longer});
    }
    EXPECT_EQ(Dictionary::prefixPairs().size(), 12);
    EXPECT_EQ(found, listed);
}

TEST(Dictionary, NoLabelContainsAnotherLabel) {
    QStringList labels;
    for (const Entry& e : Dictionary::entries())
        labels << Dictionary::label(e, Direction::ToSql, identity);
    for (int i = 0; i < labels.size(); ++i) {
        for (int j = 0; j < labels.size(); ++j) {
            if (i != j) {
                EXPECT_FALSE(labels[j].contains(labels[i])) << labels[i].toStdString();
            }
        }
    }
}

struct Spot {
    int number;
    const char* label;
    const char* variable;
    Group group;
};

class DictionarySpots : public ::testing::TestWithParam<Spot> {};

TEST_P(DictionarySpots, LabelAndVariable) {
    const Spot s = GetParam();
    const Entry& e = Dictionary::entry(s.number);
    EXPECT_EQ(Dictionary::label(e, Direction::ToSql, identity), QString::fromUtf8(s.label));
    EXPECT_EQ(Dictionary::label(e, Direction::ToDisplay, identity), QString::fromUtf8(s.label));
    EXPECT_EQ(e.variable, QString::fromUtf8(s.variable));
    EXPECT_EQ(e.group, s.group);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DictionarySpots,
    ::testing::Values(Spot{1, "[Prezzo lordo]", "@OUTPREZZO", Group::QuotationOut},
                      Spot{5, "[Sconto 4%]", "@OUTSC4PERC", Group::QuotationOut},
                      Spot{11, "[Maggiorazione importo]", "@OUTMAGIMP", Group::QuotationOut},
                      Spot{12, "[Prezzo lordo - IN]", "@INPREZZO", Group::QuotationIn},
                      Spot{16, "[Sconto 4% - IN]", "@INSC4PERC", Group::QuotationIn},
                      Spot{23, "[Prezzo lordo - CURR]", "@ATTPREZZO", Group::QuotationCurrent},
                      Spot{27, "[Sconto 4% - CURR]", "@ATTSC4PERC", Group::QuotationCurrent},
                      Spot{33, "[Maggiorazione importo - CURR]", "@ATTMAGIMP", Group::QuotationCurrent},
                      Spot{34, "[Ditta]", "@DITTA", Group::Document},
                      Spot{35, "[Sede]", "@DO11_CODSEDE_CG31", Group::Document},
                      Spot{55, "[Quantita' 1 (di riga)]", "@QTA1", Group::Document},
                      Spot{70, "[Raggr. cli/for 3]", "@MG19_RAGGCRF3", Group::CustomerSupplier},
                      Spot{73, "[Area Nielsen cli/for]", "@MG19_AREANIELSEN_MG0E", Group::CustomerSupplier},
                      Spot{77, "[Codice articolo]", "@DO30_CODART_MG66", Group::Item},
                      Spot{96, "[Totale merce 1 val.]", "@DO13_TOTMERCE1_VAL", Group::DocumentTotals},
                      Spot{122, "[Attività]", "@DO41_ATTIVITA_PD0D", Group::Project},
                      Spot{137, "[Qualifica]", "@PD2B_CODQUAL_PD2A", Group::Production}));

TEST(Dictionary, ConfiguratorLabelsDependOnTheDirection) {
    int calls = 0;
    const auto upper = [&calls](const QString& s) {
        ++calls;
        return s.toUpper();
    };
    EXPECT_EQ(Dictionary::label(138, Direction::ToSql, upper), "[Modello]");
    EXPECT_EQ(Dictionary::label(139, Direction::ToSql, upper), "[Opzione]");
    EXPECT_EQ(Dictionary::label(139, Direction::ToDisplay, upper), "[Opzione]");
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(Dictionary::label(138, Direction::ToDisplay, upper), "[MODELLO]");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(Dictionary::entry(138).variable, "@CM06_CODART_MG66");
    EXPECT_EQ(Dictionary::entry(139).variable, "@DO30_OPZIONE_MG5E");
}

TEST(Dictionary, SuffixStaysOutsideTheTranslation) {
    const auto tr = [](const QString& s) { return s == "Prezzo lordo" ? QString("Gross price") : s; };
    EXPECT_EQ(Dictionary::label(12, Direction::ToSql, tr), "[Gross price - IN]");
    EXPECT_EQ(Dictionary::label(23, Direction::ToDisplay, tr), "[Gross price - CURR]");
}

} // namespace
