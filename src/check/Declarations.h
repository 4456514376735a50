#pragma once

#include <QList>
#include <QString>

namespace check {

// Number of lines of the declaration block.
inline constexpr int DeclarationLineCount = 138;

// Column (1-based) where "AS" starts on the upper-case lines 34 to 138.
inline constexpr int DeclarationTypeColumn = 47;

// The fixed declaration block that precedes a formula on the server: one `declare` statement
// per variable of the token dictionary, each followed by CR LF, 138 lines in all.
// Lines 1 to 33 (the quotation elements of the OUT, IN and CURR quotations) are written in lower
// case with a trailing blank; lines 34 to 138 have the type in upper case starting in column 47.
// `@MG19_RAGGCRF3` (line 69) is spelt as the token dictionary spells it.
// The block does not declare the configurator option `@DO30_OPZIONE_MG5E`: see
// OptionDeclaration(). Built afresh on every call; it reads nothing and cannot fail.
QString BuildDeclarations();

// The declaration of the configurator option `@DO30_OPZIONE_MG5E` (label "[Opzione]"), written
// like the upper-case lines of the block and ending in CR LF. The token dictionary translates
// "[Opzione]" to this variable, but the 138-line block has no line for it, so on its own every
// formula using "[Opzione]" would be rejected by the server and reported as not correct, even
// though the element tree offers the label for insertion. The syntax check therefore declares
// the option after the block (see CheckDeclarations()), typed CHAR(20) like the value of a
// configurator variant: a formula using "[Opzione]" is judged on its own merits.
QString OptionDeclaration();

// What the syntax check sends before the formula: BuildDeclarations() followed by
// OptionDeclaration() (139 lines).
QString CheckDeclarations();

// What production declares besides the check's variables before it runs a stored formula:
// CheckDeclarations() followed by the two xml variables its category and variant sub-queries
// read, `@CM01_IDCATEGORIA` and `@MG5F_CODICEVAR`, written like the upper-case lines ("AS XML")
// and given no value (141 lines).
QString ProductionDeclarations();
inline constexpr int ProductionDeclarationLines = DeclarationLineCount + 3;

// One variable of CheckDeclarations() and its type as written there ("decimal(17,6)", "CHAR(2)").
struct DeclaredVariable {
    QString variable; // upper case, with its at sign
    QString type;
};

// The variables of CheckDeclarations(), in the order of the block (the option last).
const QList<DeclaredVariable>& declaredVariables();

} // namespace check
