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

QString EscapeForOutput(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\\')
            out += QLatin1String("\\\\");
        else if (u == u'\t')
            out += QLatin1String("\\t");
        else if (u == u'\n')
            out += QLatin1String("\\n");
        else if (u == u'\r')
            out += QLatin1String("\\r");
        else if (u < 0x20 || u == 0x7f)
            out += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
        else if (u >= 0x80 && u < 0xa0) // C1: some terminals act on these too
            out += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}
