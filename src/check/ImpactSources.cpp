// The rows of an impact preview: the record's test cases, a CSV whose header names the inputs in
// display form, and rows generated from a range per input.

#include "check/Impact.h"
#include "check/ImpactTexts.h"

#include "language/FormulaLanguage.h"
#include "tsql/values/Value.h"

#include <QIODevice>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

#include <thread>

namespace check {

namespace {

QString tr(const TrialTranslateFn& translate, const QString& text) {
    return translate ? translate(text) : text;
}

class CaseSource : public ImpactSource {
public:
    CaseSource(const QList<TestCase>& cases, const TrialTranslateFn& translate)
        : m_cases(cases)
        , m_translate(translate) {}
    std::optional<ImpactRow> next() override {
        if (m_next >= m_cases.size())
            return std::nullopt;
        const TestCase& c = m_cases.at(m_next++);
        return ImpactRow{caseInputs(c).inputs, tr(m_translate, impactmsg::CaseOrigin).arg(c.name)};
    }
    qint64 size() const override { return m_cases.size(); }

private:
    QList<TestCase> m_cases;
    TrialTranslateFn m_translate;
    qsizetype m_next = 0;
};

class ChainedSource : public ImpactSource {
public:
    explicit ChainedSource(std::vector<std::unique_ptr<ImpactSource>> sources)
        : m_sources(std::move(sources)) {}
    std::optional<ImpactRow> next() override {
        while (m_at < m_sources.size()) {
            if (std::optional<ImpactRow> row = m_sources[m_at]->next())
                return row;
            ++m_at;
        }
        return std::nullopt;
    }
    qint64 size() const override {
        qint64 total = 0;
        for (const auto& s : m_sources) {
            if (s->size() < 0)
                return -1;
            total += s->size();
        }
        return total;
    }

private:
    std::vector<std::unique_ptr<ImpactSource>> m_sources;
    size_t m_at = 0;
};

// ---- CSV ----

struct CsvRecord {
    QStringList fields;
    std::vector<int> lines; // the line each field starts on
    int line = 0;
};

// RFC 4180 records read from a device a block at a time: quoted fields may hold the separator,
// doubled quotes and line breaks; a line ends with LF or CR LF.
class CsvReader {
public:
    explicit CsvReader(QIODevice* device)
        : m_device(device) {}

    void restart() {
        m_device->seek(0);
        m_decoder = QStringDecoder(QStringDecoder::Utf8);
        m_buffer.clear();
        m_pos = 0;
        m_line = 1;
        m_end = false;
    }

    // The "#locale=..." line at the start, read and skipped (its value, trimmed), if any.
    std::optional<QString> localeLine(std::optional<ImpactInputError>& error) {
        static const QString marker = QStringLiteral("#locale=");
        while (!m_end && m_buffer.size() - m_pos < marker.size() && fill(error)) {
        }
        if (!QStringView(m_buffer).mid(m_pos).startsWith(marker, Qt::CaseInsensitive))
            return std::nullopt;
        QString value;
        while (true) {
            if (m_pos >= m_buffer.size() && !fill(error))
                break;
            const QChar c = m_buffer.at(m_pos++);
            if (c == u'\n') {
                ++m_line;
                break;
            }
            value += c;
            if (value.size() > 100)
                break;
        }
        return value.mid(marker.size()).trimmed();
    }

    // The separator the header line uses (see MaxCsvRecordChars in Impact.h).
    QChar detectSeparator(std::optional<ImpactInputError>& error) {
        int commas = 0, semicolons = 0, tabs = 0;
        bool quoted = false;
        for (qsizetype i = m_pos;; ++i) {
            if (i >= m_buffer.size()) {
                if (i - m_pos > MaxCsvRecordChars || !fill(error))
                    break;
            }
            if (i >= m_buffer.size())
                break;
            const QChar c = m_buffer.at(i);
            if (c == u'"')
                quoted = !quoted;
            else if (!quoted && (c == u'\n' || c == u'\r'))
                break;
            else if (!quoted && c == u',')
                ++commas;
            else if (!quoted && c == u';')
                ++semicolons;
            else if (!quoted && c == u'\t')
                ++tabs;
        }
        if (semicolons > 0 && commas == 0)
            return u';';
        if (tabs > 0 && commas == 0 && semicolons == 0)
            return u'\t';
        return u',';
    }

