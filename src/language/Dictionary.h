#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace language {

// The section of the dictionary an entry belongs to. It has no effect on translation; the
// element tree and the syntax check use it to group entries.
enum class Group {
    QuotationOut,     // entries 1 to 11: the quotation the formula computes
    QuotationIn,      // entries 12 to 22: the incoming quotation (" - IN")
    QuotationCurrent, // entries 23 to 33: the current quotation (" - CURR")
    Document,
    CustomerSupplier,
    Item,
    DocumentTotals,
    Project,
    Production,
    Configurator // entries 138 and 139
};

// One entry of the token dictionary: a bracketed label of the display form and the T-SQL
// variable that stands for it in the SQL form.
struct Entry {
    int number = 0;   // 1 to 139, the order in which both translations apply the entries
    QString baseText; // Italian text handed to the translation service
    QString suffix;   // "", " - IN" or " - CURR"; never translated
    QString variable; // upper case, one leading at sign
    Group group = Group::Document;
};

// A variable that begins with the whole of another variable of the dictionary.
struct PrefixPair {
    int shorter = 0; // entry number of the shorter variable
    int longer = 0;  // entry number of the longer variable (always later in the table)
};

// Which way a label is being formed: the configurator entries 138 and 139 are written
// differently in the two directions.
enum class Direction { ToSql, ToDisplay };

using TranslateFn = std::function<QString(const QString&)>;

// The fixed, ordered token dictionary shared by both translations, the element tree and the
// syntax check. The table belongs to the program, not to the database.
class Dictionary {
public:
    static constexpr int EntryCount = 139;
    static constexpr int LastOrdinaryEntry = 137;       // entries 1..137 are formed from their base text
    static constexpr int ModelEntry = 138;              // "[Modello]"
    static constexpr int OptionEntry = 139;             // "[Opzione]"
    static constexpr int CategoryPlaceholderEntry = 35; // check-mode stand-in of a category reference
    static constexpr int VariantPlaceholderEntry = 77;  // check-mode stand-in of a variant reference
    static constexpr int QuotationElementCount = 11;

    // The 139 entries in table order (index i holds entry i + 1).
    static const QList<Entry>& entries();
    // Entry by number, 1 to 139 (asserts on other numbers).
    static const Entry& entry(int number);

    // The twelve pairs of variables where one variable begins with another, in table order
    // of the shorter entry.
    static const QList<PrefixPair>& prefixPairs();

    // The eleven base texts of the quotation elements ("Prezzo lordo" ... "Maggiorazione importo").
    static QStringList quotationBaseTexts();
    // The eleven element codes (PREZZO, SC1PERC ... MAGIMP) that follow "@OUT", "@IN", "@ATT".
    static QStringList quotationElementCodes();

    // "[" + translated text + suffix + "]": the label of an ordinary entry from the translation
    // of its base text.
    static QString labelFromTranslation(const Entry& entry, const QString& translatedBaseText);

    // The label of an entry for the given direction, asking `translate` once when the entry's
    // label depends on the language: entries 1 to 137 always, entry 138 only towards the
    // display form; entry 139 is always the literal "[Opzione]" and entry 138 towards SQL the
    // literal "[Modello]". Whatever `translate` throws reaches the caller.
    static QString label(const Entry& entry, Direction direction, const TranslateFn& translate);
    static QString label(int number, Direction direction, const TranslateFn& translate);
};

} // namespace language
