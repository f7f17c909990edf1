// The analyse-and-download run over a harvest list: which rows each command
// hands over and in what order, the progress texts, the save-location
// dialog's cancel, the stop, rows removed during a run, and the rows whose
// address cannot be downloaded.
#include "search/analysis.h"
#include "search/harvestlist.h"
#include "support/testhome.h"

#include <QSignalSpy>

namespace {

// Rows 1..5 (positions), with the statuses given; row 4 is selected.
void fill(HarvestList &list, const QStringList &statuses)
{
    for (int i = 0; i < statuses.size(); ++i) {
        const QString n = QString::number(i + 1);
        list.加入LV1("Title " + n, "http://h/" + n + ".pdf", "PDF");
        list.setStatus(i, statuses.at(i));
    }
}

QStringList statuses(const HarvestList &list)
{
    QStringList out;
    for (int i = 0; i < list.count(); ++i)
        out << list.at(i).status;
    return out;
}

struct Harness {
    HarvestList list;
    Analysis run{&list};
    QStringList handed;            // URLs, in order
    QStringList texts;             // Label11
    QStringList events;            // dialog, show
    bool dialogAnswer = true;
    QList<int> selected;
    Harness()
    {
        run.setSliceMilliseconds(0); // one row per turn
        run.chooseSaveLocation = [this] {
            events << "dialog";
            return dialogAnswer;
        };
        run.isSelected = [this](int row) { return selected.contains(row); };
        run.handOff = [this](const QString &url, const QString &, const QString &) {
            handed << url;
            return !url.endsWith("/2.pdf"); // row 2 is in the download list already
        };
        run.showDownloads = [this] { events << "show"; };
        QObject::connect(&run, &Analysis::progress, &run, [this](const QString &t) { texts << t; });
    }
    bool runToEnd(Analysis::Scope scope)
    {
        QSignalSpy finished(&run, &Analysis::finished);
        run.run(scope);
        return finished.wait(5000) && !run.isRunning();
    }
};

const QString OK = QStringLiteral("成功");
const QString FAIL = QStringLiteral("分析失败");

} // namespace

class TestAnalysis : public QObject {
    Q_OBJECT
private slots:
    void commandsChooseTheirRows_data()
    {
        QTest::addColumn<Analysis::Scope>("scope");
        QTest::addColumn<QStringList>("handed"); // row numbers
        QTest::addColumn<QStringList>("after");
        QTest::newRow("not yet analysed") << Analysis::Scope::Unanalysed << QStringList{"1", "5"}
                                          << QStringList{OK, OK, FAIL, OK, OK};
        QTest::newRow("failed") << Analysis::Scope::Failed << QStringList{"3"} << QStringList{"", OK, OK, OK, ""};
        QTest::newRow("selected") << Analysis::Scope::Selected << QStringList{"2", "4"}
                                  << QStringList{"", OK, FAIL, OK, ""};
        QTest::newRow("all") << Analysis::Scope::All << QStringList{"1", "2", "3", "4", "5"}
                             << QStringList{OK, OK, OK, OK, OK};
    }
    void commandsChooseTheirRows()
    {
        QFETCH(Analysis::Scope, scope);
        QFETCH(QStringList, handed);
        QFETCH(QStringList, after);
        Harness h;
        fill(h.list, {"", OK, FAIL, OK, ""});
        h.selected = {1, 3};
        QVERIFY(h.runToEnd(scope));
        QStringList urls, texts{Analysis::waitingText()};
        for (const QString &n : handed) {
            urls << "http://h/" + n + ".pdf";
            texts << "正在分析第" + n + "个，请稍候 ...";
        }
        QCOMPARE(h.handed, urls);
        QCOMPARE(h.texts, texts); // the row's place in the list, not a count
        // Row 2 was listed already and still counts as handed over.
        QCOMPARE(statuses(h.list), after);
        QCOMPARE(h.events, (QStringList{"dialog", "show"}));
    }

