#include "app/ui/fcover.h"

#include "app/messages.h"
#include "app/registry.h"
#include "app/settings.h"
#include "app/ui/windowflow.h"
#include "app/versiontext.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QVersionNumber>

namespace {

fCover::Hooks &installedHooks()
{
    static fCover::Hooks hooks;
    return hooks;
}

// Stored layout values are twips, 15 to the pixel.
constexpr int px(int twips) { return twips / 15; }

// Around the picture: a little to its right, and a strip below it for the
// version texts and the two buttons.
constexpr int MarginRight = px(50);
constexpr int MarginBelow = px(600);

template <typename W>
W *named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

void fCover::setHooks(Hooks hooks) { installedHooks() = std::move(hooks); }
const fCover::Hooks &fCover::hooks() { return installedHooks(); }

fCover::fCover(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("fCover"));
    setWindowTitle(Msg::AppTitle);

    Image1 = named(new QLabel(this), "Image1");
    Image1->setPixmap(QPixmap(QStringLiteral(":/images/cover.png")));
    Image1->setScaledContents(false);

    // The notice sits on the picture's dark lower edge.
    Label2 = named(new QLabel(QStringLiteral("(该软件仅用于科研人员辅助少量下载；请不要恶意下载和大量下载！)"), this), "Label2");
    Label2->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    Label3 = named(new QLabel(QStringLiteral("版本："), this), "Label3");
    Label1 = named(new QLabel(QStringLiteral("最新版本："), this), "Label1");
    Label4 = named(new QLabel(QStringLiteral("正在加载组件，请稍候..."), this), "Label4");
    Label4->setAutoFillBackground(true); // covers Label1 while it shows
    Command1 = named(new QPushButton(QStringLiteral("文献检索下载"), this), "Command1");
    Command3 = named(new QPushButton(QStringLiteral("退出软件"), this), "Command3");
    Command1->setDefault(true);

    Timer1 = named(new QTimer(this), "Timer1");
    Timer1->setSingleShot(true);
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });

    m_flow = new WindowFlow(this, [] {
        const auto &make = installedHooks().searchWindow;
        return make ? make() : nullptr;
    });
    connect(Command1, &QPushButton::clicked, this, [this] { m_flow->openSearchWindow(); });
    connect(Command3, &QPushButton::clicked, this, [this] { close(); });

    setFixedSize(ruleSize());
    placeControls();
}

fCover::~fCover() = default;

QString fCover::versionCaption(const QString &version)
{
    const QVersionNumber v = QVersionNumber::fromString(version);
    return QStringLiteral("版本:%1.%2.%3").arg(v.majorVersion()).arg(v.minorVersion()).arg(v.microVersion());
}

QSize fCover::ruleSize() const
{
    const QSize picture = Image1->pixmap().deviceIndependentSize().toSize();
    return QSize(picture.width() + MarginRight, picture.height() + MarginBelow);
}

void fCover::load()
{
    setWindowTitle(Msg::AppTitle);
    Label3->setText(versionCaption(QStringLiteral(VELMORA_VERSION)));
    Label4->show();
    show(); // on screen while the rest of the start-up runs

    WindowsVersionText(); // read once, here, for the rest of the program
    // Before any browser pane exists. A store that cannot be written is no
    // reason to stop: the panes then render as they would anyway.
    SetBrowserEmulation(QStringLiteral("IE10"), true);
    // A stored limit that is not a usable number leaves the default.
    double limit = SettingDefaults::MaxFileSizeMB;
    if (ReadSettingDouble(SettingKeys::Settings, SettingKeys::MaxFileSize, SettingDefaults::MaxFileSizeMB, limit) && limit > 0)
        Program().MaxFileSizeMB = limit;

    Timer1->start();
    Label4->hide();
}

void fCover::Timer1_Timer()
{
    Timer1->stop();
    if (const auto &check = installedHooks().updateCheck)
        check(*this);
}

void fCover::placeControls()
{
    const QSize picture = Image1->pixmap().deviceIndependentSize().toSize();
    Image1->setGeometry(0, 0, picture.width(), picture.height());

    const int stripTop = picture.height();
    const int buttonHeight = 28;
    const int buttonTop = stripTop + (MarginBelow - buttonHeight) / 2;
    const int right = width() - 8;
    Command3->setGeometry(right - 90, buttonTop, 90, buttonHeight);
    Command1->setGeometry(right - 90 - 8 - 120, buttonTop, 120, buttonHeight);

    const int labelHeight = 20;
    const int labelTop = stripTop + (MarginBelow - labelHeight) / 2;
    Label3->setGeometry(8, labelTop, 110, labelHeight);
    Label1->setGeometry(122, labelTop, Command1->x() - 8 - 122, labelHeight);
    Label4->setGeometry(Label1->geometry());
    Label2->setGeometry(10, stripTop - labelHeight - 6, picture.width() - 20, labelHeight);
}

void fCover::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (size() != ruleSize())
        setFixedSize(ruleSize());
    placeControls();
}

void fCover::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_warmedUp)
        return;
    m_warmedUp = true;
    // After the window has reached the screen: the browser engine starts
    // while the user reads the start window, not when they press the button.
    if (const auto &warmUp = installedHooks().warmUp)
        QTimer::singleShot(0, this, [warmUp] { warmUp(); });
}

void fCover::closeEvent(QCloseEvent *event)
{
    // The program ends with the start window. Any work window still loaded
    // closes first, the usual way: a download window that is busy asks,
    // and a "No" keeps the program running.
    if (!m_flow->closeWorkWindows()) {
        event->ignore();
        return;
    }
    event->accept();
    QCoreApplication::quit();
}
