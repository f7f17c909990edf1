#pragma once
// Helpers for window tests: finding a control by its name and answering a
// modal dialog once its event loop shows it.
#include <QApplication>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>

// The control of that name below window; a missing one ends the test run.
template <typename T>
T *control(QWidget *window, const char *name)
{
    T *w = window->findChild<T *>(QString::fromUtf8(name));
    if (!w)
        qFatal("control %s missing", name);
    return w;
}

// Runs fn on the modal dialog of type D as soon as its event loop shows it.
template <typename D>
void whenModal(std::function<void(D *)> fn)
{
    auto *poll = new QTimer(qApp);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, fn] {
        if (auto *dialog = qobject_cast<D *>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            fn(dialog);
        }
    });
    poll->start();
}
