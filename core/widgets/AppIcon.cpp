#include "core/widgets/AppIcon.h"

#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>
#include <array>

namespace {

// The icon's three drawn sizes, each read from the resources when it is first wanted. The
// format is named: a QIcon made from files would ask every image plugin of the system whether it
// reads PNG, loading them all (and the libraries they need) at start-up.
class AppIconEngine : public QIconEngine
{
public:
    static constexpr std::array<int, 3> Sizes{16, 32, 48};

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }

    // The smallest drawn size that covers the request, scaled down to it where it differs.
    QPixmap pixmap(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        size_t chosen = Sizes.size() - 1;
        for (size_t i = 0; i < Sizes.size(); ++i) {
            if (Sizes[i] >= qMax(size.width(), size.height())) {
                chosen = i;
                break;
            }
        }
        QPixmap &drawn = m_drawn[chosen];
        if (drawn.isNull()) {
            QImageReader reader(QStringLiteral(":/timoradesk/timoradesk-%1.png").arg(Sizes[chosen]),
                                "png");
            reader.setAutoDetectImageFormat(false);
            drawn = QPixmap::fromImage(reader.read());
        }
        if (drawn.isNull() || drawn.size() == size)
            return drawn;
        return drawn.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (int s : Sizes)
            sizes.append(QSize(s, s));
        return sizes;
    }

    QIconEngine *clone() const override { return new AppIconEngine(*this); }
    QString key() const override { return QStringLiteral("timoradesk"); }

private:
    std::array<QPixmap, Sizes.size()> m_drawn;
};

} // namespace

QIcon AppIcon::icon()
{
    return QIcon(new AppIconEngine);
}
