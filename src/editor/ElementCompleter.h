#pragma once

#include "host/controls/VxlRichTextBox.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

#include <QListWidget>

namespace controls {
class VxlRichTextBox;
}
namespace diagnostics {
class ElementSearch;
}

namespace editor {

// The completion list of the formula box: typing "[", "{" or "|" opens the labels, the
// company's categories or its variants; the list narrows with every character typed (every
// word, in any order); Up and Down choose, Enter or Tab insert the whole element with its
// closing delimiter, Esc closes, Ctrl+Space opens it at the caret. Ctrl+Space after a word that
// is no element offers the engine's keywords and functions (with their arguments) that start
// with it, completing at once when only one does; inserting a function writes its name and "(". The list is a
// child of the box's window drawn over it, so the keyboard focus never leaves the box.
class ElementCompleter : public QObject {
    Q_OBJECT
public:
    explicit ElementCompleter(controls::VxlRichTextBox* box);
    ~ElementCompleter() override;

    // The candidates come from `search` from now on (the window's first activation).
    void setSearch(std::shared_ptr<const diagnostics::ElementSearch> search);
    // Called after an insertion (the window records the history snapshot and the caret).
    void setInserted(std::function<void()> inserted) { m_inserted = std::move(inserted); }

    // Opens the list for the element being typed at the caret, or the labels at the caret.
    void openAtCaret();
    void close();
    bool isOpen() const;
    // Inserts the chosen candidate; false when the list is closed or empty.
    bool insertCurrent();
    QListWidget* list() const { return m_list; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Fragment {
        int start; // document position of the opening delimiter (or of the caret)
        QString text;
        bool word = false; // a keyword or function name being completed
    };
    std::optional<Fragment> fragmentAtCaret() const;
    void refresh();
    void place();

    QPointer<controls::VxlRichTextBox> m_box;
    QListWidget* m_list = nullptr;
    std::shared_ptr<const diagnostics::ElementSearch> m_search;
    std::function<void()> m_inserted;
    bool m_armed = false;   // an opening delimiter was typed: the next change opens the list
    int m_forcedStart = -1; // Ctrl+Space outside an element: the labels from this position
    int m_wordStart = -1;   // Ctrl+Space after a word: keywords and functions from this position
};

} // namespace editor
