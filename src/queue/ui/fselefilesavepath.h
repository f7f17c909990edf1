#pragma once
// The save-location dialog: where the analysis puts its files and whether
// they are named by the URL's own name or by the article title. A thin
// window over queue/savelocation.h; its results stay in Program() after it
// is gone (SaveFolder, UseOriginalFileName, SaveDialogCancelled).
#include <QDialog>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

class fSeleFileSavePath : public QDialog {
    Q_OBJECT
public:
    explicit fSeleFileSavePath(QWidget *owner = nullptr);

    // Shows the dialog modally over owner. True when closed by OK; the three
    // program-wide results are set either way.
    static bool Run(QWidget *owner);

    // The folder picker behind "...": given the folder text, answers the new
    // text. BrowseForFolder by default; tests put a script in its place.
    std::function<QString(const QString &startFolder)> chooseFolder;

    QLabel *Label1 = nullptr;        // "保存到文件夹："
    QComboBox *Combo1 = nullptr;     // the folder, its list the save-folder history
    QPushButton *Command1 = nullptr; // "..."
    QLabel *Label3 = nullptr;        // "保存文件名为："
    QRadioButton *Option1 = nullptr; // "原文件名"
    QRadioButton *Option2 = nullptr; // "文章标题名称"
    QPushButton *Command2 = nullptr; // "确定"
    QPushButton *Command3 = nullptr; // "取消"

    // Any way of closing other than OK (Cancel, Escape, the title bar's
    // close button) counts as cancelled, so a caller never goes on with the
    // folder of an earlier run the user just turned away from.
    void done(int result) override;

private:
    void buildControls();
    void load();
    void browse();
    void ok();
};
