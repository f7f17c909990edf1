#pragma once
// Helpers of the folder drop-down boxes.
class QComboBox;

// Widens the open drop-down list of the box so that its longest entry is
// visible: the text width of the first longest entry plus 7 pixels, plus the
// scroll bar's width when the list holds more than 8 entries (it scrolls
// then), but never beyond the right edge of the screen.
void FitDropDownWidth(QComboBox *box);
// The width FitDropDownWidth gives the list, in pixels.
int FittedDropDownWidth(const QComboBox *box);
