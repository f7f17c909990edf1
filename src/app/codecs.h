#pragma once
// Pure text functions: header-value cleaning, percent-decoding of
// Content-Disposition file names, UTF-8 bytes to text, and the byte cut of a
// text measured in the ANSI code page (GBK).
#include <QByteArray>
#include <QString>

QString CleanHeaderText(const QString &text);
QString UrlDecodeUtf8(const QString &text);
QString UrlDecodeAuto(const QString &text);
QString Utf8BytesToText(const QByteArray &bytes);
QString LeftAnsiBytes(const QString &text, int n);

// The ANSI code page of the program's files (SaveList.dat, the exports, the
// text tests of the type detection): GBK.
QByteArray ToAnsi(const QString &text);
QString FromAnsi(const QByteArray &bytes);
