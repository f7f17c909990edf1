#pragma once
// SIGINT, SIGTERM and SIGHUP as a Qt signal on the GUI thread, so that a
// program interrupted from its terminal or stopped by the system still ends
// its transfers the ordinary way and removes their temporary files. After
// the first such signal the default action is restored: a second one ends
// the program at once.
#include <QObject>

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers on first use.
    static TerminationSignals &instance();

signals:
    void received(int signalNumber);

private:
    TerminationSignals();
    void onReadable();
    int m_fds[2] = {-1, -1};
};
