#pragma once
// The options dialog: download mode, proxy server and the size limit of
// downloaded files. Shown modally from the tools menu of the search and
// download windows; OK stores the values and updates a loaded download window.
#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class fOption : public QDialog {
    Q_OBJECT
public:
    explicit fOption(QWidget *parent = nullptr);

    // Stores the dialog's values and closes it. A size box that does not hold
    // a number above 0 is refused with a message; the dialog then stays open
    // and nothing is stored.
    void Command1_Click();
    // Closes without storing anything.
    void Command2_Click();

    QLabel *Label1;        // "下载方式："
    QRadioButton *Option1; // mode one
    QRadioButton *Option2; // mode two
    QCheckBox *Check1;     // use a proxy server
    QLabel *Label2;        // "地址："
    QLineEdit *Text6;      // proxy address
    QLabel *Label3;        // address hint
    QLabel *Label4;        // "端口："
    QLineEdit *Text8;      // proxy port
    QLabel *Label5;        // port hint
    QLabel *Label6;        // "下载文件大小不超过："
    QLineEdit *Text1;      // size limit, MB
    QLabel *Label7;        // "MB"
    QPushButton *Command1; // "确定"
    QPushButton *Command2; // "关闭"

    static inline const QString ProxyWarning = QStringLiteral("代理服务器网址或者端口格式不对！");
    static inline const QString SizeRefusal = QStringLiteral("文件大小必须是大于0的数字！");

private:
    void loadValues();
};
