// The Disks dialog on real disk slots, without a machine around them.
#include "common/DiskImages.h"
#include "common/FileTestHelpers.h"
#include "devices/Disk.h"
#include "host/qt/DisksDialog.h"
#include "support/ErrorStack.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <vector>

namespace {

// Slots 0 .. count-1; slot 1 read-only, slot 2 remembering.
struct SSlots {
    explicit SSlots(int count) {
        for (int i = 0; i < count; ++i) {
            owned.push_back(std::make_unique<CDisk>(i == 1, i == 2, static_cast<uint32_t>(i)));
            pointers.push_back(owned.back().get());
        }
    }
    std::vector<std::unique_ptr<CDisk>> owned;
    std::vector<CDiskSlot*> pointers;
};

QStringList Lines(CDisksDialog& dialog) {
    QStringList lines;
    for (int i = 0; i < dialog.GetList().count(); ++i)
        lines << dialog.GetList().item(i)->text();
    return lines;
}

} // namespace

class QtDisksDialogTest : public QObject {
    Q_OBJECT
private slots:
    void listsEverySlotInOrderWithNothingSelected();
    void selectionShowsTheDetails();
    void insertAndEjectActOnTheSelectedSlot();
    void withoutSelectionTheButtonsDoNothing();
    void aFailedInsertShowsTheErrorsAndLeavesTheSlotEmpty();
    void cancelledFileDialogChangesNothing();
};

void QtDisksDialogTest::listsEverySlotInOrderWithNothingSelected() {
    SSlots disks(12);
    CDisksDialog dialog(disks.pointers.data(), 12);
    const QStringList lines = Lines(dialog);
    QCOMPARE(lines.size(), 12);
    QCOMPARE(lines[0], QString("0. [00] "));
    QCOMPARE(lines[1], QString("1. [10] "));
    QCOMPARE(lines[2], QString("2. [01] "));
    QCOMPARE(lines[11], QString("11. [00] "));
    QCOMPARE(dialog.GetList().currentRow(), -1);
    QCOMPARE(dialog.GetReadOnlyLabel().text(), QString("Read-only : "));
    QCOMPARE(dialog.GetRememberLabel().text(), QString("Remember : "));
    QCOMPARE(dialog.GetFileNameField().text(), QString());
    QCOMPARE(dialog.windowTitle(), QString("Disks"));
}

void QtDisksDialogTest::selectionShowsTheDetails() {
    SSlots disks(3);
    CDisksDialog dialog(disks.pointers.data(), 3);
    dialog.GetList().setCurrentRow(1);
    QCOMPARE(dialog.GetReadOnlyLabel().text(), QString("Read-only : True"));
    QCOMPARE(dialog.GetRememberLabel().text(), QString("Remember : False"));
    dialog.GetList().setCurrentRow(2);
    QCOMPARE(dialog.GetReadOnlyLabel().text(), QString("Read-only : False"));
    QCOMPARE(dialog.GetRememberLabel().text(), QString("Remember : True"));
}

void QtDisksDialogTest::insertAndEjectActOnTheSelectedSlot() {
    testhelpers::CTemporaryDirectory directory;
    const std::string image = directory.path + "/Space Game.v2.disk";
    QVERIFY(testhelpers::WriteBytes(image, testhelpers::DiskImageBytes(std::string(4, 'x'))));
    SSlots disks(12);
    CDisksDialog dialog(disks.pointers.data(), 12);
    dialog.SetFilePicker([&](QWidget*) { return QString::fromStdString(image); });
    dialog.GetList().setCurrentRow(10);
    dialog.InsertIntoSelected();
    QVERIFY(disks.owned[10]->HasDisk());
    QCOMPARE(Lines(dialog)[10], QString("10. [00] Space Game.v2"));
    // The selection survives the refresh, and the details follow the slot.
    QCOMPARE(dialog.GetList().currentRow(), 10);
    QCOMPARE(dialog.GetFileNameField().text(), QString::fromStdString(image));

    dialog.EjectSelected();
    QVERIFY(!disks.owned[10]->HasDisk());
    QCOMPARE(Lines(dialog)[10], QString("10. [00] "));
    QCOMPARE(dialog.GetFileNameField().text(), QString());
    // Ejecting an empty slot only refreshes.
    dialog.EjectSelected();
    QCOMPARE(dialog.GetList().currentRow(), 10);
}

void QtDisksDialogTest::withoutSelectionTheButtonsDoNothing() {
    testhelpers::CTemporaryDirectory directory;
    const std::string image = directory.path + "/keep.disk";
    QVERIFY(testhelpers::WriteBytes(image, testhelpers::DiskImageBytes("data")));
    SSlots disks(2);
    QVERIFY(disks.owned[0]->Insert(image));
    CDisksDialog dialog(disks.pointers.data(), 2);
    int asked = 0;
    dialog.SetFilePicker([&](QWidget*) {
        ++asked;
        return QString("/nonexistent.disk");
    });
    // Opened as the user opens it: the list takes the focus, which makes its first row
    // current without anybody choosing it.
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.GetList().currentRow(), -1);
    dialog.activateWindow();
    dialog.GetList().setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(dialog.GetList().hasFocus());
    QVERIFY(dialog.GetList().selectedItems().isEmpty());
    QCOMPARE(dialog.GetReadOnlyLabel().text(), QString("Read-only : "));
    QCOMPARE(dialog.GetFileNameField().text(), QString());

    dialog.findChild<QPushButton*>("ejectButton")->click();
    dialog.findChild<QPushButton*>("insertButton")->click();
    QCOMPARE(asked, 0);
    QVERIFY(disks.owned[0]->HasDisk());
    QCOMPARE(Lines(dialog)[0], QString("0. [00] keep"));
}

void QtDisksDialogTest::aFailedInsertShowsTheErrorsAndLeavesTheSlotEmpty() {
    testhelpers::CTemporaryDirectory directory;
    const std::string bad = directory.path + "/bad.disk";
    QVERIFY(testhelpers::WriteBytes(bad, "not a disk image at all"));
    std::vector<std::string> boxes;
    qm::SetErrorBoxHandler([&](const std::string& text) { boxes.push_back(text); });
    SSlots disks(1);
    CDisksDialog dialog(disks.pointers.data(), 1);
    dialog.SetFilePicker([&](QWidget*) { return QString::fromStdString(bad); });
    dialog.GetList().setCurrentRow(0);
    dialog.InsertIntoSelected();
    qm::SetErrorBoxHandler({});
    QCOMPARE(boxes.size(), size_t(1));
    QVERIFY2(boxes[0].find("Invalid file header") != std::string::npos, boxes[0].c_str());
    QVERIFY(!disks.owned[0]->HasDisk());
    QCOMPARE(Lines(dialog)[0], QString("0. [00] "));
}

void QtDisksDialogTest::cancelledFileDialogChangesNothing() {
    testhelpers::CTemporaryDirectory directory;
    const std::string image = directory.path + "/keep.disk";
    QVERIFY(testhelpers::WriteBytes(image, testhelpers::DiskImageBytes("data")));
    SSlots disks(1);
    QVERIFY(disks.owned[0]->Insert(image));
    CDisksDialog dialog(disks.pointers.data(), 1);
    dialog.SetFilePicker([](QWidget*) { return QString(); });
    dialog.GetList().setCurrentRow(0);
    dialog.InsertIntoSelected();
    QVERIFY(disks.owned[0]->HasDisk());
    QCOMPARE(disks.owned[0]->GetFileName(), image);
}

QTEST_MAIN(QtDisksDialogTest)
#include "QtDisksDialogTest.moc"
