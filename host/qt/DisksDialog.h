// The Disks dialog: the machine's slots in a list, the selected slot's details, and buttons
// to insert an image into it or eject its image. Every change goes straight to the slot, so
// the running program sees it at once (with its disk events).
#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>
#include <functional>

class CDiskSlot;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class CDisksDialog : public QDialog {
    Q_OBJECT
public:
    // Asks the user for an image file; an empty name means cancel.
    using FilePicker = std::function<QString(QWidget* parent)>;

    CDisksDialog(CDiskSlot* const* diskSlots, int32_t slotCount, QWidget* parent = nullptr);

    void SetFilePicker(FilePicker picker) { filePicker = std::move(picker); }

    // The button commands, also for tests.
    void InsertIntoSelected();
    void EjectSelected();

    QListWidget& GetList() { return *list; }
    QLineEdit& GetFileNameField() { return *fileNameField; }
    QLabel& GetReadOnlyLabel() { return *readOnlyLabel; }
    QLabel& GetRememberLabel() { return *rememberLabel; }

    // The open-file dialog of the Insert button.
    static QString AskForImage(QWidget* parent);

private:
    void RefreshList();
    void UpdateDetails();
    // The selected line (which is the slot number), -1 when none is selected.
    int SelectedRow() const;
    CDiskSlot* SelectedSlot() const;

    CDiskSlot* const* diskSlots;
    int32_t slotCount;
    FilePicker filePicker;
    QListWidget* list;
    QLineEdit* fileNameField;
    QLabel* readOnlyLabel;
    QLabel* rememberLabel;
};
