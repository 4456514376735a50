#pragma once

#include "core/Error.h"
#include "core/HostServices.h"

#include <QString>
#include <QStringList>

#include <functional>

#include <memory>

namespace ado {
class Connection;
class Recordset;
} // namespace ado

namespace language {

class PositionMap;
namespace refs {
struct LookupAnswers;
}

// Runs a look-up statement instead of the host's connection (tests record the statements
// through it, the fuzzer answers them without a database).
using LookupFn = std::function<std::shared_ptr<ado::Recordset>(const QString& statement)>;

// What the translations use of their host: its translation service (Italian text in, text to
// show out; may throw core::ComError), the connection the category and variant look-ups run
// on, and the error display that answers 3, 4 or 5; and the look-up replacement, if any.
// `answers`: where the look-ups keep their answers from one translation to the next, for a
// caller under which the categories and variants cannot change (the bulk check: one run on its
// connection, which changes no data); null: every translation asks afresh.
struct Services {
    core::HostServices* host = nullptr;
    LookupFn execute;
    refs::LookupAnswers* answers = nullptr;
};

// The two translations of a formula: decodeToken (display form to SQL form) and
// encodeToken (SQL form to display form). Shared by the editor window, the command-line tool
// and the tests.
class FormulaLanguage {
public:
    // `host` must outlive the language.
    explicit FormulaLanguage(core::HostServices& host, LookupFn lookup = {});
    // The same with both in one (services.host must not be null).
    explicit FormulaLanguage(Services services);
    ~FormulaLanguage();

    QString decodeToken(const QString& text, bool checkMode);
    // decodeToken recording in `map` where each piece of the SQL form came from in `text`
    // (the map is cleared first; it stays empty for a blank text).
    QString decodeToken(const QString& text, bool checkMode, PositionMap* map);
    QString encodeToken(const QString& text);
    // encodeToken with another error display than the services' (a silent one, for instance).
    QString encodeToken(const QString& text, const core::ErrorAnswerFn& errorAnswer);

    // Answers in advance, in one statement per few hundred look-ups, those that encodeToken of
    // the stored SQL forms `texts` is about to make, into the services' answers (nothing without
    // them). As the look-ups' own prefetch, it keeps only answers that are certain; the
    // translations ask for the rest themselves. A failing statement here is no error.
    void prefetchDisplayLookups(const QStringList& texts);

    // Errors the last translation reported to its error display, whatever the answers were.
    qint64 lastErrorCount() const { return m_lastErrors; }
    // Whether one of them was a pass's text over refs::MaxPassLength characters (Overflow).
    bool lastOverLimit() const { return m_lastOverLimit; }

    const Services& services() const { return m_services; }

    // Look-up statements the last translation sent (answers already known within a run are
    // not asked again).
    qint64 lastStatementCount() const { return m_lastStatements; }

private:
    Services m_services;
    qint64 m_lastStatements = 0;
    qint64 m_lastErrors = 0;
    bool m_lastOverLimit = false;

    // The error display `answer`, noting an Overflow in m_lastOverLimit on the way.
    core::ErrorAnswerFn notingOverLimit(core::ErrorAnswerFn answer);
};

} // namespace language
