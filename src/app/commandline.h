#pragma once
// What the headless subcommands share: reading their arguments and printing
// their lines.
//
// Arguments are read in order. A plain argument (one that does not start
// with "-", a lone "-", or anything after "--") is an operand; a flag stands
// alone; an option takes a value as "--name value" or "--name=value". Any
// other argument starting with "-" is a usage error, as is an option at the
// end with no value after it.
#include <QString>
#include <QStringList>

#include <cstdio>

class OptionReader {
public:
    // `command` starts each error message ("velmora get").
    OptionReader(QString command, QStringList args, QStringList flags, QStringList options);

    // Steps to the next argument. False at the end and at a usage error
    // (then error() says which).
    bool next();

    bool isOperand() const { return m_operand; }
    // The operand, the flag, or the option's name without its "=value".
    const QString &name() const { return m_name; }
    const QString &value() const { return m_value; }
    // Empty unless next() stopped at a usage error.
    const QString &error() const { return m_error; }

private:
    QString m_command;
    QStringList m_args;
    QStringList m_flags;
    QStringList m_options;
    qsizetype m_next = 0;
    bool m_optionsEnd = false;
    bool m_operand = false;
    QString m_name;
    QString m_value;
    QString m_error;
};

// A whole number from low to high, spaces around it and a sign allowed.
bool WholeNumber(const QString &text, int low, int high, int &value);
// The same, written as 1 to 6 digits and nothing else.
bool DigitsNumber(const QString &text, int low, int high, int &value);

// A text as a subcommand prints it: a backslash, tab, line break and every
// other control character written as an escape ("\\", "\t", "\n", "\x1b"),
// so no name or URL can break a column or talk to the terminal.
QString EscapeForOutput(const QString &text);

// Writes the text as UTF-8, then with a line end.
void WriteText(FILE *out, const QString &text);
void PrintLine(FILE *out, const QString &text);
