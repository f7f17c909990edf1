#include "search/analysis.h"

#include "search/harvestlist.h"

#include <QUrl>

Analysis::Analysis(HarvestList *list, QObject *parent)
    : QObject(parent), m_list(list)
{
    m_next.setSingleShot(true);
    m_next.setInterval(0);
    connect(&m_next, &QTimer::timeout, this, [this] {
        if (!m_dialogDone)
            begin();
        else
            slice();
    });
}

QString Analysis::waitingText() { return QStringLiteral("正在分析,请稍候..."); }

QString Analysis::progressText(int position)
{
    return QStringLiteral("正在分析第") + QString::number(position) + QStringLiteral("个，请稍候 ...");
}

bool Analysis::IsDownloadableUrl(const QString &url)
{
    const QUrl parsed(url.trimmed());
    if (!parsed.isValid() || parsed.isRelative() || parsed.host().isEmpty())
        return false;
    const QString scheme = parsed.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

void Analysis::run(Scope scope)
{
    if (m_running)
        return;
    m_running = true;
    m_stop = false;
    m_scope = scope;
    m_dialogDone = false;
    m_count = 0;
    m_position = 0;
    emit started();
    emit progress(waitingText());
    // The panel is drawn before the dialog opens over it.
    m_next.start();
}

void Analysis::begin()
{
    m_dialogDone = true;
    if (!m_list || m_list->count() == 0) {
        finish();
        return;
    }
    if (chooseSaveLocation && !chooseSaveLocation()) {
        finish();
        return;
    }
    // The dialog ran its own event loop: the window may have lost its list
    // in the meantime.
    if (!m_list) {
        finish();
        return;
    }
    m_count = m_list->count();
    m_position = 0;
    slice();
}

bool Analysis::wanted(int row) const
{
    switch (m_scope) {
    case Scope::Unanalysed:
        return m_list->at(row).status.isEmpty();
    case Scope::Failed:
        return m_list->at(row).status == HarvestText::AnalysisFailed;
    case Scope::Selected:
        return isSelected && isSelected(row);
    case Scope::All:
        return true;
    }
    return false;
}

void Analysis::slice()
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (m_position < m_count) {
        // Rows removed while the run waited shift the positions; the ones
        // beyond the end are skipped.
        if (!m_list)
            break;
        const int row = m_position++;
        if (row < m_list->count() && wanted(row)) {
            if (m_scope != Scope::Unanalysed)
                m_list->setStatus(row, QString());
            AnalyseHarvestItem(row, row + 1);
            if (m_stop)
                break;
        }
        if (m_position < m_count && elapsed.elapsed() >= m_sliceMs) {
            m_next.start();
            return;
        }
    }
    finish();
}

void Analysis::AnalyseHarvestItem(int row, int position)
{
    if (!m_list || row < 0 || row >= m_list->count())
        return;
    const HarvestList::Row item = m_list->at(row);
    emit progress(progressText(position));
    if (!IsDownloadableUrl(item.url)) {
        m_list->setStatus(row, HarvestText::AnalysisFailed);
        return;
    }
    if (handOff)
        handOff(item.url, item.title, item.type);
    // Listed already counts as handed over: the download list has the row.
    if (m_list && row < m_list->count())
        m_list->setStatus(row, HarvestText::Succeeded);
}

void Analysis::finish()
{
    m_next.stop();
    m_running = false;
    emit finished();
    if (showDownloads)
        showDownloads();
}
