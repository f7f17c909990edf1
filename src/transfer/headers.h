#pragma once
// What a download is called on disk: the type read from the response headers,
// the same-name policy with its two numbering schemes, and the size limit.
#include <QString>
#include <QtGlobal>

// The three option buttons under "同名文件：". The operations below take the
// choice as a value; the download window passes what its buttons show at the
// moment of the decision.
enum class DuplicateNamePolicy { Skip, Overwrite, Rename };

QString DuplicateNamePolicyCaption(DuplicateNamePolicy policy);
// The stored setting is the trimmed caption; anything else means "重命名".
DuplicateNamePolicy DuplicateNamePolicyFromCaption(const QString &caption);

// The value of the first "Content-Disposition:" line of a CR LF separated
// header block (name matched without regard to case, no space before the
// colon), trimmed; empty when there is none.
QString 从网络文件Header获取ContentDisposition(const QString &headers);

// The file name of a Content-Disposition value, percent-decoded, without its
// extension; the extension (a run of at most five Latin letters, or empty)
// goes to `extension`. The name is raw header text: whoever makes a file name
// of it passes it through SanitizeFileName first.
QString 从下载头信息ContentDisposition获取文件名(const QString &value, QString &extension);

// The type a mode-1 download gets from its response: from the Content-Type
// value, else from the Content-Disposition of the header block, else "htm"
// when a charset was given, else the row's current type.
QString TypeFromResponseHeaders(const QString &contentType, const QString &headerBlock,
                                const QString &currentType);
// The same, with the Content-Type taken from the header block itself.
QString TypeFromResponseHeaders(const QString &headerBlock, const QString &currentType);

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
