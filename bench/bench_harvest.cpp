// Harvest list with 10,000 rows in the harvest panel, and the download
// window, both shown (offscreen): adding the rows through 加入LV1 with its
// duplicate check, handing all of them to the download window, and removing
// half of them by a title filter through the panel's menu. Prints the
// figures.
#include "app/messages.h"
#include "app/settings.h"
#include "queue/downloadlist.h"
#include "queue/ui/ffiledownload.h"
#include "search/harvestlist.h"
#include "search/ui/harvestpanel.h"
#include "benchsupport.h"

#include <QAction>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using bench::ms;

QString urlOf(int i) { return QStringLiteral("https://pmc.example.org/articles/PMC%1/pdf/").arg(1000000 + i); }

QString titleOf(int i)
{
    // Every other title carries the word the filter looks for.
    return QStringLiteral("Article %1 on %2 expression in tumour cells").arg(i).arg(i % 2 ? "gene" : "protein");
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    bench::prepareEnvironment(home);
    QApplication app(argc, argv);
    const int rows = 10000;

    HarvestPanel panel;
    HarvestList &harvest = panel.list();
    panel.resize(800, 600);
    panel.show();
    Program().SaveFolder = home.path() + QStringLiteral("/save/");
    fFileDownload *window = fFileDownload::instance(true);
    window->resize(800, 600);
    显示下载窗口(true);
    const DownloadList &downloads = window->list();
    QApplication::processEvents();

    QElapsedTimer t;
    t.start();
    for (int i = 0; i < rows; ++i)
        harvest.加入LV1(titleOf(i), urlOf(i), QStringLiteral("PDF"));
    const double addMs = ms(t);
    t.restart();
    QApplication::processEvents();
    const double addPaintMs = ms(t);

    // A second import of the same pages: every row is a duplicate.
    t.restart();
    for (int i = 0; i < rows; ++i)
        harvest.加入LV1(titleOf(i), urlOf(i), QStringLiteral("PDF"));
    const double duplicateMs = ms(t);

    t.restart();
    for (int i = 0; i < harvest.count(); ++i) {
        const HarvestList::Row &row = harvest.at(i);
        加入下载列表(row.url, row.title, row.type);
        harvest.setStatus(i, QStringLiteral("成功"));
    }
    const double handOffMs = ms(t);
    t.restart();
    QApplication::processEvents();
    const double handOffPaintMs = ms(t);

    Msg::setInputHandler([](const QString &, const QString &, bool *ok) {
        *ok = true;
        return QStringLiteral("GENE");
    });
    t.restart();
    const int before = harvest.count();
    panel.menuAction(QStringLiteral("menu清除标题含指定字符项"))->trigger();
    const int removed = before - harvest.count();
    const double filterMs = ms(t);
    t.restart();
    QApplication::processEvents();
    const double filterPaintMs = ms(t);

    std::printf("rows: %d (harvest list %d, download list %d after the hand-off)\n", rows, rows, downloads.count());
    std::printf("add through 加入LV1:        %8.1f ms (target < 1000 ms), then views %6.1f ms\n", addMs, addPaintMs);
    std::printf("same rows again (all dups): %8.1f ms\n", duplicateMs);
    std::printf("hand all to download list:  %8.1f ms (target < 1000 ms), then views %6.1f ms\n", handOffMs,
                handOffPaintMs);
    std::printf("remove by title filter:     %8.1f ms (target < 200 ms), %d removed, then view %6.1f ms\n", filterMs,
                removed, filterPaintMs);
    delete window;
    return 0;
}
