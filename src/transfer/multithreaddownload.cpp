#include "transfer/multithreaddownload.h"

#include "app/clock.h"
#include "app/settings.h"
#include "queue/downloadsession.h"
#include "transfer/browsercheck.h"
#include "transfer/downloader.h"
#include "transfer/filetype.h"
#include "transfer/headers.h"

#include <QFileInfo>

namespace {

QString percentText(qint64 read, qint64 max) { return QString::number(read * 100 / max) + QLatin1Char('%'); }

bool isPage(const QString &type)
{
    const QString t = type.toLower();
    return t == QLatin1String("htm") || t == QLatin1String("html");
}

} // namespace

MultiThreadDownload::MultiThreadDownload(DownloadSession &session, QObject *parent) : QObject(parent), m_session(session)
{
}

MultiThreadDownload::~MultiThreadDownload()
{
    for (int k = 1; k <= SlotCount; ++k) {
        if (Downloader *d = m_slots[k]) {
            m_slots[k] = nullptr;
            d->disconnect(this);
            delete d;
        }
    }
}

bool MultiThreadDownload::IsSlotInUse(int slot) const { return slot >= 1 && slot <= SlotCount && m_slots[slot]; }

Downloader *MultiThreadDownload::slot(int k) const { return k >= 1 && k <= SlotCount ? m_slots[k] : nullptr; }

int MultiThreadDownload::CountTransferSlots() const
{
    int n = 1; // the template
    for (int k = 1; k <= SlotCount; ++k)
        n += m_slots[k] != nullptr;
    return n;
}

void MultiThreadDownload::UnloadSlot(int slot)
{
    if (!IsSlotInUse(slot))
        return;
    Downloader *d = m_slots[slot];
    m_slots[slot] = nullptr;
    d->disconnect(this);
    // Stopped, failed or skipped for its size: the reservation goes with the
    // control, and the row no longer has a file of ours.
    if (d->wroteReservation() && !d->bodyInPlace())
        if (const ItemRef row = m_session.list().at(m_session.SlotRow[slot] - 1))
            row->fileWritten = false;
    d->stop();
    // The slot may be unloading from inside one of its own events.
    d->deleteLater();
}

void MultiThreadDownload::UnloadAllSlots()
{
    for (int k = 1; k <= SlotCount; ++k)
        UnloadSlot(k);
}

void MultiThreadDownload::多线程下载(int slot, int position, const QString &url, const QString &targetPath)
{
    if (slot < 1 || slot > SlotCount || m_slots[slot])
        return;
    auto *d = new Downloader;
    d->setObjectName(QStringLiteral("Downloader1"));
    d->setProperty("Index", slot);
    m_slots[slot] = d;
    connect(d, &Downloader::DownloadProgress, this,
            [this, slot, d](qint32, qint32, const QString &) { onDownloadProgress(slot, d->reportedBytesRead(), d->reportedBytesMax()); });
    connect(d, &Downloader::DownloadComplete, this,
            [this, slot, d](qint32, qint32, const QString &) { onDownloadComplete(slot, d->reportedBytesRead(), d->reportedBytesMax()); });
    connect(d, &Downloader::DownloadError, this,
            [this, slot](const QString &reason, const QString &) { onDownloadError(slot, reason); });

    m_session.DownloadBusy = true;
    m_session.SlotRow[slot] = position;
    DownloadList &list = m_session.list();
    const ItemRef row = list.at(position - 1);
    QString referer;
    if (row) {
        list.setState(row, Downloading);
        m_session.locate(row);
        list.setProgress(row, QString(), QString(), QString());
        referer = row->referer;
    }
    // The reservation the control writes is this list's file; a file that
    // was there already (the old file being overwritten) is not, until the
    // new body replaces it.
    d->BeginDownload(url, targetPath, referer);
    if (row && row->alive() && d->wroteReservation())
        row->fileWritten = true;
}

void MultiThreadDownload::onDownloadProgress(int slot, qint64 bytesRead, qint64 bytesMax)
{
    if (slot < 1 || slot > SlotCount)
        return;
    DownloadList &list = m_session.list();
    const ItemRef row = list.at(m_session.SlotRow[slot] - 1);
    if (!row)
        return;
    if (bytesMax > 0 && bytesMax >= bytesRead) {
        list.setProgress(row, QString::number(bytesMax), QString::number(bytesRead), percentText(bytesRead, bytesMax));
        if (IsOverSizeLimit(bytesMax, Program().MaxFileSizeMB)) {
            list.setState(row, Finished);
            list.set(row, DownloadList::Percent, StatusWord::LargeFileSkipped);
            m_session.LastFinishTime = Now();
            UnloadSlot(slot);
            emit slotEnded(slot);
        }
    }
}

void MultiThreadDownload::onDownloadComplete(int slot, qint64 bytesRead, qint64 bytesMax)
{
    if (slot < 1 || slot > SlotCount)
        return;
    DownloadList &list = m_session.list();
    const ItemRef row = list.at(m_session.SlotRow[slot] - 1);
    if (row) {
        row->fileWritten = true; // the complete body is now at the target
        if (bytesMax > 0 && bytesMax >= bytesRead)
            list.setProgress(row, QString::number(bytesMax), QString::number(bytesRead), percentText(bytesRead, bytesMax));
        list.setState(row, row->percent == StatusWord::Complete ? Finished : Failed);
    }
    // A slot whose row has gone is still unloaded, or it would stay taken
    // for as long as the window is open.
    UnloadSlot(slot);

    if (row) {
        ItemFile file{row->folder, row->name, row->type, row->key};
        if (CorrectFileType(file)) {
            list.set(row, DownloadList::Name, file.name);
            list.set(row, DownloadList::Type, file.type);
        }
        InsertBaseHref(file);
        m_session.setStatusText(2, QStringLiteral("完成下载:") + row->name);
        if (m_session.soundNotices) {
            if (isPage(row->type))
                m_session.notice(101);
            if (row->state == Failed)
                m_session.notice(103);
        }
        if (m_session.autoLogin && isPage(row->type))
            m_session.hooks().loginNow(false);
    }
    m_session.LastFinishTime = Now();
    emit slotEnded(slot);
}

void MultiThreadDownload::onDownloadError(int slot, const QString &reason)
{
    // The row shows no status word for the control's own reasons; a browser
    // check that was not passed is told, as the user can act on it.
    if (slot < 1 || slot > SlotCount)
        return;
    DownloadList &list = m_session.list();
    if (const ItemRef row = list.at(m_session.SlotRow[slot] - 1)) {
        list.setState(row, Failed);
        if (reason == Downloader::ReasonBrowserCheck)
            list.set(row, DownloadList::Size, StatusWord::NeedsBrowserCheck);
        // The control removed its reservation when it failed.
        if (Downloader *d = m_slots[slot]; d && d->wroteReservation())
            row->fileWritten = false;
    }
    UnloadSlot(slot);
    m_session.LastFinishTime = Now();
    emit slotEnded(slot);
}
