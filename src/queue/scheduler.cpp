#include "queue/scheduler.h"

#include "app/clock.h"
#include "app/settings.h"
#include "app/utilities.h"
#include "queue/listcommands.h"
#include "app/filenames.h"

#include <algorithm>

Scheduler::Scheduler(DownloadSession &session, QObject *parent) : QObject(parent), m_session(session)
{
    m_timerDown.setObjectName(QStringLiteral("Timer_Down"));
    m_timerDown.setInterval(1000);
    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer1.setInterval(1000);
    connect(&m_timerDown, &QTimer::timeout, this, &Scheduler::timerDownTick);
    connect(&m_timer1, &QTimer::timeout, this, &Scheduler::timer1Tick);
}

Scheduler::~Scheduler() = default;

void Scheduler::setTransfers(Mode1Transfer *mode1, Mode2Transfer *mode2)
{
    m_mode1 = mode1;
    m_mode2 = mode2;
}

int Scheduler::mode() const { return Program().DownloadMode == 1 ? 1 : 2; }

void Scheduler::setMode(int mode)
{
    mode = mode == 1 ? 1 : 2;
    if (Program().DownloadMode == mode)
        return;
    Program().DownloadMode = mode;
    emit modeChanged(mode);
}

void Scheduler::setThreadCount(int n)
{
    n = std::clamp(n, 1, 6);
    if (n == m_threads)
        return;
    m_threads = n;
    emit threadCountChanged(n);
}

void Scheduler::setInterval(int seconds)
{
    seconds = std::clamp(seconds, 0, 600);
    if (seconds == m_interval)
        return;
    m_interval = seconds;
    emit intervalChanged(seconds);
}

void Scheduler::setAutoStart(bool on)
{
    if (on == m_autoStart)
        return;
    m_autoStart = on;
    emit autoStartChanged(on);
}

void Scheduler::setAutoRedownload(bool on)
{
    if (on == m_autoRedownload)
        return;
    m_autoRedownload = on;
    emit autoRedownloadChanged(on);
}

void Scheduler::setRedownloadChoice(int choice)
{
    choice = std::clamp(choice, 0, 2);
    if (choice == m_choice)
        return;
    m_choice = choice;
    emit redownloadChoiceChanged(choice);
}

void Scheduler::setStopOnErrors(bool on)
{
    if (on == m_stopOnErrors)
        return;
    m_stopOnErrors = on;
    emit stopOnErrorsChanged(on);
}

void Scheduler::setSoundNotices(bool on)
{
    if (on == m_session.soundNotices)
        return;
    m_session.soundNotices = on;
    emit soundNoticesChanged(on);
}

void Scheduler::setRunning(bool on)
{
    if (on)
        m_timerDown.start();
    else
        m_timerDown.stop();
    if (on != m_lastRunning) {
        m_lastRunning = on;
        emit runningChanged(on);
    }
}

void Scheduler::start()
{
    if (!isRunning())
        setRunning(true);
}

void Scheduler::stop()
{
    setAutoStart(false);
    setAutoRedownload(false);

    if (m_mode1)
        m_mode1->Cancel();
    setRunning(false);
    m_session.DownloadBusy = false;
    if (m_mode1)
        m_mode1->Cancel();

    if (m_mode2)
        m_mode2->UnloadAllSlots();

    DownloadList &list = m_session.list();
    list.beginBatch();
    for (int i = 0; i < list.count(); ++i) {
        const ItemRef item = list.at(i);
        if (item->state == Downloading)
            list.setState(item, Failed);
    }
    list.endBatch();

    m_session.DownloadBusy = false;
}

void Scheduler::switchMode()
{
    setMode(mode() == 2 ? 1 : 2);
    // A new mode always starts from one thread.
    setThreadCount(1);
}

bool Scheduler::slotInUse(int slot) const { return m_mode2 && m_mode2->IsSlotInUse(slot); }

bool Scheduler::DownloadsActive() const
{
    return isRunning() || (m_mode1 && m_mode1->StillExecuting())
        || (m_mode2 && m_mode2->CountTransferSlots() > 1);
}

bool Scheduler::ClosingNeedsConfirmation() const
{
    return DownloadsActive() || !检测是否下载列表完毕(m_session.list());
}

QString Scheduler::ClosingQuestion()
{
    return QStringLiteral("正在下载文件或者下载没有完成，要强制关闭窗口吗？");
}

