#pragma once

#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>

#include <memory>

class QTranslator;

namespace host {

// The host's translation service: an Italian user-interface text goes in, the text to show
// in the host's language comes out (the Italian text itself when no catalogue has it).
// Catalogues are Qt Linguist files named <subsystem>_<language>.qm, all with the context
// "formule", loaded from one directory.
class TranslationService : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Language READ language)
public:
    explicit TranslationService(QObject* parent = nullptr);
    ~TranslationService() override;

    // Loads every catalogue of `language` ("it", "en", ...) found in `directory`; Italian needs
    // none. Returns the number of catalogues loaded.
    int load(const QString& directory, const QString& language);
    QString language() const { return m_language; }

    // The translate operation: receives the Italian text by reference, returns the text to show.
    Q_INVOKABLE QString Traduci(const QString& italianText) const;
    QString translate(const QString& italianText) const { return Traduci(italianText); }

    // Installs Qt's own catalogue of `language` (qtbase_<language>.qm from Qt's translations
    // folder) in the application, so the buttons of standard dialogs speak the host's language.
    // Italian "it" needs Debian's qt6-translations-l10n. Returns false when it is not found.
    static bool installQtCatalogue(const QString& language);

    // The language of the locale's messages in `environment` (a host passes its process
    // environment): the first of LC_ALL, LC_MESSAGES and LANG that is set and not empty; "it" when
    // it starts with "it", otherwise "en" (unset, C and POSIX included).
    static QString localeLanguage(const QProcessEnvironment& environment);

    // Directory of the catalogues built next to the executables (bin/../translations).
    static QString defaultDirectory();

private:
    QString m_language = QStringLiteral("it");
    QList<std::shared_ptr<QTranslator>> m_translators;
    // The texts translated since the catalogues were loaded: a formula's labels are asked for
    // again and again, and each catalogue is searched in turn. Asked from any thread.
    mutable QMutex m_knownLock;
    mutable QHash<QString, QString> m_known;
};

// Context name of every catalogue entry.
inline constexpr const char* TranslationContext = "formule";

} // namespace host
