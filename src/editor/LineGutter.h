#pragma once

#include <QPointer>
#include <QWidget>

namespace controls {
class VxlRichTextBox;
}

namespace editor {

// The line numbers of the formula box, in a gutter at its left edge (left of the margin of the
// trial's marks). Its width follows the number of lines and the box's font (the zoom); its
// colours come from the box's palette; the caret's line is drawn in the text colour, the others
// quieter. A click on a number puts the caret at the start of that line.
class LineGutter : public QWidget {
    Q_OBJECT
public:
    explicit LineGutter(controls::VxlRichTextBox* box);

    // The width the gutter takes for a text of `lines` lines in the box's font.
    int widthFor(int lines) const;
    // The line (from 1) whose number is drawn at `y` of the gutter, 0 for none.
    int lineAt(int y) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateWidth();
    void place();

    QPointer<controls::VxlRichTextBox> m_box;
};

} // namespace editor
