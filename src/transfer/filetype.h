#pragma once
// A file's type from its Content-Type and from its own first bytes; moving a
// file whose name lies about its type; the base reference of saved pages.
#include <QString>

// The part of a download row these operations look at. `folder` is the save
// folder ("/" at its end or not), the file is folder + name + "." + type, or
// folder + name when the type is empty. `key` is the row's URL, or up to three
// alternatives joined by "|" of which the first is the one fetched.
struct ItemFile {
    QString folder;
    QString name;
    QString type;
    QString key;
};

// The file an ItemFile stands for, as it is passed to the file system.
QString ItemFilePath(const ItemFile &item);

// "application/pdf" -> "pdf"; a short run of letters, or empty.
QString ExtensionFromContentType(const QString &mime);

// The lower-case type the file's content shows ("pdf", "docx", "htm", ...),
// empty when it cannot be told or the file is missing. Reads at most
// 10241 bytes from the start and 128 from the end.
QString 打开文件判断文件类型(const QString &path);

// When the content shows a type other than the row's, moves the file to
// folder + name + "." + detected (numbered with four digits when taken; an
// existing file is never replaced) and updates name and type. True when the
// file was moved.
bool CorrectFileType(ItemFile &item);

// Puts <Base href='URL'> before the first </head> of a saved htm/html page,
// so that its relative links work when opened from disk. The page's bytes
// are kept as they are; the rewrite replaces the file only once the new
// content is completely written.
bool InsertBaseHref(const ItemFile &item);

// The extension of the file part of path (empty when there is none or it has
// seven or more characters); the rest goes to base. Both trimmed.
QString SplitFileName(const QString &path, QString &base);
