#include "ImpactReport.h"

#include "check/BulkCheck.h"
#include "check/ImpactTexts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace formule_cli {

namespace {

using check::ImpactOutput;
using check::ImpactQuantiles;
using check::ImpactReport;
namespace impactmsg = check::impactmsg;

QString number(double d) {
    QString text = QString::number(d, 'f', 6);
    return text == QLatin1String("-0.000000") ? QStringLiteral("0.000000") : text;
}

QString optionalNumber(const std::optional<double>& d) {
    return d ? number(*d) : QString();
}

QList<double> quantileList(const ImpactQuantiles& q) {
    return {q.min, q.p5, q.p25, q.median, q.p75, q.p95, q.max};
}

// The inputs of a row as "[Label]=value" pairs.
QString inputsText(const check::ImpactRow& row, const check::TrialTranslateFn& translate) {
    QStringList parts;
    for (const check::TrialInput& input : row.inputs)
        if (!input.text.isEmpty())
            parts << check::trialLabel(input.element, translate) + u'=' + input.text;
    return parts.join(QStringLiteral("; "));
}

QString tsvField(QString text) {
    for (QChar& c : text)
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    return text;
}

// One line of a machine format.
void line(QTextStream& out, ReportFormat format, const QStringList& fields) {
    QStringList written;
    for (const QString& f : fields)
        written << (format == ReportFormat::Tsv ? tsvField(f) : check::csvField(f));
    out << written.join(format == ReportFormat::Tsv ? u'\t' : u',') << '\n';
}

// tsv and csv: one record a line, its kind first (summary, output, bin, mover, failure).
void writeTable(QTextStream& out, const ImpactReport& report, ReportFormat format,
                const check::TrialTranslateFn& translate) {
    line(out, format,
         {QStringLiteral("summary"), QString::number(report.rows), QString::number(report.failedOld),
          QString::number(report.failedNew), QString::number(report.failedBoth),
          report.cancelled ? QStringLiteral("cancelled") : QStringLiteral("complete")});
    for (const ImpactOutput& o : report.outputs) {
        const QString label = check::trialLabel(o.element, translate);
        QStringList fields{QStringLiteral("output"), label, QString::number(o.evaluated),
                           QString::number(o.changed)};
        for (double d : quantileList(o.absolute) + quantileList(o.percent))
            fields << number(d);
        line(out, format, fields);
        for (qsizetype i = 0; i < o.histogram.counts.size(); ++i)
            line(out, format,
                 {QStringLiteral("bin"), label, number(o.histogram.from + double(i) * o.histogram.width),
                  number(o.histogram.from + double(i + 1) * o.histogram.width),
                  QString::number(o.histogram.counts.at(i))});
        for (const check::ImpactMover& m : o.movers)
            line(out, format,
                 {QStringLiteral("mover"), label, m.row.origin, m.before.value_or(QStringLiteral("NULL")),
                  m.after.value_or(QStringLiteral("NULL")), number(m.change), optionalNumber(m.percent),
                  inputsText(m.row, translate)});
    }
    for (const check::ImpactFailure& f : report.failures)
        line(out, format,
             {QStringLiteral("failure"), f.row.origin, f.oldMessage, f.newMessage,
              inputsText(f.row, translate)});
}

QJsonObject quantilesJson(const ImpactQuantiles& q) {
    return {{QStringLiteral("min"), q.min}, {QStringLiteral("p5"), q.p5},
            {QStringLiteral("p25"), q.p25}, {QStringLiteral("median"), q.median},
            {QStringLiteral("p75"), q.p75}, {QStringLiteral("p95"), q.p95},
            {QStringLiteral("max"), q.max}};
}

QJsonObject inputsJson(const check::ImpactRow& row, const check::TrialTranslateFn& translate) {
    QJsonObject inputs;
    for (const check::TrialInput& input : row.inputs)
        inputs.insert(check::trialLabel(input.element, translate), input.text);
    return inputs;
}

QJsonValue optionalJson(const std::optional<QString>& text) {
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

void writeJson(QTextStream& out, const ImpactReport& report, const check::TrialTranslateFn& translate) {
    QJsonArray outputs;
    for (const ImpactOutput& o : report.outputs) {
        QJsonArray counts, movers;
        for (qint64 c : o.histogram.counts)
            counts.append(double(c));
        for (const check::ImpactMover& m : o.movers)
            movers.append(QJsonObject{{QStringLiteral("origin"), m.row.origin},
                                      {QStringLiteral("inputs"), inputsJson(m.row, translate)},
                                      {QStringLiteral("before"), optionalJson(m.before)},
                                      {QStringLiteral("after"), optionalJson(m.after)},
                                      {QStringLiteral("change"), m.change},
                                      {QStringLiteral("percent"),
                                       m.percent ? QJsonValue(*m.percent) : QJsonValue(QJsonValue::Null)}});
        outputs.append(QJsonObject{
            {QStringLiteral("output"), check::trialLabel(o.element, translate)},
            {QStringLiteral("variable"), o.element.key},
            {QStringLiteral("evaluated"), double(o.evaluated)},
            {QStringLiteral("changed"), double(o.changed)},
            {QStringLiteral("absolute"), quantilesJson(o.absolute)},
            {QStringLiteral("percent"), quantilesJson(o.percent)},
            {QStringLiteral("histogram"), QJsonObject{{QStringLiteral("from"), o.histogram.from},
                                                      {QStringLiteral("width"), o.histogram.width},
                                                      {QStringLiteral("counts"), counts}}},
            {QStringLiteral("movers"), movers}});
    }
    QJsonArray failures;
    for (const check::ImpactFailure& f : report.failures)
        failures.append(QJsonObject{{QStringLiteral("origin"), f.row.origin},
                                    {QStringLiteral("inputs"), inputsJson(f.row, translate)},
                                    {QStringLiteral("old"), f.oldMessage},
                                    {QStringLiteral("new"), f.newMessage}});
    QJsonObject root{{QStringLiteral("rows"), double(report.rows)},
                     {QStringLiteral("failedOld"), double(report.failedOld)},
                     {QStringLiteral("failedNew"), double(report.failedNew)},
                     {QStringLiteral("failedBoth"), double(report.failedBoth)},
                     {QStringLiteral("cancelled"), report.cancelled},
                     {QStringLiteral("outputs"), outputs},
                     {QStringLiteral("failures"), failures}};
    if (report.oldPath)
        root.insert(QStringLiteral("oldPath"), check::describePath(*report.oldPath, translate));
    if (report.newPath)
        root.insert(QStringLiteral("newPath"), check::describePath(*report.newPath, translate));
    out << QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
}

QString padLeft(const QString& text, int width) {
    return text.rightJustified(width);
}

// The histogram as bars of block characters, the longest 40 wide.
void writeHistogram(QTextStream& out, const check::ImpactHistogram& h) {
    const qint64 most = h.counts.isEmpty() ? 0 : *std::max_element(h.counts.begin(), h.counts.end());
    for (qsizetype i = 0; i < h.counts.size(); ++i) {
        const qint64 c = h.counts.at(i);
        const int eighths = most > 0 ? int(std::llround(double(c) * 40 * 8 / double(most))) : 0;
        QString bar(eighths / 8, QChar(0x2588));
        static const char16_t partial[] = u" ▏▎▍▌▋▊▉";
        if (eighths % 8)
            bar += QChar(partial[eighths % 8]);
        out << "  " << padLeft(number(h.from + double(i) * h.width), 14) << " .. "
            << padLeft(number(h.from + double(i + 1) * h.width), 14) << "  " << bar.leftJustified(41) << ' '
            << c << '\n';
    }
}

void writeText(QTextStream& out, const ImpactReport& report, const check::TrialTranslateFn& translate) {
    auto tr = [&translate](const QString& t) { return translate ? translate(t) : t; };
    if (report.oldPath)
        out << tr(impactmsg::ReportOldPath).arg(check::describePath(*report.oldPath, translate)) << '\n';
    if (report.newPath)
        out << tr(impactmsg::ReportNewPath).arg(check::describePath(*report.newPath, translate)) << '\n';
    out << tr(impactmsg::ReportRows).arg(report.rows) << '\n'
        << tr(impactmsg::ReportFailedOld).arg(report.failedOld) << '\n'
        << tr(impactmsg::ReportFailedNew).arg(report.failedNew) << '\n'
        << tr(impactmsg::ReportFailedBoth).arg(report.failedBoth) << '\n';
    if (report.cancelled)
        out << tr(impactmsg::ReportCancelled) << '\n';
    if (report.outputs.isEmpty())
        out << tr(impactmsg::ReportNoOutputs) << '\n';
    const QStringList heads{QStringLiteral("min"),       QStringLiteral("p5"),  QStringLiteral("p25"),
                            tr(impactmsg::ReportMedian), QStringLiteral("p75"), QStringLiteral("p95"),
                            QStringLiteral("max")};
    for (const ImpactOutput& o : report.outputs) {
        out << '\n'
            << tr(impactmsg::ReportOutput)
                   .arg(check::trialLabel(o.element, translate))
                   .arg(o.evaluated)
                   .arg(o.changed)
            << '\n';
        out << QString().leftJustified(14);
        for (const QString& h : heads)
            out << padLeft(h, 15);
        out << '\n';
        for (const auto& [name, q] : {std::pair{tr(impactmsg::ReportAbsolute), o.absolute},
                                      std::pair{tr(impactmsg::ReportPercent), o.percent}}) {
            out << name.leftJustified(14);
            for (double d : quantileList(q))
                out << padLeft(number(d), 15);
            out << '\n';
        }
        if (!o.histogram.counts.isEmpty()) {
            out << tr(impactmsg::ReportHistogram) << '\n';
            writeHistogram(out, o.histogram);
        }
        if (!o.movers.isEmpty())
            out << tr(impactmsg::ReportMovers) << '\n';
        for (const check::ImpactMover& m : o.movers)
            out << "  " << m.row.origin << ": " << tr(impactmsg::ReportBefore) << ' '
                << m.before.value_or(QStringLiteral("NULL")) << ", " << tr(impactmsg::ReportAfter) << ' '
                << m.after.value_or(QStringLiteral("NULL")) << ", " << number(m.change)
                << (m.percent ? QStringLiteral(" (%1%)").arg(number(*m.percent)) : QString()) << "  "
                << inputsText(m.row, translate) << '\n';
    }
    if (!report.failures.isEmpty())
        out << '\n' << tr(impactmsg::ReportFailures) << '\n';
    for (const check::ImpactFailure& f : report.failures) {
        out << "  " << f.row.origin << "  " << inputsText(f.row, translate) << '\n';
        if (!f.oldMessage.isEmpty())
            out << "    " << tr(impactmsg::ReportOldMessage) << ": " << f.oldMessage << '\n';
        if (!f.newMessage.isEmpty())
            out << "    " << tr(impactmsg::ReportNewMessage) << ": " << f.newMessage << '\n';
    }
}

} // namespace

std::optional<ReportFormat> reportFormat(const QString& name) {
    if (name == QLatin1String("text"))
        return ReportFormat::Text;
    if (name == QLatin1String("tsv"))
        return ReportFormat::Tsv;
    if (name == QLatin1String("csv"))
        return ReportFormat::Csv;
    if (name == QLatin1String("json"))
        return ReportFormat::Json;
    return std::nullopt;
}

void writeReport(QTextStream& out, const ImpactReport& report, ReportFormat format,
                 const check::TrialTranslateFn& translate) {
    switch (format) {
    case ReportFormat::Text:
        writeText(out, report, translate);
        break;
    case ReportFormat::Tsv:
    case ReportFormat::Csv:
        writeTable(out, report, format, translate);
        break;
    case ReportFormat::Json:
        writeJson(out, report, translate);
        break;
    }
}

} // namespace formule_cli
