#pragma once

#include <QImage>
#include <QPixmap>
#include <QStringList>

namespace tree {

// Size of the pictures of imlImagesTrv.
inline constexpr int TreeImageSize = 24;

// The keys of imlImagesTrv in their order: "ramo", "elemento", "elementosel", "ramosel",
// "operatore", "minus", "plus".
QStringList treeImageKeys();

// The 24x24 picture of a key (a null image for an unknown key). Needs no application object.
QImage treeImage(const QString& key);

// The same as a pixmap (needs a QGuiApplication).
QPixmap treePixmap(const QString& key);

} // namespace tree
