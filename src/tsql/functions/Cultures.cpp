// The cultures of FORMAT, PARSE and TRY_PARSE: the data the .NET Framework gives the invariant
// culture, en-US and it-IT, and the look-up of a culture by its name.

#include "tsql/functions/Cultures.h"

#include "tsql/base/Messages.h"
#include "tsql/values/DateSettings.h"

#include <QLocale>

namespace tsql {

namespace {

// clang-format off
const Culture kInvariant = {
    "", u'.', u',', u"\u00A4", true, true, true, true,
    "MM/dd/yyyy", "dddd, dd MMMM yyyy", "HH:mm", "HH:mm:ss", "MMMM dd", "yyyy MMMM",
    {u"January", u"February", u"March", u"April", u"May", u"June", u"July", u"August", u"September",
     u"October", u"November", u"December"},
    {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun", u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"},
    {u"Sunday", u"Monday", u"Tuesday", u"Wednesday", u"Thursday", u"Friday", u"Saturday"},
    {u"Sun", u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat"}};

const Culture kEnglish = {
    "en-US", u'.', u',', u"$", true, false, false, true,
    "M/d/yyyy", "dddd, MMMM d, yyyy", "h:mm tt", "h:mm:ss tt", "MMMM d", "MMMM yyyy",
    kInvariant.months, kInvariant.shortMonths, kInvariant.days, kInvariant.shortDays};

const Culture kItalian = {
    "it-IT", u',', u'.', nullptr, false, false, false, false,
    "dd/MM/yyyy", "dddd d MMMM yyyy", "HH:mm", "HH:mm:ss", nullptr, nullptr,
    {u"gennaio", u"febbraio", u"marzo", u"aprile", u"maggio", u"giugno", u"luglio", u"agosto",
     u"settembre", u"ottobre", u"novembre", u"dicembre"},
    {u"gen", u"feb", u"mar", u"apr", u"mag", u"giu", u"lug", u"ago", u"set", u"ott", u"nov", u"dic"},
    {u"domenica", u"luned\u00EC", u"marted\u00EC", u"mercoled\u00EC", u"gioved\u00EC", u"venerd\u00EC",
     u"sabato"},
    {u"dom", u"lun", u"mar", u"mer", u"gio", u"ven", u"sab"}};
// clang-format on

// A name the .NET Framework knows as a culture, as far as the locales Qt knows tell: a language
// (it) or a language and a region (it-CH) of a known locale.
bool knownCulture(const QString& name) {
    const QLocale locale(name);
    if (locale.language() == QLocale::C)
        return false;
    QString full = locale.name();
    full.replace(u'_', u'-');
    return full.compare(name, Qt::CaseInsensitive) == 0 ||
           QLocale::languageToCode(locale.language()).compare(name, Qt::CaseInsensitive) == 0;
}

} // namespace

const Culture& cultureNamed(const QString* name) {
    if (!name) {
        const QString language = QString::fromUtf8(dateSettings().lang().name);
        if (language == u"us_english")
            return kEnglish;
        if (language == u"Italiano")
            return kItalian;
        raise<Msg::CultureNotSupportedEmbedded>(language);
    }
    if (name->isEmpty() || name->compare(QLatin1String("iv"), Qt::CaseInsensitive) == 0)
        return kInvariant;
    if (name->compare(QLatin1String("en-US"), Qt::CaseInsensitive) == 0)
        return kEnglish;
    if (name->compare(QLatin1String("it-IT"), Qt::CaseInsensitive) == 0)
        return kItalian;
    if (knownCulture(*name))
        raise<Msg::CultureNotSupportedEmbedded>(*name);
    raise<Msg::CultureNotSupported>(*name);
}

} // namespace tsql
