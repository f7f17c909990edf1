#pragma once
// Small file helpers the tests share: put bytes into a file, read a file
// back, list a folder with its hidden entries (temporary bodies are hidden).
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QtTest>

// Writes the bytes as the whole file; fails the test when it cannot.
inline void writeFile(const QString &path, const QByteArray &bytes = "data")
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

// The file's bytes, or "<missing>" when it cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Every entry of the folder, hidden ones included, by name.
inline QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}
