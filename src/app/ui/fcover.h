#pragma once
// The start window: the program's first window. Loading it sets the
// program-wide values the other windows rely on (the system's version text,
// the browser emulation entry, the size limit) and, a moment later, starts
// the update check. "文献检索下载" hides it and opens the search window;
// "退出软件" or its close box ends the program. It is never unloaded while
// the program runs, only hidden (see WindowFlow).
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QTimer;
class WindowFlow;

class fCover : public QWidget {
    Q_OBJECT
public:
    // What the executable plugs in. The search window lives in a folder
    // above this one, so the executable hands over a factory for it.
    struct Hooks {
        std::function<QWidget *()> searchWindow; // a new, not yet shown search window
        std::function<void()> warmUp;            // runs once, just after the window is first shown
        std::function<void(fCover &)> updateCheck; // the update check, started by Timer1
    };
    static void setHooks(Hooks hooks);
    static const Hooks &hooks();

    explicit fCover(QWidget *parent = nullptr);
    ~fCover() override;

    // The start-up sequence: caption and version text, show, version text of
    // the system, browser emulation, size limit, Timer1, hide Label4.
    void load();

    // The picture's size plus the margins of the sizing rule.
    QSize ruleSize() const;

    WindowFlow &flow() { return *m_flow; }

    // "版本:" + major.minor.revision of a dotted version text.
    static QString versionCaption(const QString &version);

    QLabel *Image1 = nullptr;
    QLabel *Label2 = nullptr; // the fair-use notice
    QLabel *Label3 = nullptr; // "版本:1.8.1225"
    QLabel *Label1 = nullptr; // "最新版本：", filled by the update check
    QLabel *Label4 = nullptr; // "正在加载组件，请稍候..." while loading
    QPushButton *Command1 = nullptr; // "文献检索下载"
    QPushButton *Command3 = nullptr; // "退出软件"
    QTimer *Timer1 = nullptr;        // one shot, 100 ms after loading

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void placeControls();
    void Timer1_Timer();

    WindowFlow *m_flow = nullptr;
    bool m_warmedUp = false;
};
