#pragma once

#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QRect>
#include <QString>
#include <QToolButton>

class QWidget;

namespace controls {

// Twips (1/1440 inch) to pixels at the logical resolution of the widget's screen (of the
// primary screen when the widget has none yet): design positions of the windows are kept in
// twips so they come out the same physical size on every screen.
int twipsToPixels(int twips, const QWidget* widget = nullptr);
QRect twipsToPixels(const QRect& twips, const QWidget* widget = nullptr);
int pixelsToTwips(int pixels, const QWidget* widget = nullptr);

// The host's tool-bar button: a picture, an optional caption (with its '&' access key) and one
// ButtonClick per click. Switched on and off with the widget's enabled state.
class VXL_TBARMENU : public QToolButton {
    Q_OBJECT
    Q_PROPERTY(QIcon Picture READ Picture WRITE SetPicture)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
public:
    explicit VXL_TBARMENU(QWidget* parent = nullptr);
    QIcon Picture() const { return icon(); }
    void SetPicture(const QIcon& picture);
    QString Caption() const { return text(); }
    void SetCaption(const QString& caption);
    // Name of the picture last set by the window (the image-list key), for inspection.
    QString pictureKey() const { return m_pictureKey; }
    void setPictureKey(const QString& key) { m_pictureKey = key; }

signals:
    void ButtonClick();

private:
    void updateStyle();
    QString m_pictureKey;
};

// The host's title bar: a coloured strip with a bold title.
class VXL_TITLEBAR : public QLabel {
    Q_OBJECT
    Q_PROPERTY(QString Title READ Title WRITE SetTitle)
public:
    explicit VXL_TITLEBAR(QWidget* parent = nullptr);
    QString Title() const { return text(); }
    void SetTitle(const QString& title) { setText(title); }
};

// The host's group box: a frame around other controls.
class VXL_GROUPBOX : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ title WRITE setTitle)
public:
    explicit VXL_GROUPBOX(QWidget* parent = nullptr);
};

// The host's label: static, word-wrapped text. LabelStyle 0 is body text, 1 a heading (bold,
// larger, in the title colour of the palette).
class VXL_LABEL : public QLabel {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(int LabelStyle READ LabelStyle WRITE SetLabelStyle)
public:
    explicit VXL_LABEL(QWidget* parent = nullptr);
    QString Caption() const { return text(); }
    void SetCaption(const QString& caption) { setText(caption); }
    int LabelStyle() const { return m_style; }
    void SetLabelStyle(int style);

private:
    int m_style = 0;
};

} // namespace controls
