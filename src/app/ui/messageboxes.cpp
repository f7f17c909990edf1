#include "app/ui/messageboxes.h"

#include "app/messages.h"
#include "app/utilities.h"

#include <QDesktopServices>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QUrl>

namespace {
QPointer<QWidget> g_parent;

bool showBox(Msg::Kind kind, const QString &text)
{
    switch (kind) {
    case Msg::Kind::Error:
        QMessageBox::critical(g_parent, Msg::AppTitle, text);
        return false;
    case Msg::Kind::Information:
        QMessageBox::information(g_parent, Msg::AppTitle, text);
        return false;
    case Msg::Kind::Question:
        return QMessageBox::question(g_parent, Msg::AppTitle, text, QMessageBox::Yes | QMessageBox::No)
            == QMessageBox::Yes;
    }
    return false;
}

QString askText(const QString &prompt, const QString &defaultText, bool *ok)
{
    return QInputDialog::getText(g_parent, Msg::AppTitle, prompt, QLineEdit::Normal, defaultText, ok);
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
