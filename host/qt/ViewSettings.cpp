#include "host/qt/ViewSettings.h"

#include <QSettings>
#include <QString>

#include <algorithm>

SViewSettings SViewSettings::Load(const std::string& path) {
    SViewSettings view;
    const QSettings file(QString::fromStdString(path), QSettings::IniFormat);
    view.fullscreen = file.value("View/Fullscreen", view.fullscreen).toBool();
    view.scale = std::clamp(file.value("View/Scale", view.scale).toInt(), 0, kMaxScale);
    view.pixelGap = file.value("View/PixelGap", view.pixelGap).toBool();
    view.reloadOnChange = file.value("View/ReloadOnChange", view.reloadOnChange).toBool();
    return view;
}

bool SViewSettings::Save(const std::string& path) const {
    QSettings file(QString::fromStdString(path), QSettings::IniFormat);
    file.setValue("View/Fullscreen", fullscreen);
    file.setValue("View/Scale", scale);
    file.setValue("View/PixelGap", pixelGap);
    file.setValue("View/ReloadOnChange", reloadOnChange);
    file.sync();
    return file.status() == QSettings::NoError;
}