    // The next record that is not an empty line: false at the end or on `error`.
    bool next(CsvRecord& record, QChar separator, std::optional<ImpactInputError>& error) {
        while (read(record, separator, error))
            if (record.fields.size() > 1 || !record.fields.first().isEmpty() || m_lastQuoted)
                return true;
        return false;
    }

private:
    bool fill(std::optional<ImpactInputError>& error) {
        if (m_end)
            return false;
        if (m_pos > (1 << 20)) {
            m_buffer.remove(0, m_pos);
            m_pos = 0;
        }
        const QByteArray bytes = m_device->read(1 << 16);
        if (bytes.isEmpty()) {
            m_end = true;
            return false;
        }
        m_buffer += m_decoder.decode(bytes);
        if (m_decoder.hasError()) {
            error = ImpactInputError{m_line, 0, QString()};
            m_end = true;
            return false;
        }
        return true;
    }

    bool more(std::optional<ImpactInputError>& error) { return m_pos < m_buffer.size() || fill(error); }

    // Ends a line at `c` (LF, or CR with an optional LF after it).
    void endLine(QChar c, std::optional<ImpactInputError>& error) {
        if (c == u'\r' && more(error) && m_buffer.at(m_pos) == u'\n')
            ++m_pos;
        ++m_line;
    }

    bool read(CsvRecord& record, QChar separator, std::optional<ImpactInputError>& error);

