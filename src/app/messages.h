#pragma once
// The program's one message-box layer. Every message, question and input box
// goes through here with the application title as caption, so tests can
// replace the dialogs with a recorder and scripted answers.
#include <QString>
#include <functional>

class QWidget;

namespace Msg {

inline const QString AppTitle = QStringLiteral("Velmora");

enum class Kind { Error, Information, Question };

// Shows a message; for Question the result is true for "Yes".
using Handler = std::function<bool(Kind kind, const QString &text)>;
// Asks for a line of text; ok is false when cancelled.
using InputHandler = std::function<QString(const QString &prompt, const QString &defaultText, bool *ok)>;

void setHandler(Handler handler);           // empty restores the real dialogs
void setInputHandler(InputHandler handler); // empty restores the real dialog
void setParent(QWidget *parent);            // owner of the real dialogs (may be null)

void error(const QString &text);
void info(const QString &text);
bool question(const QString &text);
QString input(const QString &prompt, const QString &defaultText = {}, bool *ok = nullptr);

} // namespace Msg
