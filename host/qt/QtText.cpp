#include "host/qt/QtText.h"

#include "support/TextFunctions.h"

#include <QFile>
#include <QStringDecoder>

#include <array>

QString MachineToQString(const std::string& text) {
    return QString::fromStdString(qm::CodePageToUtf8(text));
}

std::string QStringToMachine(const QString& text) {
    return qm::Utf8ToCodePage(text.toStdString());
}

QString HostTextToQString(const std::string& text) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString decoded =
        decoder(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    if (!decoder.hasError())
        return decoded;
    return MachineToQString(text);
}

QString FileNameToQString(const std::string& name) {
    return QFile::decodeName(QByteArray::fromStdString(name));
}

std::string QStringToFileName(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

namespace {
std::array<QChar, 256> BuildCellCharacters() {
    std::array<QChar, 256> table;
    for (int byte = 0; byte < 256; ++byte) {
        const QString text = MachineToQString(std::string(1, static_cast<char>(byte)));
        const QChar c = text.isEmpty() ? QChar(' ') : text.at(0);
        table[byte] = c.isPrint() ? c : QChar(' ');
    }
    return table;
}
} // namespace

QChar CellCharacter(uint8_t byte) {
    static const std::array<QChar, 256> table = BuildCellCharacters();
    return table[byte];
}