    QIODevice* m_device;
    QStringDecoder m_decoder{QStringDecoder::Utf8};
    QString m_buffer;
    qsizetype m_pos = 0;
    int m_line = 1;
    bool m_end = false;
    bool m_lastQuoted = false;
};

bool CsvReader::read(CsvRecord& record, QChar separator, std::optional<ImpactInputError>& error) {
    enum class State { Start, Plain, Quoted, AfterQuote };
    record.fields.clear();
    record.lines.clear();
    record.line = m_line;
    m_lastQuoted = false;
    if (!more(error))
        return false;
    State state = State::Start;
    QString field;
    qsizetype chars = 0;
    auto fail = [&](const QString& message) {
        error = ImpactInputError{m_line, int(record.fields.size()) + 1, message};
        return false;
    };
    auto push = [&] {
        record.fields.append(field);
        field.clear();
        state = State::Start;
    };
    while (true) {
        if (!more(error)) {
            if (error)
                return false;
            if (state == State::Quoted)
                return fail(impactmsg::CsvOpenQuote);
            push();
            return true;
        }
        const QChar c = m_buffer.at(m_pos++);
        if (++chars > MaxCsvRecordChars)
            return fail(impactmsg::CsvRecordTooLong);
        switch (state) {
        case State::Start:
            record.lines.push_back(m_line);
            if (c == u'"') {
                state = State::Quoted;
                m_lastQuoted = true;
                break;
            }
            state = State::Plain;
            [[fallthrough]];
        case State::Plain:
            if (c == separator) {
                push();
            } else if (c == u'\n' || c == u'\r') {
                endLine(c, error);
                push();
                return true;
            } else if (c == u'"') {
                return fail(impactmsg::CsvStrayQuote);
            } else {
                field += c;
                // The rest of the field as far as the buffer holds it, in one piece.
                const QChar* data = m_buffer.constData();
                qsizetype end = m_pos;
                while (end < m_buffer.size() && data[end] != separator && data[end] != u'\n' &&
                       data[end] != u'\r' && data[end] != u'"')
                    ++end;
                chars += end - m_pos;
                if (chars > MaxCsvRecordChars)
                    return fail(impactmsg::CsvRecordTooLong);
                field.append(QStringView(m_buffer).mid(m_pos, end - m_pos));
                m_pos = end;
            }
            break;
        case State::Quoted:
            if (c == u'"') {
                state = State::AfterQuote;
            } else {
                if (c == u'\n' || (c == u'\r' && !(more(error) && m_buffer.at(m_pos) == u'\n')))
                    ++m_line;
                field += c;
            }
            break;
        case State::AfterQuote:
            if (c == u'"') {
                field += c;
                state = State::Quoted;
            } else if (c == separator) {
                push();
            } else if (c == u'\n' || c == u'\r') {
                endLine(c, error);
                push();
                return true;
            } else {
                return fail(impactmsg::CsvAfterQuote);
            }
            break;
        }
    }
}

// A message of the reader (Italian, as it stores it) in the user's language.
QString readerMessage(const QString& message, const TrialTranslateFn& translate) {
    if (message.isEmpty())
        return tr(translate, impactmsg::CsvNotText);
    if (message == impactmsg::CsvRecordTooLong)
        return tr(translate, message).arg(MaxCsvRecordChars);
    return tr(translate, message);
}

enum class Form { C, Italian, English };

// A number as the C locale writes it, from its form in the file's language; nullopt when it is
// written in another form (a decimal comma in C, a point that groups no thousands in Italian).
std::optional<QString> cNumber(const QString& text, Form form) {
    thread_local const QRegularExpression italian(QStringLiteral("^[+-]?\\d{1,3}(\\.\\d{3})+(,\\d*)?$"));
    thread_local const QRegularExpression english(QStringLiteral("^[+-]?\\d{1,3}(,\\d{3})+(\\.\\d*)?$"));
    const QString t = text.trimmed();
    switch (form) {
    case Form::C:
        if (t.contains(u','))
            return std::nullopt;
        return t;
    case Form::Italian:
        if (t.contains(u'.')) {
            if (!italian.match(t).hasMatch())
                return std::nullopt;
            return QString(t).remove(u'.').replace(u',', u'.');
        }
        return QString(t).replace(u',', u'.');
    case Form::English:
        if (t.contains(u',')) {
            if (!english.match(t).hasMatch())
                return std::nullopt;
            return QString(t).remove(u',');
        }
        return t;
    }
    return t;
}

// The texts of a column that fitted its element, at most MaxKnown of them; after the first
// sample of lookups, a column whose texts repeated less than a quarter of the time keeps none.
class FittingTexts {
public:
    bool known(const QString& text) {
        if (!m_keeping)
            return false;
        ++m_lookups;
        if (m_texts.contains(text)) {
            ++m_hits;
            return true;
        }
        if (m_lookups == Sample && m_hits * 4 < m_lookups) {
            m_keeping = false;
            m_texts.clear();
        }
        return false;
    }
    void add(const QString& text) {
        if (!m_keeping)
            return;
        if (m_texts.size() >= MaxKnown)
            m_texts.clear();
        m_texts.insert(text);
    }

private:
    static constexpr qsizetype MaxKnown = 1024;
    static constexpr qint64 Sample = 4096;
    QSet<QString> m_texts;
    qint64 m_lookups = 0, m_hits = 0;
    bool m_keeping = true;
};

class CsvSource : public ImpactSource {
public:
    CsvSource(QIODevice* device, const TrialTranslateFn& translate)
        : m_reader(device)
        , m_translate(translate) {}

    std::optional<ImpactInputError> open(const ImpactElementFn& elements, ImpactNumbers numbers);
    std::optional<ImpactRow> next() override;
    qint64 size() const override { return m_rows; }

private:
    // The row's inputs from a record, or why a value is not written as the file's language
    // writes it (its column, 1-based).
    std::optional<ImpactInputError> rowOf(const CsvRecord& record, QList<TrialInput>& inputs,
                                          const TrialTranslateFn& translate) const;
    // The same, and whether every value fits its element. `fits`, when given, keeps by column
    // the texts that fitted (a file's columns repeat their values; whether a text fits depends on
    // its element alone): those are not read again.
    std::optional<ImpactInputError> checkRecord(const CsvRecord& record, const TrialTranslateFn& translate,
                                                std::vector<FittingTexts>* fits = nullptr) const;
    std::optional<ImpactInputError> start(const ImpactElementFn* elements, ImpactNumbers numbers);

