#pragma once
// The program's one message layer. Every message, question and input box
// goes through here with the application title as caption. Without a handler
// (the subcommands, the engine's tests) a message is one line on standard
// error, a question is answered No and an input box is cancelled; the windows
// install the message boxes (app/ui/messageboxes.h), and tests replace them
// with a recorder and scripted answers.
#include <QString>
#include <functional>

namespace Msg {

inline const QString AppTitle = QStringLiteral("Velmora");

enum class Kind { Error, Information, Question };

// Shows a message; for Question the result is true for "Yes".
using Handler = std::function<bool(Kind kind, const QString &text)>;
// Asks for a line of text; ok is false when cancelled.
using InputHandler = std::function<QString(const QString &prompt, const QString &defaultText, bool *ok)>;

void setHandler(Handler handler);           // empty restores the standard-error default
void setInputHandler(InputHandler handler); // empty restores the default (cancelled)
Handler handler();
InputHandler inputHandler();

void error(const QString &text);
void info(const QString &text);
bool question(const QString &text);
QString input(const QString &prompt, const QString &defaultText = {}, bool *ok = nullptr);
// The same under a title of its own instead of the application title.
QString inputTitled(const QString &title, const QString &prompt, const QString &defaultText = {}, bool *ok = nullptr);
// The title of the input box being asked: the application title unless
// inputTitled() gave another. For the input handler.
QString inputTitle();

} // namespace Msg
