#pragma once
// What the response headers say of a download: its type and the name a
// Content-Disposition gives it. The naming rules themselves are shared
// helpers (app/filenames.h).
#include "app/filenames.h"

#include <QString>
#include <QtGlobal>

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

