#include "queue/downloadsession.h"

#include "app/clock.h"

DownloadSession::DownloadSession(QObject *parent) : QObject(parent), LastFinishTime(Now()) {}

void DownloadSession::notice(int sound)
{
    if (soundNotices)
        m_hooks->playNotice(sound);
}

void DownloadSession::setStatusText(int panel, const QString &text)
{
    if (panel < 1 || panel > 4 || m_status[panel] == text)
        return;
    m_status[panel] = text;
    emit statusTextChanged(panel, text);
}

QString DownloadSession::statusText(int panel) const
{
    return panel >= 1 && panel <= 4 ? m_status[panel] : QString();
}

void DownloadSession::locate(const ItemRef &item)
{
    if (autoLocate && item && item->alive())
        emit locateRequested(item->row());
}

void DownloadSession::UpdateStatusCounts() { setStatusText(4, StatusCountsText(m_list)); }