    CsvReader m_reader;
    TrialTranslateFn m_translate;
    QChar m_separator = u',';
    Form m_form = Form::C;
    QList<TrialElement> m_columns;
    QList<bool> m_numeric, m_date;
    qint64 m_rows = 0;
    CsvRecord m_record;
};

// Reads the locale line and the header (the columns' elements when `elements` is given).
std::optional<ImpactInputError> CsvSource::start(const ImpactElementFn* elements, ImpactNumbers numbers) {
    m_reader.restart();
    std::optional<ImpactInputError> error;
    const std::optional<QString> locale = m_reader.localeLine(error);
    if (elements) {
        m_form = Form::C;
        if (numbers == ImpactNumbers::Language)
            m_form = tr(m_translate, impactmsg::LanguageCode) == QLatin1String("en") ? Form::English
                                                                                     : Form::Italian;
        if (locale) {
            const QString l = locale->toLower();
            if (l == QLatin1String("c"))
                m_form = Form::C;
            else if (l == QLatin1String("it"))
                m_form = Form::Italian;
            else if (l == QLatin1String("en"))
                m_form = Form::English;
            else
                return ImpactInputError{1, 0, tr(m_translate, impactmsg::CsvBadLocale).arg(*locale)};
        }
    }
    if (!error)
        m_separator = m_reader.detectSeparator(error);
    CsvRecord header;
    if (!error && !m_reader.next(header, m_separator, error) && !error)
        return ImpactInputError{0, 0, tr(m_translate, impactmsg::CsvEmpty)};
    if (error) {
        error->message = readerMessage(error->message, m_translate);
        return error;
    }
    if (!elements)
        return std::nullopt;
    for (qsizetype i = 0; i < header.fields.size(); ++i) {
        const QString name = header.fields.at(i).trimmed();
        const int column = int(i) + 1;
        if (name.isEmpty())
            return ImpactInputError{header.line, column, tr(m_translate, impactmsg::CsvEmptyHeader)};
        const std::optional<TrialElement> element = (*elements)(name);
        if (!element)
            return ImpactInputError{header.line, column,
                                    tr(m_translate, impactmsg::CsvUnknownHeader).arg(name)};
        if (m_columns.contains(*element))
            return ImpactInputError{header.line, column,
                                    tr(m_translate, impactmsg::CsvDuplicateHeader).arg(name)};
        m_columns.append(*element);
        const std::optional<tsql::SqlType> type =
            element->kind == TrialElement::Kind::Variable ? tsql::parseTypeName(element->type) : std::nullopt;
        m_numeric.append(type && type->isNumeric());
        m_date.append(type && type->isDate());
    }
    return std::nullopt;
}

std::optional<ImpactInputError> CsvSource::rowOf(const CsvRecord& record, QList<TrialInput>& inputs,
                                                 const TrialTranslateFn& translate) const {
    inputs.clear();
    if (record.fields.size() != m_columns.size())
        return ImpactInputError{
            record.line, int(std::min(record.fields.size(), m_columns.size())) + 1,
            tr(translate, impactmsg::CsvWidth).arg(record.fields.size()).arg(m_columns.size())};
    inputs.reserve(m_columns.size());
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        const TrialElement& element = m_columns.at(i);
        QString text = record.fields.at(i);
        if (m_numeric.at(i) && !text.trimmed().isEmpty()) {
            std::optional<QString> c = cNumber(text, m_form);
            if (!c)
                return ImpactInputError{record.lines[size_t(i)], int(i) + 1,
                                        tr(translate, impactmsg::CsvNumberForm).arg(text, element.type)};
            text = *c;
        } else if (m_date.at(i) && m_form != Form::Italian && text.contains(u'/')) {
            return ImpactInputError{record.lines[size_t(i)], int(i) + 1,
                                    tr(translate, impactmsg::CsvDateForm).arg(text)};
        }
        inputs.append({element, text});
    }
    return std::nullopt;
}

std::optional<ImpactInputError> CsvSource::checkRecord(const CsvRecord& record,
                                                       const TrialTranslateFn& translate,
                                                       std::vector<FittingTexts>* fits) const {
    QList<TrialInput> inputs;
    if (std::optional<ImpactInputError> e = rowOf(record, inputs, translate))
        return e;
    if (fits)
        fits->resize(size_t(inputs.size()));
    for (qsizetype i = 0; i < inputs.size(); ++i) {
        const TrialInput& input = inputs.at(i);
        if (fits && (*fits)[size_t(i)].known(input.text))
            continue;
        const QString problem = trialLiteral(input.element, input.text, translate).error;
        if (!problem.isEmpty())
            return ImpactInputError{
                record.lines[size_t(i)], int(i) + 1,
                tr(translate, impactmsg::CsvValue).arg(trialLabel(input.element, translate), problem)};
        if (fits)
            (*fits)[size_t(i)].add(input.text);
    }
    return std::nullopt;
}

std::optional<ImpactInputError> CsvSource::open(const ImpactElementFn& elements, ImpactNumbers numbers) {
    if (std::optional<ImpactInputError> e = start(&elements, numbers))
        return e;
    // Every row read and its values checked before the first one is given: the records are read
    // here two blocks at a time, the second block checked on a thread of its own meanwhile (in
    // Italian: the message of the first flaw is made again in the user's language).
    constexpr size_t Block = 2048;
    std::optional<ImpactInputError> error;
    std::vector<CsvRecord> blocks[2];
    bool more = true;
    std::vector<FittingTexts> fits[2]; // one a checking thread, kept from block to block
    auto firstFlaw = [this](const std::vector<CsvRecord>& block,
                            std::vector<FittingTexts>& kept) -> std::optional<size_t> {
        for (size_t i = 0; i < block.size(); ++i)
            if (checkRecord(block[i], {}, &kept))
                return i;
        return std::nullopt;
    };
    while (more) {
        for (std::vector<CsvRecord>& block : blocks) {
            block.clear();
            while (more && block.size() < Block) {
                CsvRecord record;
                more = m_reader.next(record, m_separator, error);
                if (more)
                    block.push_back(std::move(record));
            }
        }
        std::optional<size_t> second;
        std::thread checker([&] { second = firstFlaw(blocks[1], fits[1]); });
        const std::optional<size_t> first = firstFlaw(blocks[0], fits[0]);
        checker.join();
        if (first)
            return checkRecord(blocks[0][*first], m_translate);
        if (second)
            return checkRecord(blocks[1][*second], m_translate);
        m_rows += qint64(blocks[0].size() + blocks[1].size());
    }
    if (error) {
        error->message = readerMessage(error->message, m_translate);
        return error;
    }
    start(nullptr, numbers);
    return std::nullopt;
}

std::optional<ImpactRow> CsvSource::next() {
    std::optional<ImpactInputError> error;
    if (!m_reader.next(m_record, m_separator, error))
        return std::nullopt;
    ImpactRow row;
    if (rowOf(m_record, row.inputs, m_translate))
        return std::nullopt; // the device changed since it was read: the rows end here
    row.origin = tr(m_translate, impactmsg::LineOrigin).arg(m_record.line);
    return row;
}

} // namespace

