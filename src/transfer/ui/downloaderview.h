#pragma once
// The visible face of the download control: a small picture that a window
// may place, owning one Downloader and forwarding to it. The transfer itself
// needs no window, so the transfer slots and `velmora get` use Downloader
// directly.
#include "transfer/downloader.h"

#include <QWidget>

class QLabel;

class DownloaderView : public QWidget {
    Q_OBJECT
public:
    explicit DownloaderView(QWidget *parent = nullptr);

    Downloader *control() const { return m_control; }
    void BeginDownload(const QString &url, const QString &savePath, const QString &tag = QString())
    {
        m_control->BeginDownload(url, savePath, tag);
    }
    bool CancelAsyncRead() { return m_control->CancelAsyncRead(); }

signals:
    void DownloadProgress(qint32 bytesRead, qint32 bytesMax, QString savePath);
    void DownloadComplete(qint32 bytesRead, qint32 bytesMax, QString savePath);
    void DownloadError(QString reason, QString savePath);

private:
    Downloader *m_control = nullptr;
    QLabel *P1 = nullptr;
};
