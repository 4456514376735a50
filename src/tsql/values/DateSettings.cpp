// The languages the engine knows (a part of sys.syslanguages: names, aliases, date order, first
// day of the week, month and day names) and the date settings of the batch running.

#include "tsql/values/DateSettings.h"

#include "tsql/base/Messages.h"

namespace tsql {

namespace {

using O = DateOrder;

// clang-format off
const Language kLanguages[] = {
    {"us_english", "English", O::Mdy, 7,
     {"January", "February", "March", "April", "May", "June", "July", "August", "September", "October",
      "November", "December"},
     {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"},
     {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"}},
    {"British", "British English", O::Dmy, 1,
     {"January", "February", "March", "April", "May", "June", "July", "August", "September", "October",
      "November", "December"},
     {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"},
     {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"}},
    {"Italiano", "Italian", O::Dmy, 1,
     {"gennaio", "febbraio", "marzo", "aprile", "maggio", "giugno", "luglio", "agosto", "settembre",
      "ottobre", "novembre", "dicembre"},
     {"gen", "feb", "mar", "apr", "mag", "giu", "lug", "ago", "set", "ott", "nov", "dic"},
     {"lunedì", "martedì", "mercoledì", "giovedì", "venerdì", "sabato", "domenica"}},
    {"Deutsch", "German", O::Dmy, 1,
     {"Januar", "Februar", "März", "April", "Mai", "Juni", "Juli", "August", "September", "Oktober",
      "November", "Dezember"},
     {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"},
     {"Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag", "Sonntag"}},
    {"Français", "French", O::Dmy, 1,
     {"janvier", "février", "mars", "avril", "mai", "juin", "juillet", "août", "septembre", "octobre",
      "novembre", "décembre"},
     {"janv", "févr", "mars", "avr", "mai", "juin", "juil", "août", "sept", "oct", "nov", "déc"},
     {"lundi", "mardi", "mercredi", "jeudi", "vendredi", "samedi", "dimanche"}},
    {"Español", "Spanish", O::Dmy, 1,
     {"Enero", "Febrero", "Marzo", "Abril", "Mayo", "Junio", "Julio", "Agosto", "Septiembre", "Octubre",
      "Noviembre", "Diciembre"},
     {"Ene", "Feb", "Mar", "Abr", "May", "Jun", "Jul", "Ago", "Sep", "Oct", "Nov", "Dic"},
     {"Lunes", "Martes", "Miércoles", "Jueves", "Viernes", "Sábado", "Domingo"}},
};
// clang-format on

thread_local DateSettings g_settings;

} // namespace

const Language& DateSettings::lang() const {
    return language ? *language : kLanguages[0];
}

const DateSettings& dateSettings() {
    return g_settings;
}

BatchDateSettings::BatchDateSettings()
    : m_previous(g_settings) {
    g_settings = DateSettings();
}

BatchDateSettings::~BatchDateSettings() {
    g_settings = m_previous;
}

KeptDateSettings::KeptDateSettings()
    : m_kept(g_settings) {}

KeptDateSettings::~KeptDateSettings() {
    g_settings = m_kept;
}

void setDateFormat(const QString& order) {
    static const std::pair<const char*, DateOrder> orders[] = {
        {"MDY", O::Mdy}, {"DMY", O::Dmy}, {"YMD", O::Ymd}, {"YDM", O::Ydm}, {"MYD", O::Myd}, {"DYM", O::Dym}};
    for (const auto& [name, o] : orders) {
        if (order.trimmed().compare(QLatin1String(name), Qt::CaseInsensitive) == 0) {
            g_settings.order = o;
            return;
        }
    }
    raise<Msg::SetDateformatDateOrder>(order);
}

// Names compare as the server's collation does: case-insensitive, accent-sensitive.
void setLanguage(const QString& name) {
    const QString n = name.trimmed();
    for (const Language& l : kLanguages) {
        if (n.compare(QString::fromUtf8(l.name), Qt::CaseInsensitive) == 0 ||
            n.compare(QString::fromUtf8(l.alias), Qt::CaseInsensitive) == 0) {
            g_settings.language = &l;
            g_settings.order = l.order;
            g_settings.dateFirst = l.dateFirst;
            return;
        }
    }
    raise<Msg::SetLanguageFailedBecause>(name);
}

void setDateFirst(qint64 day) {
    if (day < 1 || day > 7)
        raise<Msg::DateFirstOutOfRange>(day);
    g_settings.dateFirst = int(day);
}

QString monthName(int month, bool shortForm) {
    const Language& l = g_settings.lang();
    const auto& names = shortForm ? l.shortMonths : l.months;
    return QString::fromUtf8(names[std::size_t(std::clamp(month, 1, 12) - 1)]);
}

QString dayName(int isoDay) {
    return QString::fromUtf8(g_settings.lang().days[std::size_t(std::clamp(isoDay, 1, 7) - 1)]);
}

} // namespace tsql
