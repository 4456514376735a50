#include "host/TranslationService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

namespace host {

namespace {
constexpr qsizetype MaxKnown = 8192;
}

TranslationService::TranslationService(QObject* parent)
    : QObject(parent) {}

TranslationService::~TranslationService() = default;

int TranslationService::load(const QString& directory, const QString& language) {
    {
        QMutexLocker lock(&m_knownLock);
        m_known.clear();
    }
    m_translators.clear();
    m_language = language.isEmpty() ? QStringLiteral("it") : language;
    if (m_language == QLatin1String("it"))
        return 0;
    const QDir dir(directory);
    const QStringList files =
        dir.entryList({QStringLiteral("*_%1.qm").arg(m_language)}, QDir::Files, QDir::Name);
    for (const QString& file : files) {
        auto translator = std::make_shared<QTranslator>();
        if (translator->load(dir.filePath(file)))
            m_translators.append(translator);
    }
    return static_cast<int>(m_translators.size());
}

QString TranslationService::Traduci(const QString& italianText) const {
    if (m_translators.isEmpty())
        return italianText;
    {
        QMutexLocker lock(&m_knownLock);
        if (const auto it = m_known.constFind(italianText); it != m_known.constEnd())
            return *it;
    }
    // The catalogues are asked in turn with the same key: it is encoded once.
    const QByteArray key = italianText.toUtf8();
    QString text;
    for (const auto& translator : m_translators) {
        text = translator->translate(TranslationContext, key.constData());
        if (!text.isEmpty())
            break;
    }
    if (text.isEmpty())
        text = italianText;
    QMutexLocker lock(&m_knownLock);
    if (m_known.size() >= MaxKnown) // texts built with values (messages) must not grow it forever
        m_known.clear();
    m_known.insert(italianText, text);
    return text;
}

bool TranslationService::installQtCatalogue(const QString& language) {
    static QTranslator* installed = nullptr;
    if (installed != nullptr) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    auto translator = std::make_unique<QTranslator>();
    const QString name = QStringLiteral("qtbase_") + (language.isEmpty() ? QStringLiteral("it") : language);
    if (!translator->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    installed = translator.release();
    QCoreApplication::installTranslator(installed);
    return true;
}

QString TranslationService::localeLanguage(const QProcessEnvironment& environment) {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = environment.value(QString::fromLatin1(name));
        if (!value.isEmpty())
            return value.startsWith(QLatin1String("it")) ? QStringLiteral("it") : QStringLiteral("en");
    }
    return QStringLiteral("en");
}

QString TranslationService::defaultDirectory() {
    // translations/ beside bin/ in the build tree, share/formule/translations in an installed tree.
    const QDir bin(QCoreApplication::applicationDirPath());
    const QString built = bin.absoluteFilePath(QStringLiteral("../translations"));
    const QString installed = bin.absoluteFilePath(QStringLiteral("../share/formule/translations"));
    return !QFileInfo::exists(built) && QFileInfo::exists(installed) ? QDir::cleanPath(installed) : built;
}

} // namespace host
