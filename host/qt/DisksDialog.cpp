#include "host/qt/DisksDialog.h"

#include "core/DiskSlot.h"
#include "devices/DiskListText.h"
#include "host/qt/QtText.h"
#include "support/ErrorStack.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

CDisksDialog::CDisksDialog(CDiskSlot* const* diskSlots, int32_t slotCount, QWidget* parent)
    : QDialog(parent), diskSlots(diskSlots), slotCount(slotCount),
      filePicker(&CDisksDialog::AskForImage) {
    setWindowTitle("Disks");
    setModal(true);

    list = new QListWidget(this);
    list->setObjectName("slotList");
    list->setSortingEnabled(false);
    fileNameField = new QLineEdit(this);
    fileNameField->setObjectName("fileNameField");
    fileNameField->setReadOnly(true);
    readOnlyLabel = new QLabel(this);
    readOnlyLabel->setObjectName("readOnlyLabel");
    rememberLabel = new QLabel(this);
    rememberLabel->setObjectName("rememberLabel");

    auto* insertButton = new QPushButton("&Insert...", this);
    insertButton->setObjectName("insertButton");
    insertButton->setAutoDefault(false);
    auto* ejectButton = new QPushButton("&Eject", this);
    ejectButton->setObjectName("ejectButton");
    ejectButton->setAutoDefault(false);
    auto* closeButton = new QPushButton("Close", this);
    closeButton->setObjectName("closeButton");
    closeButton->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(insertButton);
    buttons->addWidget(ejectButton);
    buttons->addStretch(1);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list, 1);
    layout->addWidget(fileNameField);
    layout->addWidget(readOnlyLabel);
    layout->addWidget(rememberLabel);
    layout->addLayout(buttons);
    // About the size the dialog has on the desktop it comes from.
    resize(306, 353);

    // The selection, not the current row: a list that takes the focus makes its first row
    // current without selecting it, and nobody chose that slot.
    connect(list, &QListWidget::itemSelectionChanged, this, [this] { UpdateDetails(); });
    connect(insertButton, &QPushButton::clicked, this, &CDisksDialog::InsertIntoSelected);
    connect(ejectButton, &QPushButton::clicked, this, &CDisksDialog::EjectSelected);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);

    RefreshList();
    // The list would make its first row current when it takes the focus, which looks like a
    // choice nobody made: the dialog opens with the focus on Close.
    closeButton->setFocus();
}

QString CDisksDialog::AskForImage(QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, "Tarquil - Insert disk", QString(),
                                        "Tarquil disks (*.disk);;All files (*.*)");
}

int CDisksDialog::SelectedRow() const {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty())
        return -1;
    const int row = list->row(selected.front());
    return row < slotCount ? row : -1;
}

CDiskSlot* CDisksDialog::SelectedSlot() const {
    const int row = SelectedRow();
    return row < 0 ? nullptr : diskSlots[row];
}

void CDisksDialog::RefreshList() {
    const int selected = SelectedRow();
    const QSignalBlocker quiet(list);
    list->clear();
    for (int32_t i = 0; i < slotCount; ++i)
        list->addItem(FileNameToQString(DiskListLine(*diskSlots[i])));
    if (selected >= 0)
        list->setCurrentRow(selected, QItemSelectionModel::ClearAndSelect);
    else
        list->clearSelection();
    UpdateDetails();
}

void CDisksDialog::UpdateDetails() {
    const SDiskDetails details = DiskDetails(SelectedSlot());
    readOnlyLabel->setText(QString::fromStdString(details.readOnly));
    rememberLabel->setText(QString::fromStdString(details.remember));
    fileNameField->setText(FileNameToQString(details.fileName));
}

void CDisksDialog::InsertIntoSelected() {
    CDiskSlot* slot = SelectedSlot();
    if (!slot)
        return;
    const QString chosen = filePicker ? filePicker(this) : QString();
    if (chosen.isEmpty())
        return;
    if (!slot->Insert(QStringToFileName(chosen)))
        qm::ShowErrors();
    RefreshList();
}

void CDisksDialog::EjectSelected() {
    CDiskSlot* slot = SelectedSlot();
    if (!slot)
        return;
    slot->Eject();
    RefreshList();
}