ItemRef Scheduler::takeRow(int &from, bool createFolders)
{
    DownloadList &list = m_session.list();
    const bool skipExisting = m_session.sameName == DuplicateNamePolicy::Skip;
    for (; from < list.count(); ++from) {
        const ItemRef item = list.at(from);
        if (item->state != Waiting)
            continue;
        list.set(item, DownloadList::Name, SanitizeFileName(item->name));
        QString folder = item->folder;
        if (createFolders && !folder.isEmpty())
            folder = CreateFolderPath(folder);
        if (folder.isEmpty()) {
            // No folder, or one that cannot be made: a "/" appended to
            // nothing would send the file to the root, so the row fails and
            // keeps the folder it names.
            list.setProgress(item, StatusWord::DownloadFailed, item->received, item->percent);
            list.setState(item, Failed);
            continue;
        }
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        list.set(item, DownloadList::Folder, folder);
        if (确定是需要下载(list, item, skipExisting))
            return item;
    }
    return {};
}

void Scheduler::timerDownTick()
{
    // A message box shown from inside a tick (folder creation) lets further
    // ticks in; they must not start a second walk meanwhile.
    if (m_inDownTick)
        return;
    m_inDownTick = true;
    struct Leave {
        bool &flag;
        ~Leave() { flag = false; }
    } leave{m_inDownTick};

    if (m_session.list().count() == 0) {
        setRunning(false);
        return;
    }
    if (Now() - m_session.LastFinishTime <= m_interval)
        return;
    if (mode() == 1)
        tickMode1();
    else
        tickMode2();
}

void Scheduler::tickMode1()
{
    if (m_session.DownloadBusy)
        return;
    int from = 0;
    const ItemRef item = takeRow(from, false);
    if (!item)
        return;
    DownloadList &list = m_session.list();
    list.setState(item, Downloading);
    m_session.locate(item);
    list.setProgress(item, QString(), QString(), QString());
    m_session.SlotRow[1] = item->row() + 1;
    if (m_mode1)
        m_mode1->start(item);
}

void Scheduler::tickMode2()
{
    DownloadList &list = m_session.list();
    // Rows before a taken one were all passed over already in this tick, so
    // each slot's walk goes on from there instead of the top.
    int from = 0;
    for (int k = 1; k <= m_threads; ++k) {
        if (slotInUse(k))
            continue;
        const ItemRef item = takeRow(from, true);
        if (!item)
            break; // no waiting row left for the other slots either
        list.setState(item, Downloading);
        m_session.locate(item);
        QString newName;
        const QString target = 重命名保存路径(item->folder, item->name, item->type, m_session.sameName, newName);
        list.set(item, DownloadList::Name, newName);
        const int position = item->row() + 1;
        m_session.SlotRow[k] = position;
        if (m_mode2)
            m_mode2->start(k, position, 选择url(item->key), target);
        ++from;
    }
}

void Scheduler::timer1Tick()
{
    DownloadList &list = m_session.list();

    // 1. End of the list.
    bool startEnabled;
    if (检测是否下载列表完毕(list)) {
        startEnabled = true;
        if (isRunning()) {
            setRunning(false);
            m_session.notice(102);
        }
    } else {
        startEnabled = !isRunning();
    }
    if (startEnabled != m_startEnabled) {
        m_startEnabled = startEnabled;
        emit startEnabledChanged(startEnabled);
    }

    // 2. Indicator.
    if (isRunning() != m_indicator) {
        m_indicator = isRunning();
        emit indicatorChanged(m_indicator);
    }

    // 3. Busy flag.
    if (mode() == 1) {
        // A mode-1 transfer clears the flag itself when it ends. Set while
        // no transfer of either mode runs, it was left by mode-2 slots (the
        // mode was switched while the scheduler ran) and would hold mode 1
        // back until the user stops, so it is cleared then too.
        const bool inetRunning = m_mode1 && m_mode1->StillExecuting();
        const bool slotsRunning = m_mode2 && m_mode2->CountTransferSlots() > 1;
        if (!inetRunning && (!isRunning() || !slotsRunning))
            m_session.DownloadBusy = false;
    } else {
        for (int k = 1; k <= m_threads; ++k)
            if (slotInUse(k)) {
                m_session.DownloadBusy = true;
                break;
            }
        if (!isRunning())
            m_session.DownloadBusy = false;
    }

    // 4. Counts.
    m_session.UpdateStatusCounts();

    // 5. Automatic start.
    if (m_autoStart && 统计未下载项数目(list) >= 1)
        start();

    // 6. Automatic re-download. A round that reset nothing would only stop
    // again at the next tick (with notice 102 every other second), so the
    // scheduler starts again only when the round left a row waiting.
    if (m_autoRedownload && !isRunning()) {
        if (m_choice == 0 || m_choice == 2)
            RedownloadFailed(list);
        if (m_choice == 1 || m_choice == 2)
            RedownloadWebPages(list);
        if (!检测是否下载列表完毕(list)) {
            start();
            emit redownloadRoundStarted();
        }
    }

    // 7. The error stop.
    if (m_stopOnErrors && CountErrorsAndPages(list) >= 5 && isRunning()) {
        setRunning(false);
        m_session.notice(102);
    }

    emit supervised();
}
