#pragma once

// What tells an Italian text from an English one in the programs' output: words only one of the
// two languages writes, and the ones of a language found in a text.

#include <QList>
#include <QMap>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace testtool {

// Words that only one of the two languages writes; a hyphen joins words (non-NULL is one word).
inline const QStringList ItalianWords{
    QStringLiteral("il"),     QStringLiteral("la"),      QStringLiteral("lo"),   QStringLiteral("della"),
    QStringLiteral("delle"),  QStringLiteral("non"),     QStringLiteral("che"),  QStringLiteral("con"),
    QStringLiteral("una"),    QStringLiteral("è"),       QStringLiteral("sono"), QStringLiteral("nessun"),
    QStringLiteral("esegue"), QStringLiteral("nessuna"), QStringLiteral("deve"), QStringLiteral("vuole"),
    QStringLiteral("righe")};
inline const QStringList EnglishWords{
    QStringLiteral("the"),  QStringLiteral("of"),       QStringLiteral("and"),   QStringLiteral("is"),
    QStringLiteral("not"),  QStringLiteral("with"),     QStringLiteral("must"),  QStringLiteral("cannot"),
    QStringLiteral("when"), QStringLiteral("only"),     QStringLiteral("which"), QStringLiteral("formulas"),
    QStringLiteral("was"),  QStringLiteral("executed"), QStringLiteral("path"),  QStringLiteral("context"),
    QStringLiteral("are")};

// The words of `words` that `text` holds, in lower case or capitalised (SQL's AND is no English
// word), texts in double quotes (a user's values, examples) left out.
inline QStringList wordsFound(QString text, const QStringList& words) {
    static const QRegularExpression quoted(QStringLiteral("\"[^\"\\n]*\""));
    text.remove(quoted);
    QStringList found;
    for (const QString& word : words) {
        const QString capitalised = word.left(1).toUpper() + word.mid(1);
        const QRegularExpression re(
            QStringLiteral("(?<![\\w-])(?:%1|%2)(?![\\w-])")
                .arg(QRegularExpression::escape(word), QRegularExpression::escape(capitalised)),
            QRegularExpression::UseUnicodePropertiesOption);
        if (re.match(text).hasMatch())
            found << word;
    }
    return found;
}

// The words of the language other than `language` ("it" or "en") that `text` holds.
inline QStringList otherLanguageWords(const QString& text, const QString& language) {
    return wordsFound(text, language == QLatin1String("it") ? EnglishWords : ItalianWords);
}

// How a program is told its language: the locale variables it runs with and its arguments, and
// whether it must then speak Italian. --lang wins (the last one given), then the first of LC_ALL,
// LC_MESSAGES and LANG that is set: it* is Italian, anything else English.
struct LanguageChoice {
    QMap<QString, QString> locale;
    QStringList args;
    bool italian;
};
inline QList<LanguageChoice> languageChoices() {
    const auto lang = [](const char* value) {
        return QMap<QString, QString>{{QStringLiteral("LANG"), QString::fromLatin1(value)}};
    };
    return {
        {lang("it_IT.UTF-8"), {}, true},
        {lang("it"), {}, true},
        {lang("de_DE.UTF-8"), {}, false},
        {lang("C"), {}, false},
        {lang("C.UTF-8"), {}, false},
        {lang(""), {}, false},
        {{{QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8")},
          {QStringLiteral("LC_MESSAGES"), QStringLiteral("it_CH.UTF-8")}},
         {},
         true},
        {{{QStringLiteral("LC_ALL"), QStringLiteral("en_GB")},
          {QStringLiteral("LC_MESSAGES"), QStringLiteral("it_IT")}},
         {},
         false},
        {lang("it_IT.UTF-8"), {QStringLiteral("--lang"), QStringLiteral("en")}, false},
        {lang("en_US.UTF-8"), {QStringLiteral("--lang=it")}, true},
        {lang("en_US.UTF-8"),
         {QStringLiteral("--lang=it"), QStringLiteral("--lang"), QStringLiteral("en")},
         false},
    };
}

} // namespace testtool
