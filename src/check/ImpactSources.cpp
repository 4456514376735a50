// The rows of an impact preview: the record's test cases, a CSV whose header names the inputs in
// display form, and rows generated from a range per input.

#include "check/Impact.h"
#include "check/ImpactTexts.h"
#include "check/TrialTexts.h"

#include "language/FormulaLanguage.h"
#include "tsql/values/Value.h"

#include <QHash>
#include <QIODevice>
#include <QRegularExpression>
#include <QStringDecoder>

#include <utility>

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
    std::optional<ImpactRow> next() override { return nextFilled(); }
    bool nextInto(ImpactRow& row) override {
        while (m_at < m_sources.size()) {
            if (m_sources[m_at]->nextInto(row))
                return true;
            if (m_sources[m_at]->failure())
                return false; // a flaw ends every row
            ++m_at;
        }
        return false;
    }
    std::optional<ImpactInputError> failure() const override {
        return m_at < m_sources.size() ? m_sources[m_at]->failure() : std::nullopt;
    }
    std::optional<ImpactInputError> check() override {
        for (const auto& s : m_sources)
            if (std::optional<ImpactInputError> e = s->check())
                return e;
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

// A record's fields: the first `count` of `views`. A field written plain is a view of the
// reader's buffer, valid until the next record is read; a quoted one is undone into `quoted`, whose
// strings keep their storage for the next records.
struct CsvRecord {
    std::vector<QStringView> views;
    std::vector<QString> quoted;
    qsizetype count = 0;
    std::vector<int> lines; // the line each field starts on
    int line = 0;
    QStringView field(qsizetype i) const { return views[size_t(i)]; }
};

// RFC 4180 records read from a device a block at a time: quoted fields may hold the separator,
// doubled quotes and line breaks; a line ends with LF or CR LF.
class CsvReader {
public:
    explicit CsvReader(QIODevice* device)
        : m_device(device) {}

    const QIODevice* device() const { return m_device; }

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
        const qsizetype end = holdRecord(error);
        for (qsizetype i = m_pos; i < end; ++i) {
            const QChar c = m_buffer.at(i);
            if (c == u'"')
                quoted = !quoted;
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
            if (record.count > 1 || !record.field(0).isEmpty() || m_lastQuoted)
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

    // Reads ahead until the buffer holds the record that starts at m_pos whole (its line end and
    // the character after a CR), or the input's end, or more than a record may hold: the record's
    // fields are then read with no reading in between, and its plain fields are views of the
    // buffer. The place of its line end (or of the end of what the buffer holds).
    qsizetype holdRecord(std::optional<ImpactInputError>& error) {
        bool quoted = false;
        for (qsizetype i = m_pos;; ++i) {
            if (i + 1 >= m_buffer.size()) { // the character after i too, for a CR
                const qsizetype offset = i - m_pos;
                if (offset > MaxCsvRecordChars + 2 || !fill(error)) // m_pos may move
                    return m_buffer.size();
                i = m_pos + offset - 1;
                continue;
            }
            const QChar c = m_buffer.at(i);
            if (c == u'"')
                quoted = !quoted;
            else if (!quoted && (c == u'\n' || c == u'\r'))
                return i;
        }
    }

    // Ends a line at `c` (LF, or CR with an optional LF after it).
    void endLine(QChar c) {
        if (c == u'\r' && m_pos < m_buffer.size() && m_buffer.at(m_pos) == u'\n')
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
    record.count = 0;
    record.lines.clear();
    record.line = m_line;
    m_lastQuoted = false;
    if (!more(error))
        return false;
    holdRecord(error);
    if (error)
        return false;
    State state = State::Start;
    qsizetype from = m_pos; // where a plain field starts in the buffer
    // A quoted field is undone into the record's next string (emptied, its storage kept).
    auto quotedField = [&record]() -> QString& {
        if (size_t(record.count) >= record.quoted.size())
            record.quoted.resize(size_t(record.count) + 1);
        QString& f = record.quoted[size_t(record.count)];
        f.resize(0);
        return f;
    };
    QString* field = nullptr;
    qsizetype chars = 0;
    auto fail = [&](const QString& message) {
        error = ImpactInputError{m_line, int(record.count) + 1, message};
        return false;
    };
    // Ends the field: a plain one ends before `end`.
    auto push = [&](qsizetype end) {
        if (size_t(record.count) >= record.views.size())
            record.views.resize(size_t(record.count) + 1);
        record.views[size_t(record.count)] =
            state == State::AfterQuote ? QStringView(*field) : QStringView(m_buffer).mid(from, end - from);
        ++record.count;
        state = State::Start;
        from = m_pos;
    };
    while (true) {
        if (m_pos >= m_buffer.size()) { // the input's end (the record is held whole)
            if (state == State::Quoted)
                return fail(impactmsg::CsvOpenQuote);
            push(m_pos);
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
                field = &quotedField();
                break;
            }
            state = State::Plain;
            from = m_pos - 1;
            [[fallthrough]];
        case State::Plain:
            if (c == separator) {
                push(m_pos - 1);
            } else if (c == u'\n' || c == u'\r') {
                const qsizetype end = m_pos - 1;
                endLine(c);
                push(end);
                return true;
            } else if (c == u'"') {
                return fail(impactmsg::CsvStrayQuote);
            } else {
                // The rest of the field in one step.
                const QChar* data = m_buffer.constData();
                qsizetype end = m_pos;
                while (end < m_buffer.size() && data[end] != separator && data[end] != u'\n' &&
                       data[end] != u'\r' && data[end] != u'"')
                    ++end;
                chars += end - m_pos;
                if (chars > MaxCsvRecordChars)
                    return fail(impactmsg::CsvRecordTooLong);
                m_pos = end;
            }
            break;
        case State::Quoted:
            if (c == u'"') {
                state = State::AfterQuote;
            } else {
                if (c == u'\n' || (c == u'\r' && !(m_pos < m_buffer.size() && m_buffer.at(m_pos) == u'\n')))
                    ++m_line;
                *field += c;
            }
            break;
        case State::AfterQuote:
            if (c == u'"') {
                *field += c;
                state = State::Quoted;
            } else if (c == separator) {
                push(m_pos);
            } else if (c == u'\n' || c == u'\r') {
                endLine(c);
                push(m_pos);
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
std::optional<QString> cNumber(QStringView text, Form form) {
    thread_local const QRegularExpression italian(QStringLiteral("^[+-]?\\d{1,3}(\\.\\d{3})+(,\\d*)?$"));
    thread_local const QRegularExpression english(QStringLiteral("^[+-]?\\d{1,3}(,\\d{3})+(\\.\\d*)?$"));
    const QStringView t = text.trimmed();
    switch (form) {
    case Form::C:
        if (t.contains(u','))
            return std::nullopt;
        break;
    case Form::Italian:
        if (t.contains(u'.')) {
            if (!italian.match(t).hasMatch())
                return std::nullopt;
            return t.toString().remove(u'.').replace(u',', u'.');
        }
        return t.toString().replace(u',', u'.');
    case Form::English:
        if (t.contains(u',')) {
            if (!english.match(t).hasMatch())
                return std::nullopt;
            return t.toString().remove(u',');
        }
        break;
    }
    return t.toString();
}

} // namespace

bool ColumnTextStore::append(const QString& text) {
    if (m_size >= MaxTexts)
        return false;
    std::unique_ptr<QString[]>& chunk = m_chunks[size_t(m_size / ChunkTexts)];
    if (!chunk)
        chunk = std::make_unique<QString[]>(size_t(ChunkTexts));
    chunk[size_t(m_size % ChunkTexts)] = text;
    ++m_size;
    return true;
}

namespace {

// A file's columns repeat their values: each column keeps the texts it met, each once, and a row
// names them by their place. A column stops keeping texts once it holds ColumnTextStore::MaxTexts,
// once the texts kept by all columns reach MaxCodes, or when its first rows hardly repeat (a
// file's prices, all different): its later rows carry their texts. Memory stays bounded whatever
// the file; the texts kept stay, for the rows already given.
class ColumnTexts {
public:
    static constexpr qsizetype MaxCodes = 1 << 18;
    static constexpr qint64 TrialRows = 4096;

    // The code of `raw` (the cell as written), -1 when the column does not know it.
    qint32 find(QStringView raw) const {
        if (m_raw.empty())
            return -1;
        const quint32 hash = hashOf(raw);
        for (size_t i = hash & (m_slots.size() - 1);; i = (i + 1) & (m_slots.size() - 1)) {
            const Slot& slot = m_slots[i];
            if (slot.code < 0)
                return -1;
            if (slot.hash == hash && slot.holds(raw, m_raw))
                return slot.code;
        }
    }
    // Keeps `raw`, whose value (as the C locale writes it) is `value`, in `store`: its code, or -1
    // when the column keeps no more texts. `kept` counts the texts every column keeps.
    qint32 add(QStringView raw, const QString& value, ColumnTextStore& store, qsizetype& kept) {
        if (!m_coding)
            return -1;
        if (kept >= MaxCodes || (m_rows >= TrialRows && store.size() * 4 > m_rows * 3) ||
            !store.append(value)) {
            m_coding = false;
            return -1;
        }
        const auto code = qint32(store.size() - 1);
        m_raw.push_back(raw.toString());
        if (m_raw.size() * 2 > m_slots.size()) { // at most half full: short probes
            std::vector<Slot> old =
                std::exchange(m_slots, std::vector<Slot>(std::max<size_t>(64, m_slots.size() * 2)));
            for (const Slot& slot : old)
                if (slot.code >= 0)
                    place(slot);
        }
        place(Slot::of(hashOf(raw), code, raw));
        ++kept;
        return code;
    }
    // A row was read: the count the repetition is judged over.
    void counted() { ++m_rows; }

private:
    // The table of the codes, found by a view of the record's field with no string made for it:
    // open addressing over a power of two of slots, each the text's hash and its code (the text
    // itself in m_raw), so that a look-up reads one slot or a few next to it.
    // A short text (most cells) is kept in its slot too: a look-up then compares it there,
    // without reading the text kept apart.
    struct Slot {
        static constexpr qsizetype Inline = 11;
        quint32 hash = 0;
        qint32 code = -1;   // -1: free
        qint16 length = -1; // of the text in `text`; -1: too long, see the kept text
        char16_t text[Inline] = {};

        static Slot of(quint32 hash, qint32 code, QStringView raw) {
            Slot slot{hash, code};
            if (raw.size() <= Inline) {
                slot.length = qint16(raw.size());
                std::copy(raw.utf16(), raw.utf16() + raw.size(), slot.text);
            }
            return slot;
        }
        bool holds(QStringView raw, const std::vector<QString>& kept) const {
            if (length < 0)
                return kept[size_t(code)] == raw;
            return raw.size() == length && std::equal(text, text + length, raw.utf16());
        }
    };
    static quint32 hashOf(QStringView text) {
        return quint32(qHash(text, size_t(0x9e3779b97f4a7c15u))); // any seed but 0, which hashes slowly
    }
    void place(Slot slot) {
        size_t i = slot.hash & (m_slots.size() - 1);
        while (m_slots[i].code >= 0)
            i = (i + 1) & (m_slots.size() - 1);
        m_slots[i] = slot;
    }

    std::vector<Slot> m_slots;
    std::vector<QString> m_raw; // by code: the cell as written
    qint64 m_rows = 0;
    bool m_coding = true;
};

class CsvSource : public ImpactSource {
public:
    CsvSource(QIODevice* device, const TrialTranslateFn& translate, TrialReading language)
        : m_reader(device)
        , m_translate(translate)
        , m_language(language) {}

    std::optional<ImpactInputError> open(const ImpactElementFn& elements, ImpactNumbers numbers);
    std::optional<ImpactRow> next() override { return nextFilled(); }
    bool nextInto(ImpactRow& row) override;
    qint64 size() const override;
    std::optional<ImpactInputError> failure() const override { return m_failure; }
    std::optional<ImpactInputError> check() override;

private:
    // The value of column `i`'s cell as the C locale writes it, or why it is not written as the
    // file's language writes it.
    std::variant<QString, ImpactInputError> valueOf(const CsvRecord& record, qsizetype i) const;
    // The record as a coded row (the code of each cell's text, the C-locale value of a cell whose
    // text its column does not keep), or why it is not one the rows can take: its width, a value
    // not written as the file writes them or not fitting its element.
    std::optional<ImpactInputError> code(const CsvRecord& record, ImpactRow& row);
    std::optional<ImpactInputError> start(const ImpactElementFn* elements, ImpactNumbers numbers);

    CsvReader m_reader;
    TrialTranslateFn m_translate;
    TrialReading m_language;
    QChar m_separator = u',';
    Form m_form = Form::C;
    QList<TrialElement> m_columns;
    QList<bool> m_numeric, m_date;
    std::vector<std::optional<tsql::SqlType>> m_types; // of the variables' columns
    std::vector<ColumnTexts> m_texts;
    qsizetype m_kept = 0;
    std::shared_ptr<ImpactColumns> m_coded; // the columns' elements and the texts they keep
    QString m_origin;
    qint64 m_given = 0;           // rows given so far
    std::optional<qint64> m_rows; // every row, once check() read them
    std::optional<ImpactInputError> m_failure;
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
            m_form = m_language == TrialReading::English ? Form::English : Form::Italian;
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
    for (qsizetype i = 0; i < header.count; ++i) {
        const QString name = header.field(i).trimmed().toString();
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
        m_types.push_back(type);
        m_numeric.append(type && type->isNumeric());
        m_date.append(type && type->isDate());
    }
    m_texts.resize(size_t(m_columns.size()));
    return std::nullopt;
}

std::variant<QString, ImpactInputError> CsvSource::valueOf(const CsvRecord& record, qsizetype i) const {
    const QStringView text = record.field(i);
    if (m_numeric.at(i) && !text.trimmed().isEmpty()) {
        if (std::optional<QString> c = cNumber(text, m_form))
            return *c;
        return ImpactInputError{record.lines[size_t(i)], int(i) + 1,
                                tr(m_translate, impactmsg::CsvNumberForm).arg(text, m_columns.at(i).type)};
    }
    if (m_date.at(i) && text.contains(u'/')) {
        if (m_form == Form::C)
            return ImpactInputError{record.lines[size_t(i)], int(i) + 1,
                                    tr(m_translate, impactmsg::CsvDateForm).arg(text)};
        // The language's day and month, kept as yyyy-mm-dd: the rows read it whatever the language.
        const bool english = m_form == Form::English;
        if (const std::optional<QDateTime> dt =
                typedDate(text.trimmed().toString(), english ? TrialReading::English : TrialReading::Italian))
            return storedDateText(*dt);
        return ImpactInputError{
            record.lines[size_t(i)], int(i) + 1,
            tr(m_translate, impactmsg::CsvValue)
                .arg(trialLabel(m_columns.at(i), m_translate),
                     tr(m_translate, english ? trialmsg::NotADateMonthFirst : trialmsg::NotADate)
                         .arg(text.trimmed()))};
    }
    return text.toString();
}

std::optional<ImpactInputError> CsvSource::code(const CsvRecord& record, ImpactRow& row) {
    if (record.count != m_columns.size())
        return ImpactInputError{record.line, int(std::min(record.count, m_columns.size())) + 1,
                                tr(m_translate, impactmsg::CsvWidth).arg(record.count).arg(m_columns.size())};
    row.codes.resize(size_t(record.count));
    for (qsizetype i = 0; i < record.count; ++i) {
        ColumnTexts& texts = m_texts[size_t(i)];
        texts.counted();
        qint32& code = row.codes[size_t(i)];
        code = texts.find(record.field(i));
        if (code >= 0)
            continue;
        std::variant<QString, ImpactInputError> value = valueOf(record, i);
        if (const auto* e = std::get_if<ImpactInputError>(&value))
            return *e;
        QString& text = std::get<QString>(value);
        const TrialElement& element = m_columns.at(i);
        const std::optional<tsql::SqlType>& type = m_types[size_t(i)];
        std::optional<tsql::Value> number = type ? trialPlainNumber(*type, text) : std::nullopt;
        const QString problem = number ? QString() : trialLiteral(element, text, m_translate).error;
        if (!problem.isEmpty())
            return ImpactInputError{
                record.lines[size_t(i)], int(i) + 1,
                tr(m_translate, impactmsg::CsvValue).arg(trialLabel(element, m_translate), problem)};
        code = texts.add(record.field(i), text, m_coded->texts[size_t(i)], m_kept);
        if (code >= 0)
            continue;
        if (row.cells.isEmpty())
            row.cells.resize(m_columns.size());
        row.cells[i] = std::move(text);
        if (number)
            row.numbers.emplace_back(qint32(i), std::move(*number));
    }
    return std::nullopt;
}

std::optional<ImpactInputError> CsvSource::open(const ImpactElementFn& elements, ImpactNumbers numbers) {
    if (std::optional<ImpactInputError> e = start(&elements, numbers))
        return e;
    m_coded = std::make_shared<ImpactColumns>();
    m_coded->elements = m_columns;
    m_coded->texts.resize(size_t(m_columns.size()));
    m_origin = tr(m_translate, impactmsg::LineOrigin);
    return std::nullopt;
}

std::optional<ImpactInputError> CsvSource::check() {
    if (m_rows || m_failure || m_given > 0)
        return m_failure;
    // Every row is read and coded, then the rows are given again from the first: they find their
    // texts kept.
    while (next()) {
    }
    if (m_failure)
        return m_failure;
    m_rows = std::exchange(m_given, 0);
    m_reader.restart();
    start(nullptr, ImpactNumbers::C);
    return std::nullopt;
}

// A row given before leaves its lists: a coded row reads its cells only where its codes say it
// carries its text, and every such cell is set again.
bool CsvSource::nextInto(ImpactRow& row) {
    if (m_failure)
        return false;
    std::optional<ImpactInputError> error;
    if (!m_reader.next(m_record, m_separator, error)) {
        if (error) {
            error->message = readerMessage(error->message, m_translate);
            m_failure = error;
        }
        return false;
    }
    row.inputs.clear();
    row.numbers.clear();
    if ((m_failure = code(m_record, row)))
        return false;
    row.origin = m_origin;
    row.number = m_record.line;
    row.columns = m_coded;
    ++m_given;
    return true;
}

qint64 CsvSource::size() const {
    if (m_rows)
        return *m_rows;
    // The rows given so far, in proportion of the bytes read to the file's.
    const QIODevice* device = m_reader.device();
    const qint64 read = device->pos();
    if (m_given == 0 || read <= 0)
        return -1;
    return std::max(m_given, qint64(double(m_given) * double(device->size()) / double(read)));
}

} // namespace

void completeRow(ImpactRow& row) {
    if (row.coded()) {
        const ImpactColumns& columns = *row.columns;
        row.inputs.clear();
        row.inputs.reserve(columns.elements.size());
        for (qsizetype i = 0; i < columns.elements.size(); ++i)
            row.inputs.append({columns.elements.at(i), columns.text(row, i)});
        row.columns.reset();
        row.codes = {};
        row.cells = {};
    }
    if (row.number >= 0) {
        row.origin = row.origin.arg(row.number);
        row.number = -1;
    }
}

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

std::variant<std::unique_ptr<ImpactSource>, ImpactInputError>
csvRows(QIODevice* device, const ImpactElementFn& elements, ImpactNumbers numbers,
        const TrialTranslateFn& translate, TrialReading language) {
    auto source = std::make_unique<CsvSource>(device, translate, language);
    if (std::optional<ImpactInputError> error = source->open(elements, numbers))
        return *error;
    return std::unique_ptr<ImpactSource>(std::move(source));
}

} // namespace check
