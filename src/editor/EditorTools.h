#pragma once

#include <QObject>
#include <QPointer>
#include <QVariant>

#include <functional>

class QKeyEvent;

namespace controls {
class VxlRichTextBox;
}

namespace editor {

class FindReplaceBar;
class LineGutter;

// The formula box's editing tools beside the window's prescribed commands: the line numbers'
// gutter, find and replace (Ctrl+R), go to line (Ctrl+G), toggling line comments on the selected
// lines (Ctrl+/), and the zoom of the box (Ctrl++ or Ctrl+=, Ctrl+-, Ctrl+0, Ctrl+wheel), which
// is remembered in the user's settings of the host. Every change of the text goes through
// `recordEdit`, one step of the window's edit history; a read-only box (the technical view, a
// formula that cannot be shown) is never changed.
class EditorTools : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        std::function<QString(const QString&)> translate;
        // Runs an edit of the box as one step of the edit history.
        std::function<void(const std::function<void()>&)> recordEdit;
        // The user's settings of the host; unset (or returning an invalid value) without a host.
        std::function<QVariant(const QString& key)> setting;
        std::function<void(const QString& key, const QVariant& value)> setSetting;
    };

    // The settings key of the zoom, in steps of one point from the box's designed size.
    static constexpr const char* ZoomKey = "editor/zoom";
    static constexpr int MinZoom = -6;
    static constexpr int MaxZoom = 24;

    // `window` holds the box: the keys work wherever the focus is inside it.
    EditorTools(QWidget* window, controls::VxlRichTextBox* box, Hooks hooks);

    LineGutter* gutter() const { return m_gutter; }
    FindReplaceBar* findBar() const { return m_bar; }

    Q_INVOKABLE void toggleComment();
    Q_INVOKABLE void openFind(bool replace);
    Q_INVOKABLE void openGoToLine();

    // Zoom in steps of one point from the designed size, within MinZoom..MaxZoom; `remember`
    // stores it in the user's settings.
    void setZoom(int steps, bool remember = true);
    int zoom() const { return m_zoom; }
    // Reads the remembered zoom; done when the box is first shown, once the host is known.
    void restoreZoom();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Runs the command of a key; true when the key is one of the tools'.
    bool command(const QKeyEvent& key);

    QPointer<QWidget> m_window;
    QPointer<controls::VxlRichTextBox> m_box;
    Hooks m_hooks;
    LineGutter* m_gutter = nullptr;
    FindReplaceBar* m_bar = nullptr;
    qreal m_designedPointSize = 0;
    int m_zoom = 0;
    int m_wheelRest = 0; // eighths of a degree not yet turned into a step
    bool m_restored = false;
};

} // namespace editor
