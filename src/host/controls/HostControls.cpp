#include "host/controls/HostControls.h"

#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace controls {

namespace {
double logicalDpi(const QWidget* widget) {
    const QScreen* screen = widget != nullptr ? widget->screen() : nullptr;
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    const double dpi = screen != nullptr ? screen->logicalDotsPerInchX() : 96.0;
    return dpi > 0 ? dpi : 96.0;
}
} // namespace

int twipsToPixels(int twips, const QWidget* widget) {
    return static_cast<int>(std::lround(twips * logicalDpi(widget) / 1440.0));
}

QRect twipsToPixels(const QRect& twips, const QWidget* widget) {
    return {twipsToPixels(twips.x(), widget), twipsToPixels(twips.y(), widget),
            twipsToPixels(twips.width(), widget), twipsToPixels(twips.height(), widget)};
}

int pixelsToTwips(int pixels, const QWidget* widget) {
    return static_cast<int>(std::lround(pixels * 1440.0 / logicalDpi(widget)));
}

VXL_TBARMENU::VXL_TBARMENU(QWidget* parent)
    : QToolButton(parent) {
    setAutoRaise(true);
    setIconSize(QSize(24, 24));
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QToolButton::clicked, this, &VXL_TBARMENU::ButtonClick);
    updateStyle();
}

void VXL_TBARMENU::SetPicture(const QIcon& picture) {
    setIcon(picture);
    updateStyle();
}

void VXL_TBARMENU::SetCaption(const QString& caption) {
    setText(caption);
    updateStyle();
}

void VXL_TBARMENU::updateStyle() {
    if (icon().isNull())
        setToolButtonStyle(Qt::ToolButtonTextOnly);
    else if (text().isEmpty())
        setToolButtonStyle(Qt::ToolButtonIconOnly);
    else
        setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setAutoRaise(!icon().isNull());
}

VXL_TITLEBAR::VXL_TITLEBAR(QWidget* parent)
    : QLabel(parent) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Highlight));
    pal.setColor(QPalette::WindowText, pal.color(QPalette::HighlightedText));
    setPalette(pal);
    QFont f = font();
    f.setBold(true);
    setFont(f);
    setIndent(6);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

VXL_GROUPBOX::VXL_GROUPBOX(QWidget* parent)
    : QGroupBox(parent) {}

VXL_LABEL::VXL_LABEL(QWidget* parent)
    : QLabel(parent) {
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void VXL_LABEL::SetLabelStyle(int style) {
    m_style = style;
    QFont f = parentWidget() != nullptr ? parentWidget()->font() : QFont();
    QPalette pal = parentWidget() != nullptr ? parentWidget()->palette() : QPalette();
    if (style == 1) {
        f.setBold(true);
        f.setPointSizeF(f.pointSizeF() > 0 ? f.pointSizeF() * 1.2 : 11.0);
        pal.setColor(QPalette::WindowText, pal.color(QPalette::Highlight));
    }
    setFont(f);
    setPalette(pal);
}

} // namespace controls
