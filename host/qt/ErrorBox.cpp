#include "host/qt/ErrorBox.h"

#include "host/qt/QtText.h"
#include "support/ErrorStack.h"

#include <QApplication>
#include <QMessageBox>

void ShowErrorBox(QWidget* owner, const std::string& text) {
    QString shown = HostTextToQString(text);
    // The stack's messages each end with a line feed; the box needs no empty last line.
    while (shown.endsWith('\n'))
        shown.chop(1);
    QMessageBox box(QMessageBox::Critical, qm::kErrorBoxTitle, shown, QMessageBox::Ok, owner);
    box.exec();
}

void InstallErrorBoxes(std::function<QWidget*()> owner) {
    qm::SetErrorBoxHandler([owner = std::move(owner)](const std::string& text) {
        QWidget* parent = QApplication::activeModalWidget();
        if (!parent && owner)
            parent = owner();
        ShowErrorBox(parent, text);
    });
}
