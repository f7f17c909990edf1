#include "app/ui/layout.h"
#include "app/settings.h"
#include "support/uitestmain.h"

#include <QScreen>
#include <QStandardItemModel>
#include <QTableView>
#include <QTreeView>

namespace K = SettingKeys;

namespace {
const QString Section = QStringLiteral("fFileDownload");

void store(const QString &resolution, const QString &top, const QString &left, const QString &width,
           const QString &height)
{
    SaveSetting(Section, K::Resolution, resolution);
    SaveSetting(Section, K::Top, top);
    SaveSetting(Section, K::Left, left);
    SaveSetting(Section, K::Width, width);
    SaveSetting(Section, K::Height, height);
}

QStringList stored()
{
    QStringList out;
    for (const QString &key : {K::Resolution, K::Top, K::Left, K::Width, K::Height})
        out << GetSetting(Section, key, QStringLiteral("absent"));
    return out;
}

struct Window : QWidget {
    Window()
    {
        setObjectName(Section);
        move(7, 9);
        resize(321, 123);
    }
};
} // namespace

class TestLayout : public QObject {
    Q_OBJECT
private slots:
    void resolutionIsThePrimaryScreenInPixels()
    {
        const QSize size = QGuiApplication::primaryScreen()->size();
        QVERIFY(size.width() > 0 && size.height() > 0);
        QCOMPARE(ScreenResolutionText(), QStringLiteral("%1*%2").arg(size.width()).arg(size.height()));
    }

    void layoutRoundTripsInTwips()
    {
        TempHome home;
        Window first;
        first.move(30, 45);
        first.resize(600, 400);
        SaveFormLayout(&first);
        QCOMPARE(stored(), (QStringList{ScreenResolutionText(), "675", "450", "9000", "6000"}));

        // Restoring also brings a maximised window back to its normal state.
        Window second;
        second.setWindowState(Qt::WindowMaximized);
        LoadFormLayout(&second);
        QVERIFY(!second.isMaximized());
        QCOMPARE(second.pos(), QPoint(30, 45));
        QCOMPARE(second.size(), QSize(600, 400));
    }

    // Each stored value is bounded, or skipped when it is not a number, on its own.
    void storedValuesAreBoundedOneByOne_data()
    {
        QTest::addColumn<QStringList>("values"); // top, left, width, height in twips
        QTest::addColumn<QRect>("expected");     // pixels
        QTest::newRow("narrow") << QStringList{"1500", "3000", "2000", "6000"} << QRect(200, 100, 267, 400);
        QTest::newRow("low") << QStringList{"1500", "3000", "9000", "1000"} << QRect(200, 100, 600, 200);
        QTest::newRow("negative top and left (minimised)")
            << QStringList{"-48000", "-15", "9000", "6000"} << QRect(0, 0, 600, 400);
        QTest::newRow("top not a number") << QStringList{"abc", "3000", "9000", "6000"} << QRect(200, 9, 600, 400);
        QTest::newRow("width not a number") << QStringList{"1500", "3000", "wide", "6000"} << QRect(200, 100, 321, 400);
        QTest::newRow("nothing readable") << QStringList{"", "x", "1e9x", "?"} << QRect(7, 9, 321, 123);
    }
    void storedValuesAreBoundedOneByOne()
    {
        QFETCH(QStringList, values);
        QFETCH(QRect, expected);
        TempHome home;
        store(ScreenResolutionText(), values[0], values[1], values[2], values[3]);
        Window w;
        LoadFormLayout(&w);
        QVERIFY(!w.isMaximized());
        QCOMPARE(QRect(w.pos(), w.size()), expected);
    }

    void onlyTheResolutionStoredGivesTheDefaultLayout()
    {
        TempHome home;
        SaveSetting(Section, K::Resolution, ScreenResolutionText());
        Window w;
        LoadFormLayout(&w);
        QCOMPARE(QRect(w.pos(), w.size()), QRect(7, 7, 1000, 667));
    }

