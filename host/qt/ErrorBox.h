// Error boxes of the window program: every ShowErrors and ShowErrorText of the error stack
// opens a modal message box titled "Tarquil - Error" with the stop icon and an OK button.
#pragma once

#include <functional>
#include <string>

class QWidget;

void ShowErrorBox(QWidget* owner, const std::string& text);

// Routes the error stack's boxes here. `owner` names the window that owns the boxes (the
// main window once it exists); an open modal dialog owns them while it is open.
void InstallErrorBoxes(std::function<QWidget*()> owner);
