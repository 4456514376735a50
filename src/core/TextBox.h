#pragma once

#include <QString>

namespace core {

// What the check, the save and the edit history need from the formula box: its whole text and
// its caret (the start of its selection, in characters from 0). The window implements it over
// its rich-text box; StringTextBox keeps a text in memory for the command-line tool and tests.
class TextBox {
public:
    virtual ~TextBox() = default;
    virtual QString text() const = 0;
    // Replaces the whole text; the caret goes where the box puts it (the start, for the boxes
    // of this system).
    virtual void setText(const QString& text) = 0;
    virtual int selStart() const = 0;
    // Moves the caret; a position beyond the text puts it at the end.
    virtual void setSelStart(int position) = 0;
};

// A formula box that is only a string and a caret.
class StringTextBox : public TextBox {
public:
    StringTextBox() = default;
    explicit StringTextBox(QString text)
        : m_text(std::move(text)) {}

    QString text() const override { return m_text; }
    void setText(const QString& text) override {
        m_text = text;
        m_caret = 0;
    }
    int selStart() const override { return m_caret; }
    void setSelStart(int position) override {
        m_caret = position < 0 ? 0 : (position > m_text.size() ? static_cast<int>(m_text.size()) : position);
    }

    // Types `characters` at the caret, as a user would (the caret moves past them).
    void type(const QString& characters) {
        m_text.insert(m_caret, characters);
        m_caret += static_cast<int>(characters.size());
    }

private:
    QString m_text;
    int m_caret = 0;
};

} // namespace core
