#pragma once
// A BrowserFetcher for programs without windows (`velmora get`): the browser
// engine runs in a child process of the program itself, the hidden
// subcommand `velmora browser-fetch URL REFERER OUTDIR`, on the offscreen
// platform. The child reports on its standard output, one line each:
//
//   progress<TAB>RECEIVED<TAB>TOTAL
//   cookie<TAB>SET-COOKIE LINE      (a cookie the engine holds, for our jar)
//   finished<TAB>PATH<TAB>MIME<TAB>SUGGESTED NAME   (PATH inside OUTDIR)
//   failed<TAB>REASON
//
// The cookies go into the transfers' shared jar, so later rows of the same
// site usually pass without the detour. The fetch is bounded as every
// BrowserFetcher is (no sign of life for TimeLimitSeconds), and a child that
// ends without a result fails it.
#include "transfer/browsercheck.h"

#include <QPointer>
#include <QString>

#include <memory>

class QProcess;
class QTemporaryDir;

class ProcessBrowserFetcher : public BrowserFetcher {
    Q_OBJECT
public:
    // program: the executable to run; empty means this program itself.
    explicit ProcessBrowserFetcher(QObject *parent = nullptr, const QString &program = QString());
    ~ProcessBrowserFetcher() override;

    // One line of the child's report, applied (public for tests).
    void takeLine(const QByteArray &line);

protected:
    void startFetch(const QString &url, const QString &referer) override;
    void stopFetch() override;

private:
    void onOutput();
    void onChildEnded();

    QString m_program;
    QString m_url;
    QPointer<QProcess> m_process;
    std::unique_ptr<QTemporaryDir> m_outDir;
    QByteArray m_pending;
};

// Lets `velmora get` fetch checked rows through a child process.
void UseChildProcessForChecks();
