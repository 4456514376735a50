#include "tree/TreeImages.h"

#include <gtest/gtest.h>

#include <QSet>

namespace {

int opaquePixels(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += qAlpha(image.pixel(x, y)) > 0;
    return n;
}

TEST(TreeImages, SevenDistinctPicturesInListOrder) {
    EXPECT_EQ(tree::treeImageKeys(),
              (QStringList{"ramo", "elemento", "elementosel", "ramosel", "operatore", "minus", "plus"}));
    QSet<QByteArray> seen;
    for (const QString& key : tree::treeImageKeys()) {
        const QImage image = tree::treeImage(key);
        ASSERT_FALSE(image.isNull()) << key.toStdString();
        EXPECT_EQ(image.size(), QSize(24, 24));
        // Drawn, with a transparent margin somewhere.
        const int opaque = opaquePixels(image);
        EXPECT_GT(opaque, 40) << key.toStdString();
        EXPECT_LT(opaque, 24 * 24) << key.toStdString();
        const QByteArray bytes(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
        EXPECT_FALSE(seen.contains(bytes)) << key.toStdString() << " looks like another picture";
        seen.insert(bytes);
    }
}

TEST(TreeImages, UnknownKeyGivesNullImage) {
    EXPECT_TRUE(tree::treeImage(QStringLiteral("Ramo")).isNull());
    EXPECT_TRUE(tree::treeImage(QString()).isNull());
}

} // namespace
