#include "app/codecs.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// Reads count hexadecimal digits at text[pos]; -1 when they are not all
// there or not all hexadecimal.
int readHex(const QString &text, qsizetype pos, int count)
{
    if (pos + count > text.size())
        return -1;
    int value = 0;
    for (int k = 0; k < count; ++k) {
        const int h = hexValue(text.at(pos + k));
        if (h < 0)
            return -1;
        value = value * 16 + h;
    }
    return value;
}

// The shared walk of both URL decoders: "%XX" bytes are gathered into runs,
// "%uXXXX" is one UTF-16 code unit and "+" a space. An escape that is not
// well formed (a "%" without two hex digits after it) is kept as it is
// written, so a literal "%" in a name ("50%off.pdf") survives.
template <typename DecodeRun>
QString urlDecode(const QString &text, DecodeRun decodeRun)
{
    QString result;
    result.reserve(text.size());
    QByteArray run;
    auto flush = [&] {
        if (!run.isEmpty()) {
            result += decodeRun(run);
            run.clear();
        }
    };
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        const bool isU = i + 1 < text.size() && text.at(i + 1) == QLatin1Char('u');
        if (c == QLatin1Char('%') && !isU) {
            const int byte = readHex(text, i + 1, 2);
            if (byte >= 0) {
                run.append(char(byte));
                i += 3;
                continue;
            }
        }
        flush();
        if (c == QLatin1Char('%') && isU) {
            const int unit = readHex(text, i + 2, 4);
            if (unit >= 0) {
                result += QChar(char16_t(unit));
                i += 6;
                continue;
            }
            result += c;
        } else if (c == QLatin1Char('+')) {
            result += QLatin1Char(' ');
        } else {
            result += c;
        }
        ++i;
    }
    flush();
    return result;
}

// Length of the UTF-8 sequence that starts at bytes[i] when it is one of the
// lead-byte forms followed by enough continuation bytes; 0 otherwise.
int utf8SequenceAt(const QByteArray &bytes, qsizetype i)
{
    const uchar lead = uchar(bytes.at(i));
    int length = 0;
    if ((lead & 0xE0) == 0xC0)
        length = 2;
    else if ((lead & 0xF0) == 0xE0)
        length = 3;
    else if ((lead & 0xF8) == 0xF0)
        length = 4;
    else if ((lead & 0xFC) == 0xF8)
        length = 5;
    else if ((lead & 0xFE) == 0xFC)
        length = 6;
    else
        return 0;
    if (i + length > bytes.size())
        return 0;
    for (int k = 1; k < length; ++k)
        if ((uchar(bytes.at(i + k)) & 0xC0) != 0x80)
            return 0;
    return length;
}

QString decodeUtf8OrGbk(const QByteArray &bytes)
{
    QString result;
    QByteArray pending; // bytes that are not UTF-8, decoded together as GBK
    auto flushPending = [&] {
        if (!pending.isEmpty()) {
            result += FromAnsi(pending);
            pending.clear();
        }
    };
    qsizetype i = 0;
    while (i < bytes.size()) {
        if (const int length = utf8SequenceAt(bytes, i)) {
            flushPending();
            // Five- and six-byte forms name no Unicode character; the
            // decoder turns them into replacement characters.
            result += QString::fromUtf8(bytes.mid(i, length));
            i += length;
        } else if (uchar(bytes.at(i)) >= 0x80 && i + 1 < bytes.size()) {
            pending += bytes.mid(i, 2); // a double-byte character
            i += 2;
        } else {
            pending += bytes.at(i);
            ++i;
        }
    }
    flushPending();
    return result;
}

// Number of UTF-16 units of the character at text[i]: 2 for a whole
// surrogate pair, 1 otherwise.
qsizetype charLengthAt(const QString &text, qsizetype i)
{
    if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
        return 2;
    return 1;
}

} // namespace

QString CleanHeaderText(const QString &text)
{
    QString s = text;
    s.remove(QStringLiteral("\r\n"));
    s.remove(QChar(0));
    s.remove(QLatin1Char('\n'));
    s.remove(QLatin1Char('\r'));
    s.remove(QLatin1Char('\t'));
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && s.at(end - 1) == QLatin1Char(' '))
        --end;
    return s.mid(begin, end - begin);
}

QString Utf8BytesToText(const QByteArray &bytes)
{
    const qsizetype zero = bytes.indexOf('\0');
    return QString::fromUtf8(zero < 0 ? bytes : bytes.left(zero));
}

QString UrlDecodeUtf8(const QString &text)
{
    return urlDecode(text, Utf8BytesToText);
}

QString UrlDecodeAuto(const QString &text)
{
    return urlDecode(text, decodeUtf8OrGbk);
}

QString LeftAnsiBytes(const QString &text, int n)
{
    // Measured character by character in GBK, but the original characters
    // are kept: one that GBK cannot represent is counted as the bytes the
    // encoder gives for it (at least one) and stays in the text. A character
    // that would cross the limit is left out whole.
    QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype units = charLengthAt(text, i);
        qsizetype size = 1;
        if (units > 1 || text.at(i).unicode() >= 0x80) {
            const QByteArray encoded = encoder.encode(QStringView(text).mid(i, units));
            size = qMax<qsizetype>(1, encoded.size());
        }
        if (bytes + size > n)
            break;
        bytes += size;
        i += units;
    }
    return text.left(i);
}

QByteArray ToAnsi(const QString &text)
{
    QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

QString FromAnsi(const QByteArray &bytes)
{
    QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}
