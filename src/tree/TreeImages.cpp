#include "tree/TreeImages.h"

#include <QPainter>
#include <QPainterPath>

namespace tree {

namespace {

const QColor Outline(90, 90, 90);
const QColor FolderFill(240, 200, 90);
const QColor FolderBack(214, 168, 60);
const QColor FieldFill(90, 140, 210);
const QColor FieldSelFill(235, 120, 40);
const QColor OperatorFill(70, 160, 90);

// A closed folder: the branches of the tree.
void drawFolder(QPainter& p, bool open) {
    QPainterPath back;
    back.moveTo(2.5, 5.5);
    back.lineTo(9.5, 5.5);
    back.lineTo(11.5, 7.5);
    back.lineTo(21.5, 7.5);
    back.lineTo(21.5, 19.5);
    back.lineTo(2.5, 19.5);
    back.closeSubpath();
    p.setPen(QPen(Outline, 1));
    p.setBrush(FolderBack);
    p.drawPath(back);
    if (open) {
        // The front flap tilted forward, with the lines of a list inside.
        p.setPen(QPen(Qt::white, 1.5));
        for (int y = 10; y <= 14; y += 2)
            p.drawLine(QPointF(6, y), QPointF(18, y));
        QPolygonF flap;
        flap << QPointF(4.5, 12.5) << QPointF(22.5, 12.5) << QPointF(20.5, 19.5) << QPointF(2.5, 19.5);
        p.setPen(QPen(Outline, 1));
        p.setBrush(FolderFill);
        p.drawPolygon(flap);
    } else {
        p.setBrush(FolderFill);
        p.drawRect(QRectF(2.5, 9.5, 19, 10));
    }
}

// A field label: a rounded tag with brackets, blue or (selected) orange.
void drawField(QPainter& p, const QColor& fill) {
    p.setPen(QPen(fill.darker(140), 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(2.5, 5.5, 19, 13), 3, 3);
    p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF{QPointF(8, 8.5), QPointF(6, 8.5), QPointF(6, 15.5), QPointF(8, 15.5)});
    p.drawPolyline(QPolygonF{QPointF(16, 8.5), QPointF(18, 8.5), QPointF(18, 15.5), QPointF(16, 15.5)});
    p.drawLine(QPointF(10, 12), QPointF(14, 12));
}

// An operator: a green disc with plus and minus signs.
void drawOperator(QPainter& p) {
    p.setPen(QPen(OperatorFill.darker(140), 1));
    p.setBrush(OperatorFill);
    p.drawEllipse(QRectF(2.5, 2.5, 19, 19));
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(6, 9), QPointF(12, 9));
    p.drawLine(QPointF(9, 6), QPointF(9, 12));
    p.drawLine(QPointF(12, 15.5), QPointF(18, 15.5));
}

// The expand/collapse button: a framed box with a minus or a plus sign.
void drawToggle(QPainter& p, bool plus) {
    p.setPen(QPen(Outline, 1));
    p.setBrush(QColor(250, 250, 250));
    p.drawRect(QRectF(4.5, 4.5, 15, 15));
    p.setPen(QPen(QColor(30, 30, 30), 2, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(8, 12), QPointF(16, 12));
    if (plus)
        p.drawLine(QPointF(12, 8), QPointF(12, 16));
}

} // namespace

QStringList treeImageKeys() {
    return {QStringLiteral("ramo"),    QStringLiteral("elemento"),  QStringLiteral("elementosel"),
            QStringLiteral("ramosel"), QStringLiteral("operatore"), QStringLiteral("minus"),
            QStringLiteral("plus")};
}

QImage treeImage(const QString& key) {
    const int index = static_cast<int>(treeImageKeys().indexOf(key));
    if (index < 0)
        return {};
    QImage image(TreeImageSize, TreeImageSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
    case 0:
        drawFolder(p, false);
        break;
    case 1:
        drawField(p, FieldFill);
        break;
    case 2:
        drawField(p, FieldSelFill);
        break;
    case 3:
        drawFolder(p, true);
        break;
    case 4:
        drawOperator(p);
        break;
    case 5:
        drawToggle(p, false);
        break;
    case 6:
        drawToggle(p, true);
        break;
    }
    p.end();
    return image;
}

QPixmap treePixmap(const QString& key) {
    return QPixmap::fromImage(treeImage(key));
}

} // namespace tree
