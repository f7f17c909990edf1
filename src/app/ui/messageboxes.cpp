#include "app/ui/messageboxes.h"

#include "app/messages.h"
#include "app/utilities.h"

#include <QApplication>
#include <QDesktopServices>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QUrl>

namespace {
QPointer<QWidget> g_parent;

// A box raised while a modal dialog is open belongs to that dialog: over a
// dialog that stays on top, a box owned by the window behind it could open
// underneath, and the program would seem to hang.
QWidget *owner()
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    return g_parent;
}

bool showBox(Msg::Kind kind, const QString &text)
{
    switch (kind) {
    case Msg::Kind::Error:
        QMessageBox::critical(owner(), Msg::AppTitle, text);
        return false;
    case Msg::Kind::Information:
        QMessageBox::information(owner(), Msg::AppTitle, text);
        return false;
    case Msg::Kind::Question:
        return QMessageBox::question(owner(), Msg::AppTitle, text, QMessageBox::Yes | QMessageBox::No)
            == QMessageBox::Yes;
    }
    return false;
}

QString askText(const QString &prompt, const QString &defaultText, bool *ok)
{
    return QInputDialog::getText(owner(), Msg::inputTitle(), prompt, QLineEdit::Normal, defaultText, ok);
}
} // namespace

namespace MessageBoxes {

void install()
{
    Msg::setHandler(showBox);
    Msg::setInputHandler(askText);
    Shell::setOpener([](const QUrl &url) { return QDesktopServices::openUrl(url); });
}

void setParent(QWidget *parent) { g_parent = parent; }

} // namespace MessageBoxes
