#pragma once
// The windows' side of the message layer: modal message boxes and the input
// box, owned by the window that is set as their parent, and the desktop's own
// handler for opening files, folders and URLs.
class QWidget;

namespace MessageBoxes {
// Installs the message and input boxes as the handlers of Msg, and the
// desktop's URL handler as the shell opener.
void install();
void setParent(QWidget *parent); // owner of the boxes (may be null)
} // namespace MessageBoxes
