// The client area of the main window: shows the screen device's picture and forwards keys,
// characters, mouse moves, buttons and the wheel to the current machine's input devices.
#pragma once

#include "abi/Events.h"
#include "host/qt/KeyMap.h"
#include "host/qt/QtScreenSurface.h"

#include <QList>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <unordered_set>

class CMachine;
class CMachineRunner;
class CQtPlatform;

class CScreenWidget : public QWidget {
    Q_OBJECT
public:
    using MachineAccess = std::function<CMachine*()>;
    // The keyboard layout for a key event with this native modifier state.
    using LayoutSource = std::function<EKeyboardLayout(uint32_t nativeModifiers)>;

    CScreenWidget(MachineAccess machine, CQtPlatform& platform, CMachineRunner& runner,
                  QWidget* parent = nullptr);

    CQtScreenSurface& GetSurface() { return surface; }
    QSize sizeHint() const override { return {640, 400}; }

    // Where the layout comes from: the X server unless told otherwise (tests).
    void SetLayoutSource(LayoutSource source) { layoutSource = std::move(source); }
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

    // The MK_ flag word of mouse events for these buttons and modifiers.
    static uint32_t MouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);

    // A fixed scale: every machine pixel (a text cell's pixels too) becomes zoom x zoom
    // window pixels; 1 leaves the screen to fit itself into the window.
    void SetZoom(int zoom);
    int GetZoom() const { return surface.GetZoom(); }
    // The black line between the blocks of a large fixed scale in graphics mode.
    void SetPixelGap(bool on);
    // Tells a new machine's screen how it is scaled.
    void ApplyScaling();
    // The screen at one window pixel per machine pixel: the text grid, the graphics picture,
    // or the default client area without a mode.
    QSize NaturalSize() const;
    // The machine's screen as the window shows it, without the black frame around it.
    QImage GrabScreen();
    // The key combinations the window takes for itself (shortcuts): their presses never
    // come here, and their releases are not passed on either.
    void SetWindowKeys(QList<QKeyCombination> keys) { windowKeys = std::move(keys); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    // Text composed from dead keys and compose sequences.
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // Notes the presses that the window's shortcuts take, before they take them.
    bool event(QEvent* event) override;
    // Tab belongs to the program, not to the focus chain.
    bool focusNextPrevChild(bool next) override;

private:
    void ForwardKey(QKeyEvent* event, bool down);
    // The code of a key going down (the one of its first press while it repeats) or up (the
    // one its press got). 0 for keys without a code.
    uint32_t PressCode(const QKeyEvent& event);
    uint32_t ReleaseCode(const QKeyEvent& event, bool& pressWasSeen);
    bool IsWindowKey(const QKeyEvent& event) const;
    void PostKey(uint32_t virtualKey, bool down);
    void PostText(const QString& text);
    void ForwardButton(QMouseEvent* event, EMouseAction action);
    // The machine's mouse and screen when both exist, and the point in screen coordinates.
    bool MapPoint(const QPointF& position, int32_t& x, int32_t& y) const;
    void RepaintScreenIfNeeded();
    // Draws the window's view of the screen image into `area` (widget coordinates).
    void Render(QPainter& painter, const QRect& area);
    // The part of the widget that the grid or the picture covers.
    QRect ScreenArea() const;

    MachineAccess machine;
    CQtPlatform& platform;
    CMachineRunner& runner;
    CQtScreenSurface surface{*this};
    LayoutSource layoutSource;
    // The keys that are down, by native scan code (or Qt key when there is none), with the
    // code their press sent.
    std::unordered_map<uint32_t, uint32_t> heldKeys;
    bool pixelGap = true;
    // The window's own key combinations: their releases are the window's too.
    QList<QKeyCombination> windowKeys;
    // Keys whose press a shortcut of the window took, by the same identity as heldKeys: their
    // release is the window's even when a modifier was let go first (Ctrl up before R).
    std::unordered_set<uint32_t> shortcutKeys;
};
