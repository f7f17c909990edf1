#pragma once
// Replaces the program's message boxes for the lifetime of the object:
// records every message and answers questions and input boxes from scripts.
#include "app/messages.h"

#include <QList>
#include <QPair>
#include <QStringList>

class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();

    struct Entry {
        Msg::Kind kind;
        QString text;
    };
    QList<Entry> messages;

    // Answers for questions in order; when exhausted, defaultAnswer is used.
    QList<bool> answers;
    bool defaultAnswer = true;
    // Answers for input boxes in order: text, or a null QString for "cancelled".
    QStringList inputs;
    QStringList prompts;

    QStringList texts() const;
    int count(const QString &text) const;
    void clear() { messages.clear(); prompts.clear(); }
};
