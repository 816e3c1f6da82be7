#include "core/widgets/ProgramStyle.h"

#include <QIconEngine>
#include <QPainter>
#include <QPointer>
#include <QWidget>

namespace {

// A standard icon of a style, asked for at its first use.
class DeferredStandardIcon : public QIconEngine
{
public:
    DeferredStandardIcon(QStyle *style, QStyle::StandardPixmap which, const QWidget *widget)
        : m_style(style), m_which(which), m_widget(widget)
    {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    QIconEngine *clone() const override { return new DeferredStandardIcon(*this); }

private:
    const QIcon &icon()
    {
        if (!m_read && m_style) {
            m_icon = m_style->standardIcon(m_which, nullptr, m_widget);
            m_read = true;
        }
        return m_icon;
    }

    QPointer<QStyle> m_style;
    QStyle::StandardPixmap m_which;
    QPointer<const QWidget> m_widget;
    QIcon m_icon;
    bool m_read = false;
};

} // namespace

ProgramStyle::ProgramStyle() = default;

QIcon ProgramStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption *option,
                                 const QWidget *widget) const
{
    // Without an option only: an option describes a state that may not last until the drawing.
    if ((standardIcon == SP_ToolBarHorizontalExtensionButton ||
         standardIcon == SP_ToolBarVerticalExtensionButton) &&
        !option)
        return QIcon(new DeferredStandardIcon(baseStyle(), standardIcon, widget));
    return QProxyStyle::standardIcon(standardIcon, option, widget);
}
