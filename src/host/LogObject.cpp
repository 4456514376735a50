#include "host/LogObject.h"

#include "ado/Ado.h"
#include "host/Cinterface.h"
#include "host/GlobalObject.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextStream>

namespace host {

namespace {
QString g_logFilePath;

} // namespace

GclsLog::GclsLog(QObject* parent)
    : HostObject(parent) {
    setObjectName(QStringLiteral("GclsLog"));
}

void GclsLog::AttachInterface(Cinterface* activeInterface) {
    record(QStringLiteral("AttachInterface"),
           {core::Variant::fromObject(activeInterface ? activeInterface->asObject() : nullptr)});
    m_interface = activeInterface ? activeInterface->asObject() : nullptr;
}

Cinterface* GclsLog::attachedInterface() const {
    return cinterfaceOf(m_interface);
}

void GclsLog::SetError(const core::ErrorInfo& error) {
    record(QStringLiteral("SetError"),
           {core::Variant::fromInt32(error.number), core::Variant(error.description)});
    m_error = error;
}

void GclsLog::SetAdoErrors(const ado::Errors& errors) {
    record(QStringLiteral("SetAdoErrors"), {core::Variant::fromInt32(errors.Count())});
    m_adoErrors.clear();
    for (const ado::Error& e : errors.items())
        m_adoErrors.append(QStringLiteral("%1 (%2): %3").arg(e.number).arg(e.nativeError).arg(e.description));
}

Responder* GclsLog::responder() const {
    if (m_responder)
        return m_responder;
    if (Cinterface* i = attachedInterface()) {
        if (GlobalObject* g = i->ClsGlobal(); g && g->responder())
            return g->responder();
    }
    return Responder::current();
}

int GclsLog::ShowError(const QString& applicationTitle, const QString& caption, const QString& procedureName,
                       std::int32_t style, std::int32_t& reserved) {
    record(QStringLiteral("ShowError"),
           {core::Variant(applicationTitle), core::Variant(caption), core::Variant(procedureName),
            core::Variant::fromInt32(style), core::Variant::fromInt32(reserved)});
    // Labels of the report in the host's language.
    GlobalObject* global = attachedInterface() ? attachedInterface()->ClsGlobal() : nullptr;
    const auto tr = [global](const char* text) {
        const QString italian = QString::fromUtf8(text);
        return global ? global->Traduci(italian) : italian;
    };
    QStringList lines;
    if (!caption.isEmpty())
        lines << caption;
    lines << tr("Procedura") + QStringLiteral(": ") + procedureName;
    lines << tr("Errore") + QStringLiteral(" %1: %2").arg(m_error.number).arg(m_error.description);
    if (!m_error.source.isEmpty())
        lines << tr("Origine") + QStringLiteral(": ") + m_error.source;
    if (!m_adoErrors.isEmpty()) {
        lines << tr("Errori del database") + QLatin1Char(':');
        for (const QString& e : m_adoErrors)
            lines << QStringLiteral("  ") + e;
    }
    Request request;
    request.kind = Request::Kind::Error;
    request.title = applicationTitle;
    request.text = lines.join(QLatin1Char('\n'));
    request.code = style;
    int result = responder()->respond(request);
    if (result != answer::Abort && result != answer::Retry && result != answer::Ignore)
        result = answer::Abort;

    // Append the error to the host's log file; a log that cannot be written is not an error of
    // the caller.
    const QString path = logFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::Append | QIODevice::Text)) {
        QTextStream out(&file);
        out.setEncoding(QStringConverter::Utf8);
        out << QDateTime::currentDateTime().toString(Qt::ISODate) << '\t' << applicationTitle << '\t'
            << caption << '\t' << procedureName << '\t' << m_error.number << '\t' << m_error.description
            << '\t' << m_adoErrors.join(QStringLiteral(" | ")) << '\t' << result << '\n';
    }
    m_error = {};
    m_adoErrors.clear();
    return result;
}

int GclsLog::MessageBox(const QString& prompt, std::int32_t code, const QString& title, bool log,
                        std::int32_t& reserved) {
    record(QStringLiteral("MessageBox"),
           {core::Variant(prompt), core::Variant::fromInt32(code), core::Variant(title),
            core::Variant::fromBool(log), core::Variant::fromInt32(reserved)});
    Request request;
    request.kind = Request::Kind::Message;
    request.title = title;
    request.text = prompt;
    request.code = code;
    return responder()->respond(request);
}

int GclsLog::MessageBoxCaptions(const QString& prompt, std::int32_t code, const QString& title,
                                const QStringList& captions) {
    record(QStringLiteral("MessageBox"),
           {core::Variant(prompt), core::Variant::fromInt32(code), core::Variant(title)});
    Request request;
    request.kind = Request::Kind::Message;
    request.title = title;
    request.text = prompt;
    request.code = code;
    request.captions = captions;
    return responder()->respond(request);
}

QString GclsLog::logFilePath() {
    if (!g_logFilePath.isEmpty())
        return g_logFilePath;
    QString dir = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return QDir(dir).filePath(QStringLiteral("formule-host.log"));
}

void GclsLog::setLogFilePath(const QString& path) {
    g_logFilePath = path;
}

} // namespace host