ImpactElementFn languageElements(language::FormulaLanguage& language, const TrialTranslateFn& translate) {
    return [&language, translate](const QString& name) -> std::optional<TrialElement> {
        const QString trimmed = name.trimmed();
        if (!trimmed.startsWith(u'{') && !trimmed.startsWith(u'|'))
            return elementNamed(trimmed, translate);
        const QString sql = language.decodeToken(trimmed, false);
        if (language.lastErrorCount() > 0)
            return std::nullopt;
        const QList<TrialElement> elements = trialElements(sql);
        if (elements.size() != 1 || elements.first().kind == TrialElement::Kind::Variable)
            return std::nullopt;
        return elements.first();
    };
}

std::unique_ptr<ImpactSource> caseRows(const QList<TestCase>& cases, const TrialTranslateFn& translate) {
    return std::make_unique<CaseSource>(cases, translate);
}

std::unique_ptr<ImpactSource> chainedRows(std::vector<std::unique_ptr<ImpactSource>> sources) {
    return std::make_unique<ChainedSource>(std::move(sources));
}

std::variant<std::unique_ptr<ImpactSource>, ImpactInputError> csvRows(QIODevice* device,
                                                                      const ImpactElementFn& elements,
                                                                      ImpactNumbers numbers,
                                                                      const TrialTranslateFn& translate) {
    auto source = std::make_unique<CsvSource>(device, translate);
    if (std::optional<ImpactInputError> error = source->open(elements, numbers))
        return *error;
    return std::unique_ptr<ImpactSource>(std::move(source));
}

} // namespace check
