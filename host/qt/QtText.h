// Text between the machine's code page (Windows-1252) and Qt's strings.
#pragma once

#include <QString>

#include <cstdint>
#include <string>

QString MachineToQString(const std::string& text);
// Characters the code page cannot hold are dropped.
std::string QStringToMachine(const QString& text);
// Host texts (messages of the error stack, which may carry file names and the support
// library's own texts): UTF-8 when they are valid UTF-8, the machine's code page otherwise.
QString HostTextToQString(const std::string& text);
// Host file names are UTF-8 bytes.
QString FileNameToQString(const std::string& name);
std::string QStringToFileName(const QString& name);

// The character a text cell shows for a byte. Bytes without a printable character (control
// codes and the code page's gaps) show as a blank, so every cell keeps its width.
QChar CellCharacter(uint8_t byte);
