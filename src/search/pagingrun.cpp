#include "search/pagingrun.h"

#include "app/clock.h"
#include "search/browserport.h"
#include "search/harvestlist.h"
#include "search/resultparser.h"

PagingRun::PagingRun(BrowserPort *browser, HarvestList *list, QObject *parent)
    : QObject(parent), m_browser(browser), m_list(list)
{
    m_timer.setInterval(50);
    connect(&m_timer, &QTimer::timeout, this, &PagingRun::tick);
    if (browser)
        connect(browser, &BrowserPort::documentComplete, this, [this] { m_pageLoading = false; });
}

QString PagingRun::idleCaption() { return QStringLiteral("加入全部到列表"); }
QString PagingRun::runningCaption() { return QStringLiteral("停止加入全部"); }

void PagingRun::click()
{
    if (m_running)
        requestStop();
    else
        start();
}

void PagingRun::start()
{
    if (m_running || m_phase != Phase::Idle)
        return;
    m_running = true;
    m_stopPaging = false;
    emit runningChanged(true);
    turn();
}

void PagingRun::requestStop() { m_stopPaging = true; }

void PagingRun::turn()
{
    下一页([this](bool ok) {
        if (!ok) {
            finish();
            return;
        }
        // The pause between pages runs out even after a stop: the stop is
        // looked at when it ends.
        m_start = Now();
        setPhase(Phase::Delaying);
    });
}

void PagingRun::下一页(std::function<void(bool)> done)
{
    if (m_phase != Phase::Idle || !m_browser) {
        if (done)
            done(false);
        return;
    }
    m_stepDone = std::move(done);
    m_start = Now();
    setPhase(Phase::Reading);
    const unsigned generation = m_generation;
    const QPointer<PagingRun> self(this);
    m_browser->readDocument([self, generation](DocumentPtr doc) {
        if (self && self->m_generation == generation && self->m_phase == Phase::Reading)
            self->afterRead(doc.get());
    });
}

void PagingRun::afterRead(const Document *doc)
{
    if (!doc) {
        endStep(false);
        return;
    }
    const int rows = m_list ? ::导入当且页面(doc, *m_list, m_pdfOnly) : 0;
    emit imported(rows);

    const int next = ResultPage::nextPageLink(*doc);
    if (next >= 0) {
        m_start = Now();
        m_pageLoading = true;
        if (!doc->click(next)) {
            m_pageLoading = false;
            endStep(false);
            return;
        }
        setPhase(Phase::Loading);
        return;
    }
    if (!ResultPage::hasClassicResults(*doc)) {
        const int button = ResultPage::showMoreButton(*doc);
        if (button >= 0) {
            m_itemsBefore = ResultPage::todayItemCount(*doc);
            m_start = Now();
            m_sinceRead.invalidate();
            if (!doc->click(button)) {
                endStep(false);
                return;
            }
            setPhase(Phase::Growing);
            return;
        }
    }
    endStep(false); // the last page
}

void PagingRun::tick()
{
    const double elapsed = Now() - m_start;
    switch (m_phase) {
    case Phase::Idle:
        m_timer.stop();
        break;
    case Phase::Reading:
        // A page that never answers the read ends the step like a load that
        // never completes.
        if (elapsed > LoadLimitSeconds)
            endStep(false);
        break;
    case Phase::Loading:
        if (!(m_browser && m_browser->isBusy()) && !m_pageLoading) {
            m_start = Now();
            setPhase(Phase::Settling);
        } else if (elapsed > LoadLimitSeconds || m_stopPaging || !m_browser) {
            endStep(false);
        }
        break;
    case Phase::Growing:
        if (elapsed > LoadLimitSeconds || m_stopPaging || !m_browser) {
            endStep(false);
        } else if (!m_readPending && (!m_sinceRead.isValid() || m_sinceRead.elapsed() >= 250)) {
            m_readPending = true;
            m_sinceRead.start();
            const unsigned generation = m_generation;
            const QPointer<PagingRun> self(this);
            m_browser->readDocument([self, generation](DocumentPtr doc) {
                if (!self)
                    return;
                self->m_readPending = false;
                if (self->m_generation != generation || self->m_phase != Phase::Growing || !doc)
                    return;
                if (ResultPage::todayItemCount(*doc) > self->m_itemsBefore) {
                    self->m_start = Now();
                    self->setPhase(Phase::Settling);
                }
            });
        }
        break;
    case Phase::Settling:
        if (elapsed >= SettleSeconds || m_stopPaging)
            endStep(true);
        break;
    case Phase::Delaying:
        if (elapsed >= m_delaySeconds) {
            setPhase(Phase::Idle);
            if (m_stopPaging)
                finish();
            else
                turn();
        }
        break;
    }
}

void PagingRun::endStep(bool result)
{
    ++m_generation;
    setPhase(Phase::Idle);
    auto done = std::move(m_stepDone);
    m_stepDone = nullptr;
    if (done)
        done(result);
}

void PagingRun::finish()
{
    setPhase(Phase::Idle);
    if (!m_running)
        return;
    m_running = false;
    emit runningChanged(false);
    emit finished();
}

void PagingRun::setPhase(Phase phase)
{
    if (phase == Phase::Idle)
        m_timer.stop();
    else if (!m_timer.isActive())
        m_timer.start();
    if (m_phase == phase)
        return;
    m_phase = phase;
    emit phaseChanged(phase);
}

void PagingRun::导入当且页面(std::function<void(int)> done)
{
    if (!m_browser) {
        const int rows = m_list ? m_list->count() : 0;
        if (done)
            done(rows);
        return;
    }
    const QPointer<PagingRun> self(this);
    m_browser->readDocument([self, done = std::move(done)](DocumentPtr doc) {
        if (!self)
            return;
        const int rows = self->m_list ? ::导入当且页面(doc.get(), *self->m_list, self->m_pdfOnly) : 0;
        emit self->imported(rows);
        if (done)
            done(rows);
    });
}
