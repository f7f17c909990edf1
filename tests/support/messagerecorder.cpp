#include "support/messagerecorder.h"

MessageRecorder::MessageRecorder()
{
    Msg::setHandler([this](Msg::Kind kind, const QString &text) {
        messages.append({kind, text});
        if (kind != Msg::Kind::Question)
            return false;
        return answers.isEmpty() ? defaultAnswer : answers.takeFirst();
    });
    Msg::setInputHandler([this](const QString &prompt, const QString &, bool *ok) {
        prompts.append(prompt);
        QString answer = inputs.isEmpty() ? QString() : inputs.takeFirst();
        *ok = !answer.isNull();
        return answer;
    });
}

MessageRecorder::~MessageRecorder()
{
    Msg::setHandler({});
    Msg::setInputHandler({});
}

QStringList MessageRecorder::texts() const
{
    QStringList out;
    for (const Entry &e : messages)
        out << e.text;
    return out;
}

int MessageRecorder::count(const QString &text) const
{
    int n = 0;
    for (const Entry &e : messages)
        n += e.text == text;
    return n;
}
