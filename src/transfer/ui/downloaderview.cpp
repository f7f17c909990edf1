#include "transfer/ui/downloaderview.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>

namespace {
// A blue square with a white downward arrow onto a line.
QPixmap facePicture()
{
    QPixmap pm(32, 32);
    pm.fill(QColor(0x2b, 0x6c, 0xb0));
    QPainter p(&pm);
    p.setPen(QPen(Qt::white, 3));
    p.drawLine(16, 6, 16, 22);
    p.drawLine(9, 15, 16, 22);
    p.drawLine(23, 15, 16, 22);
    p.drawLine(8, 26, 24, 26);
    return pm;
}
} // namespace

DownloaderView::DownloaderView(QWidget *parent) : QWidget(parent), m_control(new Downloader(this))
{
    P1 = new QLabel(this);
    P1->setObjectName(QStringLiteral("P1"));
    P1->setPixmap(facePicture());
    P1->move(0, 0);
    P1->adjustSize();
    setFixedSize(P1->size());

    connect(m_control, &Downloader::DownloadProgress, this, &DownloaderView::DownloadProgress);
    connect(m_control, &Downloader::DownloadComplete, this, &DownloaderView::DownloadComplete);
    connect(m_control, &Downloader::DownloadError, this, &DownloaderView::DownloadError);
}
