#include "core/widgets/ProgramStyle.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QMenuBar>
#include <QPixmap>
#include <QStyleFactory>
#include <gtest/gtest.h>

namespace {

bool imagePluginLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/imageformats/");
}

TEST(ProgramStyle, AMenuBarIsMadeWithoutLoadingImagePlugins)
{
    const QString before = QApplication::style()->name();
    QApplication::setStyle(new ProgramStyle);
    ASSERT_FALSE(imagePluginLoaded());
    {
        QMenuBar bar;
        bar.addAction(QStringLiteral("&About"));
        bar.addAction(QStringLiteral("E&xit"));
    }
    EXPECT_FALSE(imagePluginLoaded());
    QApplication::setStyle(before);
}

TEST(ProgramStyle, TheDeferredExtensionIconDrawsAsThePlatformStylesOwn)
{
    ProgramStyle style;
    QStyle *own = QStyleFactory::create(style.baseStyle()->name());
    ASSERT_NE(own, nullptr);
    for (QStyle::StandardPixmap which :
         {QStyle::SP_ToolBarHorizontalExtensionButton, QStyle::SP_ToolBarVerticalExtensionButton}) {
        const QIcon deferred = style.standardIcon(which);
        const QIcon expected = own->standardIcon(which);
        EXPECT_EQ(deferred.availableSizes(), expected.availableSizes());
        EXPECT_EQ(deferred.pixmap(16, 16).toImage(), expected.pixmap(16, 16).toImage());
    }
    // Every other icon is the style's own, at once.
    EXPECT_EQ(style.standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32).toImage(),
              own->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32).toImage());
    delete own;
}

} // namespace