    void otherScreenOrClosedMaximisedOpensMaximised_data()
    {
        QTest::addColumn<QString>("resolution");
        QTest::newRow("other screen") << "1920*1080";
        QTest::newRow("closed maximised") << "0*0";
        QTest::newRow("never stored") << QString();
    }
    void otherScreenOrClosedMaximisedOpensMaximised()
    {
        QFETCH(QString, resolution);
        TempHome home;
        if (!resolution.isNull())
            store(resolution, "1500", "3000", "9000", "6000");
        const QStringList before = stored();
        Window w;
        LoadFormLayout(&w);
        QVERIFY(w.isMaximized());
        QCOMPARE(w.pos(), QPoint(7, 9));
        QCOMPARE(stored(), before);
    }

    void closingMaximisedStoresOnlyTheMarker()
    {
        TempHome home;
        store(ScreenResolutionText(), "1500", "3000", "9000", "6000");
        Window first;
        first.showMaximized();
        QVERIFY(first.isMaximized());
        SaveFormLayout(&first);
        QCOMPARE(stored(), (QStringList{"0*0", "1500", "3000", "9000", "6000"}));

        Window second;
        LoadFormLayout(&second);
        QVERIFY(second.isMaximized());
    }

    void sectionDefaultsToTheWindowName()
    {
        TempHome home;
        Window w;
        w.setObjectName(QStringLiteral("fWebSearch"));
        SaveFormLayout(&w);
        QCOMPARE(GetSetting(QStringLiteral("fWebSearch"), K::Width), QStringLiteral("4815"));
        SaveFormLayout(&w, QStringLiteral("其他"));
        QCOMPARE(GetSetting(QStringLiteral("其他"), K::Height), QStringLiteral("1845"));
        QCOMPARE(GetSetting(Section, K::Resolution, QStringLiteral("absent")), QStringLiteral("absent"));
    }

    // Rows alternate pale green and white, green first, at the asked height.
    void stripes_data()
    {
        QTest::addColumn<bool>("table");
        QTest::newRow("tree") << false;
        QTest::newRow("table") << true;
    }
    void stripes()
    {
        QFETCH(bool, table);
        QStandardItemModel model(6, 1);
        std::unique_ptr<QAbstractItemView> view;
        if (table)
            view = std::make_unique<QTableView>();
        else
            view = std::make_unique<QTreeView>();
        view->setModel(&model);
        view->resize(300, 200);
        view->setFocusPolicy(Qt::NoFocus); // no current-row frame over the colours
        view->show();
        SetListStripes(view.get(), false, 13);
        QCoreApplication::processEvents();

        const QImage image = view->viewport()->grab().toImage();
        const int x = table ? 50 : 150;
        for (int row = 0; row < 6; ++row) {
            const QRect r = view->visualRect(model.index(row, 0));
            QCOMPARE(r.top(), row * 13);
            const QColor expected = row % 2 == 0 ? QColor(231, 248, 237) : QColor(255, 255, 255);
            QCOMPARE(image.pixelColor(x * image.devicePixelRatio(), (r.top() + 6) * image.devicePixelRatio()),
                     expected);
        }

        // Called again with another height, the rows follow.
        SetListStripes(view.get(), false, 17);
        QCoreApplication::processEvents();
        QCOMPARE(view->visualRect(model.index(1, 0)).top(), 17);
    }

    void stripeHeightFromTheFont()
    {
        QStandardItemModel model(3, 1);
        QTreeView view;
        view.setModel(&model);
        QFont font = view.font();
        font.setPixelSize(20);
        view.setFont(font);
        const int text = QFontMetrics(font).height();
        SetListStripes(&view, false, 0);
        QCOMPARE(view.sizeHintForRow(0), text + 1);
        SetListStripes(&view, true, 0);
        QCOMPARE(view.sizeHintForRow(0), text + 5);
    }
};

VELMORA_UI_TEST_MAIN(TestLayout)
#include "tst_layout.moc"
