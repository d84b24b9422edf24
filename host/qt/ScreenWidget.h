// The client area of the main window: shows the screen device's picture and forwards keys,
// characters, mouse moves, buttons and the wheel to the current machine's input devices.
#pragma once

#include "host/qt/QtScreenSurface.h"

#include <QWidget>

#include <cstdint>
#include <functional>

class CMachine;
class CMachineRunner;
class CQtPlatform;

class CScreenWidget : public QWidget {
    Q_OBJECT
public:
    using MachineAccess = std::function<CMachine*()>;

    CScreenWidget(MachineAccess machine, CQtPlatform& platform, CMachineRunner& runner,
                  QWidget* parent = nullptr);

    CQtScreenSurface& GetSurface() { return surface; }
    QSize sizeHint() const override { return {640, 400}; }

    // The MK_ flag word of mouse events for these buttons and modifiers.
    static uint32_t MouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // Tab belongs to the program, not to the focus chain.
    bool focusNextPrevChild(bool next) override;

private:
    void ForwardKey(QKeyEvent* event, bool down);
    void ForwardButton(QMouseEvent* event, uint32_t action);
    // The machine's mouse and screen when both exist, and the point in screen coordinates.
    bool MapPoint(const QPointF& position, int32_t& x, int32_t& y) const;

    MachineAccess machine;
    CQtPlatform& platform;
    CMachineRunner& runner;
    CQtScreenSurface surface{*this};
};
