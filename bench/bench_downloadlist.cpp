// Download list with 100,000 rows: time to add them all, the per-second
// queries, and a key lookup. Prints the figures.
#include "queue/downloadlist.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rows = 100000;
    DownloadList list;
    QElapsedTimer t;

    t.start();
    for (int i = 0; i < rows; ++i)
        list.add(QStringLiteral("https://example.org/pmc/articles/PMC%1/pdf/paper%1.pdf").arg(i),
                 QStringLiteral("Article title number %1").arg(i), QStringLiteral("PDF"), QStringLiteral("/tmp/save/"));
    const double addMs = t.nsecsElapsed() / 1e6;

    // Give the list a realistic mix of states.
    for (int i = 0; i < rows; i += 3)
        list.setState(list.at(i), Finished);
    for (int i = 1; i < rows; i += 7)
        list.setState(list.at(i), Failed);

    auto perCall = [&](auto fn) {
        const int reps = 200;
        QElapsedTimer q;
        q.start();
        for (int r = 0; r < reps; ++r)
            fn();
        return q.nsecsElapsed() / 1e6 / reps;
    };
    volatile qsizetype sink = 0;
    const double countsMs = perCall([&] { sink = sink + StatusCountsText(list).size(); });
    const double doneMs = perCall([&] { sink = sink + 检测是否下载列表完毕(list); });
    const double untouchedMs = perCall([&] { sink = sink + 统计未下载项数目(list); });
    const double errorsMs = perCall([&] { sink = sink + CountErrorsAndPages(list); });
    const double lookupMs = perCall([&] {
        sink = sink + list.indexOfKey(QStringLiteral("https://example.org/pmc/articles/PMC99999/pdf/paper99999.pdf"));
    });

    std::printf("rows: %d\n", rows);
    std::printf("add all rows:            %8.1f ms (target < 1000 ms)\n", addMs);
    std::printf("UpdateStatusCounts text: %8.4f ms (target < 5 ms)\n", countsMs);
    std::printf("list done query:         %8.4f ms (target < 5 ms)\n", doneMs);
    std::printf("not-started count:       %8.4f ms (target < 5 ms)\n", untouchedMs);
    std::printf("errors-and-pages count:  %8.4f ms\n", errorsMs);
    std::printf("key lookup:              %8.4f ms\n", lookupMs);
    return 0;
}
