#pragma once

// What the trial run and the impact preview share to run a formula on the compiled evaluator: the
// formula compiled after the trial's declarations with its slots, and a row of trial inputs made
// into the values the trial batch's SETs would leave in the variables before the formula.
// Internal to the check.

#include "check/TrialRun.h"
#include "tsql/compiled/CompiledFormula.h"

#include <QHash>

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace check::compiledrows {

// The declaration slots of a program's variables, by upper-case name.
struct Slots {
    std::map<QString, int> byName;
    int categories = -1, variants = -1; // the two documents' variables, looked up once
    int of(const QString& name) const;
};

// A formula compiled after trialDeclarations() (program null: the engine must run it), the
// slots of its variables and of trialOutputs() in their order.
struct CompiledTrial {
    tsql::compiled::Compiled compiled;
    std::shared_ptr<const Slots> slotMap; // shared by every program compiled after the same declarations
    const Slots& variableSlots() const { return *slotMap; }
    std::vector<int> outputSlots;
};
// `read`: the formula as the caller read it (see tsql::compiled::compile; taken).
CompiledTrial compileTrial(const QString& sql, tsql::ReadRest* read = nullptr);

// The value a variable of `type` holds after the trial batch's SET of `literal` (trialLiteral's
// for `input`), converted by the engine's own assignment: nullopt when the conversion stops the
// batch.
std::optional<tsql::Value> assignedValue(const TrialInput& input, const QString& literal,
                                         const tsql::SqlType& type);

// One row's values as the trial batch leaves them before the formula: every declared variable by
// slot, and the nodes of the category and variant documents. The same for every program compiled
// by compileTrial (they share the declarations).
struct InitialValues {
    std::vector<tsql::Value> initial;
    tsql::compiled::NodeList categories;
    tsql::compiled::NodeList variants;
    // fillInitialValues's own: the program the values were filled for and the slots it set (the
    // rest hold their type's NULL), those alone made NULL again for the next row.
    const tsql::compiled::Program* filledFor = nullptr;
    std::vector<int> setSlots;
};
// nullopt when a value does not go to the compiled evaluator as the engine's SET would take it
// (a text the code page lacks, a document it does not read the same way): the row goes to the
// engine.
std::optional<InitialValues> initialValues(const CompiledTrial& formula, const QList<TrialInput>& inputs,
                                           const TrialTranslateFn& translate);

// What the variables' inputs converted to, by input position and text. A file's columns repeat
// their values: an input of the same element and text in a position (under the same
// declarations) takes the value the first one converted to (the conversion depends on nothing
// else), only new texts are converted. A position whose texts rarely repeat stops keeping them.
class ConvertedInputs {
public:
    // The variable's value (nullopt: the row goes to the engine), or no SET for a NULL.
    struct Converted {
        bool set = false; // false: empty text, no SET
        int slot = -1;
        std::optional<tsql::Value> value;
    };
    // Valid until the next call.
    const Converted& of(qsizetype position, const CompiledTrial& formula, const TrialInput& input,
                        const TrialTranslateFn& translate);

private:
    struct Cell {
        QString key, type; // the element the texts belong to
        QHash<QString, Converted> known;
        qint64 lookups = 0, hits = 0;
        bool keeping = true;
        Converted last; // when the position no longer keeps its texts
    };
    std::vector<Cell> m_cells;
    std::shared_ptr<const Slots> m_slots; // the declarations the cells were converted for
};

// The same into `out` (its vectors reused, no allocation once they have grown), the inputs'
// values through `cache`: false when the row goes to the engine.
bool fillInitialValues(const CompiledTrial& formula, const QList<TrialInput>& inputs,
                       const TrialTranslateFn& translate, InitialValues& out, ConvertedInputs& cache);

// The pieces of fillInitialValues, for a caller that keeps a row's values in another form:
//   - convertedInput: what the trial batch's SET of `input` leaves in its variable; valueSet:
//     the value it puts there;
//   - readDocument: a category or variant document (the trial's xml of a row's references) as the
//     evaluator reads it, nullopt when the row must go to the engine; documentSlot: its variable;
//   - outputsKnown: whether every output has a slot (otherwise the engine runs the row).
struct ReadDocument {
    tsql::compiled::NodeList nodes;
    tsql::Value value;
};
ConvertedInputs::Converted convertedInput(const CompiledTrial& formula, const TrialInput& input,
                                          const TrialTranslateFn& translate);
// Whether a plain number already read (trialPlainNumber's value) is what convertedInput gives
// the variable in `slot`: false when there is none or it is not of the type the number was read
// for (convertedInput then converts the text).
bool plainNumberFits(const CompiledTrial& formula, int slot, const tsql::Value& number);
// The value a converted input puts in its variable (nullptr: no SET, the variable keeps its
// NULL); nullopt when the row must go to the engine.
std::optional<const tsql::Value*> valueSet(const ConvertedInputs::Converted& converted);
std::optional<ReadDocument> readDocument(const CompiledTrial& formula, TrialElement::Kind kind,
                                         const QString& xml);
// The slot of the variable that holds the categories' or the variants' document (-1: none).
int documentSlot(const CompiledTrial& formula, TrialElement::Kind kind);
bool outputsKnown(const CompiledTrial& formula);

// The program's row from the initial values (its inputs, in Program::inputs() order).
tsql::compiled::Row programRow(const tsql::compiled::Program& program, const InitialValues& values);
// The same, the row's vectors reused (no allocation once they have grown).
void fillProgramRow(const tsql::compiled::Program& program, const InitialValues& values,
                    tsql::compiled::Row& row);

} // namespace check::compiledrows