    void cancelledOrEmptyHandsNothingOver()
    {
        Harness h;
        QVERIFY(h.runToEnd(Analysis::Scope::All)); // empty list: no dialog
        QCOMPARE(h.events, QStringList{"show"});

        fill(h.list, {"", OK});
        h.dialogAnswer = false;
        h.events.clear();
        QVERIFY(h.runToEnd(Analysis::Scope::All));
        QVERIFY(h.handed.isEmpty());
        QCOMPARE(statuses(h.list), (QStringList{"", OK}));
        QCOMPARE(h.events, (QStringList{"dialog", "show"}));

        // Run twice: the second finds nothing to do but still asks and shows.
        h.dialogAnswer = true;
        QVERIFY(h.runToEnd(Analysis::Scope::Unanalysed));
        QVERIFY(h.runToEnd(Analysis::Scope::Unanalysed));
        QCOMPARE(h.handed, QStringList{"http://h/1.pdf"});
        QCOMPARE(h.events.count("dialog"), 3);
    }

    void stopEndsAfterTheCurrentRow()
    {
        Harness h;
        QStringList blank;
        for (int i = 0; i < 100; ++i)
            blank << OK;
        fill(h.list, blank);
        int seen = 0;
        h.run.handOff = [&](const QString &, const QString &, const QString &) {
            if (++seen == 3)
                h.run.requestStop(); // Command5 while row 3 is handled
            return true;
        };
        QVERIFY(h.runToEnd(Analysis::Scope::All));
        QCOMPARE(seen, 3);
        QVERIFY(h.run.stopAnalysis());
        // Rows after the stop keep their status: it is cleared just before a hand-off.
        QCOMPARE(statuses(h.list).mid(0, 4), (QStringList{OK, OK, OK, OK}));
        QCOMPARE(h.events.last(), QStringLiteral("show"));
    }

    void rowsRemovedDuringARunAreSkipped()
    {
        Harness h;
        fill(h.list, {"", "", "", "", ""});
        h.run.handOff = [&](const QString &url, const QString &, const QString &) {
            h.handed << url;
            if (h.handed.size() == 1) // the user removes rows 2 and 3 while row 1 is handled
                h.list.removeIf([](const HarvestList::Row &r) { return r.url.endsWith("/2.pdf") || r.url.endsWith("/3.pdf"); });
            return true;
        };
        QVERIFY(h.runToEnd(Analysis::Scope::All));
        // Positions 2 and 3 now hold rows 4 and 5; positions 4 and 5 are gone.
        QCOMPARE(h.handed, (QStringList{"http://h/1.pdf", "http://h/4.pdf", "http://h/5.pdf"}));
        QCOMPARE(statuses(h.list), (QStringList{OK, OK, OK}));
    }

    void addressesThatCannotBeDownloadedFail_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("downloadable");
        QTest::newRow("http") << "http://h/a.pdf" << true;
        QTest::newRow("https, any case") << "HTTPS://h/a.pdf" << true;
        QTest::newRow("script link") << "javascript:void(0)" << false;
        QTest::newRow("relative") << "/pmc/a.pdf" << false;
        QTest::newRow("no host") << "http:///a.pdf" << false;
        QTest::newRow("mail") << "mailto:a@h" << false;
        QTest::newRow("local file") << "file:///etc/passwd" << false;
    }
    void addressesThatCannotBeDownloadedFail()
    {
        QFETCH(QString, url);
        QFETCH(bool, downloadable);
        QCOMPARE(Analysis::IsDownloadableUrl(url), downloadable);
        Harness h;
        h.list.加入LV1("t", url, "PDF");
        QVERIFY(h.runToEnd(Analysis::Scope::All));
        QCOMPARE(h.handed.size(), downloadable ? 1 : 0);
        QCOMPARE(h.list.at(0).status, downloadable ? OK : FAIL);
        // "分析失败项" finds it again.
        h.handed.clear();
        QVERIFY(h.runToEnd(Analysis::Scope::Failed));
        QCOMPARE(h.handed.size(), 0);
        QCOMPARE(h.list.at(0).status, downloadable ? OK : FAIL);
    }
};

VELMORA_TEST_MAIN(TestAnalysis)
#include "tst_analysis.moc"
