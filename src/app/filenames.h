#pragma once
// What a download is called on disk: the same-name policy with its two
// numbering schemes, the size limit, and the rule for a path's trailing dot.
// Shared by the scheduler, both transfer modes and the type correction.
#include <QString>
#include <QtGlobal>

// The three option buttons under "同名文件：". The operations below take the
// choice as a value; the download window passes what its buttons show at the
// moment of the decision.
enum class DuplicateNamePolicy { Skip, Overwrite, Rename };

QString DuplicateNamePolicyCaption(DuplicateNamePolicy policy);
// The stored setting is the trimmed caption; anything else means "重命名".
DuplicateNamePolicy DuplicateNamePolicyFromCaption(const QString &caption);

// Target path for folder + name + "." + type (in lower case) that does not exist yet (the
// plain path with Overwrite, or when it is free). Numbering uses three digits
// ("report[001].pdf"); brackets in the name become 『』. `newName` receives the
// file name without "." + type.
QString 重命名保存路径(const QString &folder, const QString &name, const QString &type,
                       DuplicateNamePolicy policy, QString &newName);

// A free path next to `path` for the type correction: the path itself when
// free, else base + "[0001]" (four digits) and upwards.
QString UniqueFilePath(const QString &path);

// True when the size is strictly more than maxMB mebibytes.
bool IsOverSizeLimit(qint64 bytes, double maxMB);

// An extension as the naming code accepts it: the leading run of Latin
// letters ("mp4" -> "mp", "7z" -> ""), or empty when that run is longer than
// five letters.
QString ShortLetterRun(const QString &text);

// Paths are built as folder + name + "." + type even when the type is empty;
// such a trailing lone "." names the file without it. Every file-system call
// of the naming and typing code goes through this so that the existence tests
// and the files written agree.
QString FileSystemPath(const QString &path);
