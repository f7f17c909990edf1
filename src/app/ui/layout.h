#pragma once
// Window-appearance helpers shared by the windows: a window's position and
// size kept in the settings store between sessions, and striped list rows.
//
// Stored positions and sizes are in twips (15 per pixel) so that the values
// keep the meaning they have always had in the store.
#include <QString>

class QAbstractItemView;
class QWidget;

inline constexpr int TwipsPerPixel = 15;

// The primary screen's size in pixels as "W*H", e.g. "1920*1080".
QString ScreenResolutionText();

// Stores the window's layout under section (the window's objectName when
// empty): "0*0" alone when it is maximised, otherwise the screen resolution
// and its top, left, width and height in twips.
void SaveFormLayout(QWidget *window, const QString &section = QString());

// Restores what SaveFormLayout stored, but only on a screen of the same
// resolution and when the window was not closed maximised; otherwise the
// window is maximised and the store is left as it is. The top and left are
// kept at or above 0, the width at 4000 twips or more, the height at 3000
// or more. A value that cannot be read is skipped and the others still apply.
void LoadFormLayout(QWidget *window, const QString &section = QString());

// Rows of the list alternate pale green and white, pale green first, at a
// fixed row height: rowHeightPx when above 0, otherwise one pixel more than
// the height of the list's text, four pixels more still with extraSpacing.
// Called again after a font change to pick it up.
void SetListStripes(QAbstractItemView *list, bool extraSpacing, int rowHeightPx);
