#include "queue/ui/stateicons.h"

#include "queue/downloadlist.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>

#include <array>

namespace {
QIcon stateIcon(ItemState s)
{
    static std::array<QIcon, 5> icons;
    if (s < Waiting || s > Failed)
        return {};
    QIcon &icon = icons[s];
    if (icon.isNull()) {
        static const QColor colours[5] = {{}, {0x9e, 0x9e, 0x9e}, {0x1e, 0x88, 0xe5}, {0x43, 0xa0, 0x47}, {0xe5, 0x39, 0x35}};
        QPixmap pm(16, 16);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(colours[s]);
        p.setPen(Qt::NoPen);
        p.drawEllipse(2, 2, 12, 12);
        p.end();
        icon = QIcon(pm);
    }
    return icon;
}
} // namespace

void InstallStateIcons()
{
    DownloadList::setStateDecoration([](ItemState s) -> QVariant {
        const QIcon icon = stateIcon(s);
        return icon.isNull() ? QVariant() : QVariant(icon);
    });
}
