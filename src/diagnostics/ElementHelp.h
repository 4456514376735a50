#pragma once

#include "diagnostics/ElementCatalog.h"
#include "diagnostics/FormulaScanner.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <memory>
#include <optional>

namespace diagnostics {

// What an element is, for the tooltips, the help line under the formula box and `describe`.
struct ElementInfo {
    ElementKind kind = ElementKind::Label;
    QString element;   // as the formula writes it ("[Prezzo lordo - CURR]", "{C01 - Colore}")
    QString variable;  // a label's variable ("@ATTPREZZO")
    QString sqlType;   // its type in the check's declaration block ("decimal(17,6)")
    QString group;     // which quotation, or which master-data entity (translated)
    QString usage;     // whether a formula sets or reads it (translated)
    QString id;        // a category's id
    QString valueType; // a category's value type (translated); empty when it cannot be read
    QString code;      // a category's or variant's code
    QString text;      // a category's or variant's "code - description"
};

// Describes the elements of the catalogue. Labels are told by the token dictionary and the
// declaration block; a category's value type is read through a look-up of the connection
// (`dataType`, given the category's id; nullopt when it cannot be read).
class ElementHelp {
public:
    using TranslateFn = std::function<QString(const QString&)>;
    using DataTypeFn = std::function<std::optional<int>(const QString& id)>;

    ElementHelp(std::shared_ptr<const ElementCatalog> catalog, TranslateFn translate,
                DataTypeFn dataType = {});

    // The element written with its delimiters; nullopt when the catalogue does not know it.
    std::optional<ElementInfo> describe(const QString& element) const;

    // The help as lines "Caption: value" (translated), for `describe` and the tooltips.
    QStringList lines(const ElementInfo& info) const;
    // The same on one line, for the help line under the box.
    QString summary(const ElementInfo& info) const;

    // The data-type look-up of a category on the host's connection (the statement the
    // translation sends); nullopt without a connection or when the statement fails.
    static DataTypeFn connectionDataType(core::HostServices& host);

    // The type of a variable in the check's declaration block (empty when not declared).
    static QString declaredType(const QString& variable);

private:
    QString tr(const QString& italian) const { return m_translate ? m_translate(italian) : italian; }
    ElementInfo describeLabel(const QString& element, int entryNumber) const;

    std::shared_ptr<const ElementCatalog> m_catalog;
    TranslateFn m_translate;
    DataTypeFn m_dataType;
};

// The element (label, category or variant) of one line of the display form that holds the
// column `column` (0-based; the character after an element counts as well), scanned from
// `state` (the scanner's state at the line's start). Its start and length in the line.
std::optional<Span> elementAt(const FormulaScanner& scanner, QStringView line, int state, qsizetype column);

} // namespace diagnostics
