#include "queue/ui/folderhistory.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QScreen>
#include <QStyle>

int FittedDropDownWidth(const QComboBox *box)
{
    if (!box)
        return 0;
    // The first entry of the greatest length in characters, as the list
    // itself measures them.
    int longest = 0;
    qsizetype best = 0;
    for (int i = 0; i < box->count(); ++i) {
        const qsizetype length = box->itemText(i).size();
        if (length > best) {
            best = length;
            longest = i;
        }
    }
    int width = box->count() > 0 ? QFontMetrics(box->font()).horizontalAdvance(box->itemText(longest)) : 0;
    if (box->count() > 8)
        width += box->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, box);
    width += 7;

    const QScreen *screen = box->screen() ? box->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const int room = screen->geometry().right() + 1 - box->mapToGlobal(QPoint(0, 0)).x();
        if (room < width)
            width = room;
    }
    return width;
}

void FitDropDownWidth(QComboBox *box)
{
    if (!box || !box->view())
        return;
    box->view()->setMinimumWidth(qMax(0, FittedDropDownWidth(box)));
}
