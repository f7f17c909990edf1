#pragma once
// The system's version text, read once at start-up and shown or consulted
// later (the cache viewer looks for "Windows 7/8/10" in it).
#include <QString>

// Where the Windows version values live in the registry store.
inline const QString WindowsVersionKey =
    QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");

// "<ProductName> 版本:<release> (内部版本:<build>)" from the Windows version
// values of the registry store. Without a "ProductName" there, the same form
// is filled from the operating system's own description.
QString ReadWindowsVersionText();

// "64" on a 64-bit system, "32" otherwise.
QString SystemBitness();

// ReadWindowsVersionText() + "[" + SystemBitness() + "位]".
QString MakeWindowsVersionText();

// The program-wide text: made by the first call (start-up), never changed
// afterwards.
QString WindowsVersionText();
