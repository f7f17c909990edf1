#include "app/ui/startupprobe.h"

#include "app/ui/fcover.h"
#include "app/ui/windowflow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <functional>

namespace {

bool probeOn() { return !qEnvironmentVariableIsEmpty("VELMORA_STARTUP_PROBE"); }

// Calls then() once, when window's native window is first exposed.
class ExposeWatch : public QObject {
public:
    ExposeWatch(QWidget *window, std::function<void()> then)
        : QObject(window)
        , m_then(std::move(then))
    {
        window->winId(); // make the native window, so it can be watched before showing
        window->windowHandle()->installEventFilter(this);
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed() && m_then) {
            auto then = std::move(m_then);
            m_then = nullptr;
            then();
        }
        return false;
    }
private:
    std::function<void()> m_then;
};

} // namespace

void StartupProbeMark(const char *event)
{
    if (!probeOn())
        return;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch()).count();
    std::printf("%s %lld\n", event, static_cast<long long>(ns));
    std::fflush(stdout);
}

void InstallStartupProbe(fCover *cover)
{
    if (!probeOn())
        return;
    const QString mode = qEnvironmentVariable("VELMORA_STARTUP_PROBE");
    new ExposeWatch(cover, [cover, mode] {
        StartupProbeMark("cover");
        if (!mode.startsWith(QLatin1String("search"))) {
            QCoreApplication::exit(0);
            return;
        }
        const int delay = mode.section(QLatin1Char(':'), 1).toInt();
        QTimer::singleShot(delay, cover, [cover] {
            StartupProbeMark("click");
            cover->Command1->click();
            QWidget *search = cover->flow().searchWindow();
            if (!search) {
                QCoreApplication::exit(1);
                return;
            }
            auto done = [] {
                StartupProbeMark("search");
                QCoreApplication::exit(0);
            };
            if (search->windowHandle() && search->windowHandle()->isExposed())
                done();
            else
                new ExposeWatch(search, done);
        });
    });
}
