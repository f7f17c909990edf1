#include "app/ui/foption.h"

#include "app/messages.h"
#include "app/settings.h"
#include "app/utilities.h"
#include "app/ui/windowhelpers.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

template <typename T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// The loaded download window, hidden or shown, matched by name without
// regard to case.
QWidget *loadedWindow(const QString &name)
{
    if (!IsFormLoaded(name))
        return nullptr;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows)
        if (w->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return w;
    return nullptr;
}

// Shows the new mode in the download window: its mode label, and its
// thread-count box, which only mode two uses (starting again from one thread).
void showModeInDownloadWindow(int mode)
{
    QWidget *window = loadedWindow(SettingKeys::FileDownload);
    if (!window)
        return;
    if (auto *label = window->findChild<QLabel *>(QStringLiteral("Label7")))
        label->setText(QStringLiteral("下载方式：%1").arg(mode));
    if (auto *threads = window->findChild<QComboBox *>(QStringLiteral("Combo1"))) {
        threads->setEnabled(mode == 2);
        if (mode == 2)
            threads->setCurrentText(QStringLiteral("1"));
    }
}

// A proxy port the transfer can use: a whole number from 1 to 65535.
bool isPort(const QString &text)
{
    bool ok = false;
    const int port = text.toInt(&ok);
    return ok && port >= 1 && port <= 65535;
}

} // namespace

fOption::fOption(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("fOption"));
    setModal(true);

    Label1 = named(new QLabel(QStringLiteral("下载方式："), this), "Label1");
    Option1 = named(new QRadioButton(QStringLiteral("下载方式一 (支持HTTP，单线程，代理服务器下载)"), this), "Option1");
    Option2 = named(new QRadioButton(QStringLiteral("下载方式二 (支持HTTP，多线程下载)"), this), "Option2");
    Option1->setChecked(true);
    Check1 = named(new QCheckBox(QStringLiteral("下载使用代理服务器"), this), "Check1");
    Label2 = named(new QLabel(QStringLiteral("地址："), this), "Label2");
    Text6 = named(new QLineEdit(this), "Text6");
    Label3 = named(new QLabel(QStringLiteral("(如：proxy.example.com 或者 192.168.0.1)"), this), "Label3");
    Label4 = named(new QLabel(QStringLiteral("端口："), this), "Label4");
    Text8 = named(new QLineEdit(this), "Text8");
    Label5 = named(new QLabel(QStringLiteral("(如：3128 或者 80 等等)"), this), "Label5");
    Label6 = named(new QLabel(QStringLiteral("下载文件大小不超过："), this), "Label6");
    Text1 = named(new QLineEdit(QStringLiteral("10"), this), "Text1");
    Label7 = named(new QLabel(QStringLiteral("MB"), this), "Label7");
    Command1 = named(new QPushButton(QStringLiteral("确定"), this), "Command1");
    Command2 = named(new QPushButton(QStringLiteral("关闭"), this), "Command2");
    Command1->setDefault(true);
    Label2->setBuddy(Text6);
    Label4->setBuddy(Text8);
    Label6->setBuddy(Text1);

    auto *proxy = new QGridLayout;
    proxy->addWidget(Label2, 0, 0);
    proxy->addWidget(Text6, 0, 1);
    proxy->addWidget(Label3, 0, 2);
    proxy->addWidget(Label4, 1, 0);
    proxy->addWidget(Text8, 1, 1);
    proxy->addWidget(Label5, 1, 2);
    proxy->setContentsMargins(20, 0, 0, 0);

    auto *size = new QHBoxLayout;
    size->addWidget(Label6);
    size->addWidget(Text1);
    size->addWidget(Label7);
    size->addStretch();

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);

    auto *main = new QVBoxLayout(this);
    main->addWidget(Label1);
    main->addWidget(Option1);
    main->addWidget(Option2);
    main->addWidget(Check1);
    main->addLayout(proxy);
    main->addLayout(size);
    main->addLayout(buttons);

    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });

    loadValues();
}

void fOption::loadValues()
{
    const ProgramValues &p = Program();
    setWindowTitle(QStringLiteral("设置") + QLatin1Char('-') + Msg::AppTitle);
    Check1->setChecked(p.ProxyEnabled == 1);
    Text6->setText(p.ProxyAddress);
    Text8->setText(p.ProxyPort);
    if (p.DownloadMode == 1)
        Option1->setChecked(true);
    else if (p.DownloadMode == 2)
        Option2->setChecked(true);
    Text1->setText(DecimalText(p.MaxFileSizeMB));
}

void fOption::Command1_Click()
{
    namespace K = SettingKeys;

    // The size is checked before anything is stored, so a refused OK leaves
    // the store and the program-wide values exactly as they were.
    bool sizeOk = false;
    const double size = Text1->text().trimmed().toDouble(&sizeOk);
    if (!sizeOk || !std::isfinite(size) || size <= 0) {
        Msg::error(SizeRefusal);
        Text1->setFocus();
        Text1->selectAll();
        return;
    }

    ProgramValues &p = Program();
    if (Option1->isChecked())
        p.DownloadMode = 1;
    else if (Option2->isChecked())
        p.DownloadMode = 2;
    showModeInDownloadWindow(p.DownloadMode);
    SaveSetting(K::Settings, K::DownloadMode, QString::number(p.DownloadMode));

    p.ProxyEnabled = Check1->isChecked() ? 1 : 0;
    SaveSetting(K::Settings, K::ProxyEnabled, QString::number(p.ProxyEnabled));
    p.ProxyAddress = Text6->text().trimmed();
    SaveSetting(K::Settings, K::ProxyAddress, p.ProxyAddress);
    p.ProxyPort = Text8->text().trimmed();
    SaveSetting(K::Settings, K::ProxyPort, p.ProxyPort);

    // Only a warning: the values are stored and OK goes on.
    if (p.ProxyEnabled == 1 && (p.ProxyAddress.isEmpty() || !isPort(p.ProxyPort)))
        Msg::error(ProxyWarning);

    p.MaxFileSizeMB = size;
    SaveSetting(K::Settings, K::MaxFileSize, DecimalText(size));

    accept();
}

void fOption::Command2_Click()
{
    reject();
}
