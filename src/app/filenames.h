#pragma once
// What a download is called on disk: the same-name policy with its two
// numbering schemes, the size limit, and the rule for a path's trailing dot.
// Shared by the scheduler, both transfer modes and the type correction.
#include <QIODevice>
#include <QString>
#include <QtGlobal>

class QFile;

// The three option buttons under "同名文件：". The operations below take the
// choice as a value; the download window passes what its buttons show at the
// moment of the decision.
enum class DuplicateNamePolicy { Skip, Overwrite, Rename };

QString DuplicateNamePolicyCaption(DuplicateNamePolicy policy);
// The stored setting is the trimmed caption; anything else means "重命名".
DuplicateNamePolicy DuplicateNamePolicyFromCaption(const QString &caption);

// The longest file name the file systems here take, in bytes of UTF-8.
constexpr int MaxFileNameBytes = 255;
// The name cut (at a character boundary) so that name + tail, the tail being
// what follows it in the file name ("[001].pdf"), fits MaxFileNameBytes.
QString FitFileName(const QString &name, const QString &tail);

// Target path for folder + name + "." + type (in lower case) that does not exist yet (the
// plain path with Overwrite, or when it is free). Numbering uses three digits
// ("report[001].pdf"); brackets in the name become 『』. `newName` receives the
// file name without "." + type. A name too long for the file system together
// with its number and type is shortened to fit.
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

// A body being downloaded lives in a hidden temporary file beside its target
// ("." + the start of the name + a random part + ".part"), so that the final
// name never shows a partial file and the last move stays on one file system.
// Opens a new such file for writing (with the extra open flags); false when
// the folder is missing, the target is a folder, or nothing can be created.
bool OpenPartFile(QFile &file, const QString &target, QIODevice::OpenMode extra = {});
// Moves `from` over `to` in one step, replacing a file there (never a
// folder), so the name never stands empty.
bool ReplaceFile(const QString &from, const QString &to);
// Moves a finished file (possibly on another file system, such as one the
// browser engine saved in the temporary folder) over `to`: renamed when it
// can be, else copied into a temporary file beside `to` that then replaces
// it in one step. `from` is gone afterwards either way; false when `to` could
// not be written (nothing of it is left then).
bool MoveFileInto(const QString &from, const QString &to);
