#include "queue/ui/fselefilesavepath.h"

#include "queue/savelocation.h"
#include "queue/ui/folderhistory.h"
#include "queue/ui/folderhistoryui.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

template <typename W>
W *named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromUtf8(name));
    return widget;
}

QStringList itemsOf(const QComboBox *box)
{
    QStringList items;
    items.reserve(box->count());
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

} // namespace

fSeleFileSavePath::fSeleFileSavePath(QWidget *owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("fSeleFileSavePath"));
    chooseFolder = [this](const QString &start) {
        return BrowseForFolder(this, start, SaveLocationText::BrowsePrompt, false);
    };
    buildControls();
    load();
}

void fSeleFileSavePath::buildControls()
{
    namespace T = SaveLocationText;
    setWindowTitle(T::Caption);
    setModal(true);
    // Stays above the other windows while the user decides.
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Label1 = named(new QLabel(T::FolderLabel, this), "Label1");
    Combo1 = named(new QComboBox(this), "Combo1");
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert); // the history grows on OK only
    Combo1->setMinimumWidth(320);
    Command1 = named(new QPushButton(T::Browse, this), "Command1");
    Command1->setFixedWidth(Command1->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    Label3 = named(new QLabel(T::NameLabel, this), "Label3");
    Option1 = named(new QRadioButton(T::OriginalName, this), "Option1");
    Option2 = named(new QRadioButton(T::TitleName, this), "Option2");
    auto *naming = new QButtonGroup(this);
    naming->addButton(Option1);
    naming->addButton(Option2);
    Option2->setChecked(true);
    Command2 = named(new QPushButton(T::Ok, this), "Command2");
    Command3 = named(new QPushButton(T::Cancel, this), "Command3");
    Command2->setDefault(true);

    auto *grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Combo1, 0, 1);
    grid->addWidget(Command1, 0, 2);
    auto *options = new QHBoxLayout;
    options->addWidget(Option1);
    options->addWidget(Option2);
    options->addStretch(1);
    grid->addWidget(Label3, 1, 0);
    grid->addLayout(options, 1, 1, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Command2);
    buttons->addWidget(Command3);
    grid->addLayout(buttons, 2, 0, 1, 3);
    grid->setColumnStretch(1, 1);

    connect(Command1, &QPushButton::clicked, this, [this] { browse(); });
    connect(Command2, &QPushButton::clicked, this, [this] { ok(); });
    connect(Command3, &QPushButton::clicked, this, [this] { reject(); });
}

void fSeleFileSavePath::load()
{
    const SaveLocationStart start = openSaveLocation(itemsOf(Combo1));
    (start.useOriginalFileName ? Option1 : Option2)->setChecked(true);
    Combo1->clear();
    Combo1->addItems(start.history);
    Combo1->setEditText(start.folderText);
    FitDropDownWidth(Combo1);
}

void fSeleFileSavePath::browse()
{
    if (chooseFolder)
        Combo1->setEditText(chooseFolder(Combo1->currentText()));
}

void fSeleFileSavePath::ok()
{
    QStringList history = itemsOf(Combo1);
    if (!acceptSaveLocation(Combo1->currentText(), Option1->isChecked(), history))
        return; // the message is shown; the user corrects the folder
    Combo1->clear();
    Combo1->addItems(history);
    accept();
}

void fSeleFileSavePath::done(int result)
{
    if (result != Accepted)
        cancelSaveLocation();
    QDialog::done(result);
}

bool fSeleFileSavePath::Run(QWidget *owner)
{
    fSeleFileSavePath dialog(owner);
    return dialog.exec() == Accepted;
}
