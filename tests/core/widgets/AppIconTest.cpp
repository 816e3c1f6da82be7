#include "core/widgets/AppIcon.h"

#include <QFile>
#include <QImage>
#include <QPixmap>
#include <gtest/gtest.h>

namespace {

// Whether this process has loaded any of the system's image plugins (each test runs in a
// process of its own).
bool imagePluginLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/imageformats/");
}

TEST(AppIcon, DrawsItsThreeSizesAndScalesBetweenThem)
{
    const QIcon icon = AppIcon::icon();
    EXPECT_EQ(icon.availableSizes(), (QList<QSize>{{16, 16}, {32, 32}, {48, 48}}));
    for (int size : {16, 32, 48}) {
        const QPixmap file(QStringLiteral(":/timoradesk/timoradesk-%1.png").arg(size));
        ASSERT_EQ(file.size(), QSize(size, size));
        EXPECT_EQ(icon.pixmap(size, size).toImage(), file.toImage()) << size;
    }
    EXPECT_EQ(icon.pixmap(24, 24).size(), QSize(24, 24));
    EXPECT_EQ(icon.pixmap(64, 64).size(), QSize(64, 64));
}

TEST(AppIcon, LoadsNoImagePluginOfTheSystem)
{
    ASSERT_FALSE(imagePluginLoaded());
    const QIcon icon = AppIcon::icon();
    for (const QSize &size : icon.availableSizes())
        ASSERT_FALSE(icon.pixmap(size).isNull());
    EXPECT_FALSE(imagePluginLoaded());
}

} // namespace
