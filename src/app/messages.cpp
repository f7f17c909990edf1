#include "app/messages.h"

#include "app/commandline.h"

#include <cstdio>

namespace {
Msg::Handler g_handler;
Msg::InputHandler g_input;
QString g_inputTitle;

// Nobody to ask: the message goes to standard error as one escaped line, so
// a multi-line text cannot pass for several messages and no text can talk to
// the terminal, and nothing is confirmed.
bool toStandardError(Msg::Kind kind, const QString &text)
{
    const char *prefix = kind == Msg::Kind::Error ? "error" : kind == Msg::Kind::Question ? "question (answered No)" : "note";
    PrintLine(stderr, QStringLiteral("velmora: %1: %2").arg(QLatin1String(prefix), EscapeForOutput(text)));
    std::fflush(stderr);
    return false;
}

bool show(Msg::Kind kind, const QString &text)
{
    return g_handler ? g_handler(kind, text) : toStandardError(kind, text);
}
} // namespace

namespace Msg {

void setHandler(Handler handler) { g_handler = std::move(handler); }
void setInputHandler(InputHandler handler) { g_input = std::move(handler); }
Handler handler() { return g_handler; }
InputHandler inputHandler() { return g_input; }

void error(const QString &text) { show(Kind::Error, text); }
void info(const QString &text) { show(Kind::Information, text); }
bool question(const QString &text) { return show(Kind::Question, text); }

QString input(const QString &prompt, const QString &defaultText, bool *ok)
{
    bool accepted = false;
    QString answer;
    if (g_input)
        answer = g_input(prompt, defaultText, &accepted);
    if (!accepted)
        answer.clear();
    if (ok)
        *ok = accepted;
    return answer;
}

QString inputTitled(const QString &title, const QString &prompt, const QString &defaultText, bool *ok)
{
    const QString previous = g_inputTitle;
    g_inputTitle = title;
    const QString answer = input(prompt, defaultText, ok);
    g_inputTitle = previous;
    return answer;
}

QString inputTitle() { return g_inputTitle.isEmpty() ? AppTitle : g_inputTitle; }

} // namespace Msg
