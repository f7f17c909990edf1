#include "app/messages.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>

namespace {
Msg::Handler g_handler;
Msg::InputHandler g_input;
QPointer<QWidget> g_parent;

bool show(Msg::Kind kind, const QString &text)
{
    if (g_handler)
        return g_handler(kind, text);
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return false; // no window system: nobody to ask, so nothing is confirmed
    switch (kind) {
    case Msg::Kind::Error:
        QMessageBox::critical(g_parent, Msg::AppTitle, text);
        return false;
    case Msg::Kind::Information:
        QMessageBox::information(g_parent, Msg::AppTitle, text);
        return false;
    case Msg::Kind::Question:
        return QMessageBox::question(g_parent, Msg::AppTitle, text, QMessageBox::Yes | QMessageBox::No)
            == QMessageBox::Yes;
    }
    return false;
}
} // namespace

namespace Msg {

void setHandler(Handler handler) { g_handler = std::move(handler); }
void setInputHandler(InputHandler handler) { g_input = std::move(handler); }
void setParent(QWidget *parent) { g_parent = parent; }

void error(const QString &text) { show(Kind::Error, text); }
void info(const QString &text) { show(Kind::Information, text); }
bool question(const QString &text) { return show(Kind::Question, text); }

QString input(const QString &prompt, const QString &defaultText, bool *ok)
{
    bool accepted = false;
    QString answer;
    if (g_input)
        answer = g_input(prompt, defaultText, &accepted);
    else if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        answer = QInputDialog::getText(g_parent, AppTitle, prompt, QLineEdit::Normal, defaultText, &accepted);
    if (!accepted)
        answer.clear();
    if (ok)
        *ok = accepted;
    return answer;
}

} // namespace Msg
