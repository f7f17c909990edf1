#include "app/commandline.h"

#include <QRegularExpression>

#include <utility>

OptionReader::OptionReader(QString command, QStringList args, QStringList flags, QStringList options)
    : m_command(std::move(command)), m_args(std::move(args)), m_flags(std::move(flags)), m_options(std::move(options))
{
}

bool OptionReader::next()
{
    while (m_next < m_args.size()) {
        const QString &arg = m_args[m_next++];
        m_value.clear();
        if (m_optionsEnd || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            m_operand = true;
            m_name = arg;
            return true;
        }
        m_operand = false;
        if (arg == QLatin1String("--")) {
            m_optionsEnd = true;
            continue;
        }
        if (m_flags.contains(arg)) {
            m_name = arg;
            return true;
        }
        m_name = arg;
        bool hasValue = false;
        const qsizetype eq = arg.indexOf(QLatin1Char('='));
        if (arg.startsWith(QLatin1String("--")) && eq > 2) {
            m_value = arg.mid(eq + 1);
            m_name = arg.left(eq);
            hasValue = true;
        }
        if (!m_options.contains(m_name)) {
            m_error = QStringLiteral("%1: unknown option '%2'").arg(m_command, arg);
            return false;
        }
        if (!hasValue) {
            if (m_next >= m_args.size()) {
                m_error = QStringLiteral("%1: option '%2' needs a value").arg(m_command, m_name);
                return false;
            }
            m_value = m_args[m_next++];
        }
        return true;
    }
    return false;
}

bool WholeNumber(const QString &text, int low, int high, int &value)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok || n < low || n > high)
        return false;
    value = n;
    return true;
}

bool DigitsNumber(const QString &text, int low, int high, int &value)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,6}$"));
    return digits.match(text).hasMatch() && WholeNumber(text, low, high, value);
}

void WriteText(FILE *out, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out);
}

void PrintLine(FILE *out, const QString &text)
{
    WriteText(out, text);
    std::fputc('\n', out);
}
