#include "host/qt/ScreenWidget.h"

#include "core/Machine.h"
#include "devices/Keyboard.h"
#include "devices/Mouse.h"
#include "devices/Screen.h"
#include "host/qt/KeyMap.h"
#include "host/qt/MachineRunner.h"
#include "host/qt/QtPlatform.h"
#include "host/qt/QtText.h"
#include "host/qt/X11KeyboardLayout.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

CScreenWidget::CScreenWidget(MachineAccess machine, CQtPlatform& platform, CMachineRunner& runner,
                             QWidget* parent)
    : QWidget(parent), machine(std::move(machine)), platform(platform), runner(runner),
      layoutSource(&CurrentX11Layout) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    // Everything is painted from our own image.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    // Dead keys and compose sequences arrive composed, through the input method.
    setAttribute(Qt::WA_InputMethodEnabled, true);
}

QVariant CScreenWidget::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImHints:
        // Keys are the program's: no predictions, no corrections, no on-screen keyboard's
        // guesses.
        return static_cast<int>(Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase |
                                Qt::ImhPreferLatin);
    case Qt::ImCursorRectangle:
        return QRect(0, 0, 1, 1);
    default:
        return QWidget::inputMethodQuery(query);
    }
}

uint32_t CScreenWidget::MouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    uint32_t flags = 0;
    if (buttons.testFlag(Qt::LeftButton))
        flags |= kMouseLeft;
    if (buttons.testFlag(Qt::RightButton))
        flags |= kMouseRight;
    if (modifiers.testFlag(Qt::ShiftModifier))
        flags |= kMouseShift;
    if (modifiers.testFlag(Qt::ControlModifier))
        flags |= kMouseControl;
    if (buttons.testFlag(Qt::MiddleButton))
        flags |= kMouseMiddle;
    if (buttons.testFlag(Qt::XButton1))
        flags |= kMouseExtra1;
    if (buttons.testFlag(Qt::XButton2))
        flags |= kMouseExtra2;
    return flags;
}

// The screen draws its whole picture anew when the surface lost it (a new size, a new font).
void CScreenWidget::RepaintScreenIfNeeded() {
    if (!surface.NeedsFullPaint())
        return;
    surface.BeginPaintEvent();
    CMachine* current = machine();
    if (current && current->screen)
        current->screen->Paint();
    else
        surface.PaintBlack();
    surface.EndPaintEvent();
}

void CScreenWidget::paintEvent(QPaintEvent* event) {
    RepaintScreenIfNeeded();
    QPainter painter(this);
    Render(painter, event->rect());
}

void CScreenWidget::Render(QPainter& painter, const QRect& area) {
    const QImage& image = surface.GetImage();
    painter.fillRect(area, Qt::black);
    const int zoom = surface.GetZoom();
    if (zoom == 1) {
        painter.drawImage(area.topLeft(), image, area);
        return;
    }
    painter.save();
    painter.setClipRect(area);
    painter.scale(zoom, zoom);
    painter.drawImage(QPoint(0, 0), image);
    painter.restore();
    // Blocks of 5 or more window pixels get their last line black, as a fitted picture does.
    CMachine* current = machine();
    if (!pixelGap || zoom < 5 || !current || !current->screen)
        return;
    int32_t mode, columns, rows;
    current->screen->GetMode(mode, columns, rows);
    if (mode != kScreenGraphics || !current->screen->IsPictureValid())
        return;
    const QRect picture = ScreenArea().intersected(area);
    const QRect whole = ScreenArea();
    for (int x = whole.left() + zoom - 1; x <= picture.right(); x += zoom)
        if (x >= picture.left())
            painter.fillRect(x, picture.top(), 1, picture.height(), Qt::black);
    for (int y = whole.top() + zoom - 1; y <= picture.bottom(); y += zoom)
        if (y >= picture.top())
            painter.fillRect(picture.left(), y, picture.width(), 1, Qt::black);
}

void CScreenWidget::SetZoom(int zoom) {
    if (zoom == surface.GetZoom())
        return;
    surface.SetZoom(zoom);
    ApplyScaling();
    CMachine* current = machine();
    if (current && current->screen) {
        current->screen->NotifyResize();
        runner.Wake();
    }
    update();
}

void CScreenWidget::SetPixelGap(bool on) {
    pixelGap = on;
    ApplyScaling();
    surface.RequestFullPaint();
    update();
}

void CScreenWidget::ApplyScaling() {
    CMachine* current = machine();
    if (current && current->screen)
        current->screen->SetScaling(surface.GetZoom() == 1, pixelGap);
}

QSize CScreenWidget::NaturalSize() const {
    CMachine* current = machine();
    if (!current || !current->screen)
        return sizeHint();
    int32_t mode, columns, rows;
    current->screen->GetMode(mode, columns, rows);
    int32_t cellWidth = 0, cellHeight = 0;
    if (mode == kScreenText && current->screen->GetCellSize(cellWidth, cellHeight) &&
        cellWidth > 0 && cellHeight > 0)
        return {columns * cellWidth, rows * cellHeight};
    if (mode == kScreenGraphics)
        return {columns, rows};
    return sizeHint();
}

QRect CScreenWidget::ScreenArea() const {
    CMachine* current = machine();
    const int zoom = surface.GetZoom();
    int32_t x = 0, y = 0, width = 0, height = 0;
    if (current && current->screen) {
        int32_t mode, columns, rows;
        current->screen->GetMode(mode, columns, rows);
        if (mode == kScreenText)
            current->screen->GetTextLayout(x, y, width, height);
        else if (mode == kScreenGraphics && current->screen->IsPictureValid())
            current->screen->GetPictureLayout(x, y, width, height);
    }
    if (width <= 0 || height <= 0)
        return rect();
    return QRect(x * zoom, y * zoom, width * zoom, height * zoom).intersected(rect());
}

QImage CScreenWidget::GrabScreen() {
    RepaintScreenIfNeeded();
    QImage frame(size(), QImage::Format_RGB32);
    {
        QPainter painter(&frame);
        Render(painter, rect());
    }
    return frame.copy(ScreenArea());
}

void CScreenWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    CMachine* current = machine();
    if (current && current->screen) {
        current->screen->NotifyResize();
        runner.Wake();
    }
}

namespace {
// Keys are told apart by their place; events without one (synthetic ones) by their Qt key.
uint32_t KeyIdentity(const QKeyEvent& event) {
    const uint32_t scanCode = event.nativeScanCode();
    return scanCode != 0 ? scanCode : 0x80000000u | static_cast<uint32_t>(event.key());
}
} // namespace

uint32_t CScreenWidget::PressCode(const QKeyEvent& event) {
    const uint32_t identity = KeyIdentity(event);
    const auto held = heldKeys.find(identity);
    if (held != heldKeys.end())
        return held->second;
    const bool keypad = event.modifiers().testFlag(Qt::KeypadModifier);
    const EKeyboardLayout layout =
        layoutSource ? layoutSource(event.nativeModifiers()) : EKeyboardLayout::kOther;
    const uint32_t code = VirtualKeyForKey(event.nativeScanCode(), layout, event.key(), keypad);
    if (code != 0)
        heldKeys.emplace(identity, code);
    return code;
}

uint32_t CScreenWidget::ReleaseCode(const QKeyEvent& event, bool& pressWasSeen) {
    const auto held = heldKeys.find(KeyIdentity(event));
    pressWasSeen = held != heldKeys.end();
    if (pressWasSeen) {
        const uint32_t code = held->second;
        heldKeys.erase(held);
        return code;
    }
    // The input method kept the press (a dead key, the last key of a composed character):
    // the key still goes down and up, by its place.
    const EKeyboardLayout layout =
        layoutSource ? layoutSource(event.nativeModifiers()) : EKeyboardLayout::kOther;
    return VirtualKeyAtPosition(event.nativeScanCode(), layout, event.key());
}

void CScreenWidget::PostKey(uint32_t virtualKey, bool down) {
    platform.KeyChanged(virtualKey, down);
    CMachine* current = machine();
    if (current && current->keyboard)
        current->keyboard->Key(down ? 0 : 1, virtualKey);
}

// Characters the machine's code page cannot hold are not sent.
void CScreenWidget::PostText(const QString& text) {
    CMachine* current = machine();
    if (!current || !current->keyboard)
        return;
    for (const char c : QStringToMachine(text))
        current->keyboard->Character(static_cast<uint8_t>(c));
}

void CScreenWidget::ForwardKey(QKeyEvent* event, bool down) {
    // A held key repeats its presses only.
    if (!down && event->isAutoRepeat())
        return;
    // A shortcut of the window took the press; the release goes with it. A press that
    // comes here is the program's, whatever a shortcut took before.
    const bool shortcutTookPress = shortcutKeys.erase(KeyIdentity(*event)) != 0;
    if (!down && shortcutTookPress)
        return;
    bool pressWasSeen = true;
    const uint32_t virtualKey = down ? PressCode(*event) : ReleaseCode(*event, pressWasSeen);
    if (!down && !pressWasSeen && IsWindowKey(*event))
        return;
    // Alt and what is typed with it belong to the window (menu access), as system keys do;
    // the key state still follows them.
    if (event->key() == Qt::Key_Alt || event->modifiers().testFlag(Qt::AltModifier)) {
        if (virtualKey != 0)
            platform.KeyChanged(virtualKey, down);
        event->ignore();
        return;
    }
    if (virtualKey != 0) {
        if (!pressWasSeen)
            PostKey(virtualKey, true);
        PostKey(virtualKey, down);
    }
    // Delete makes no character, whatever text the desktop attaches to it.
    if (down && virtualKey != kVkDelete)
        PostText(event->text());
    runner.Wake();
}

bool CScreenWidget::IsWindowKey(const QKeyEvent& event) const {
    return windowKeys.contains(
        QKeyCombination(event.modifiers() & ~Qt::KeyboardModifiers(Qt::KeypadModifier),
                        static_cast<Qt::Key>(event.key())));
}

bool CScreenWidget::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        const auto& key = static_cast<const QKeyEvent&>(*event);
        if (IsWindowKey(key) && !key.isAutoRepeat())
            shortcutKeys.insert(KeyIdentity(key));
    }
    return QWidget::event(event);
}

void CScreenWidget::keyPressEvent(QKeyEvent* event) {
    ForwardKey(event, true);
}

void CScreenWidget::keyReleaseEvent(QKeyEvent* event) {
    ForwardKey(event, false);
}

void CScreenWidget::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty()) {
        PostText(event->commitString());
        runner.Wake();
    }
    event->accept();
}

void CScreenWidget::focusOutEvent(QFocusEvent* event) {
    platform.ReleaseAllKeys();
    shortcutKeys.clear();
    QWidget::focusOutEvent(event);
}

bool CScreenWidget::focusNextPrevChild(bool) {
    return false;
}

bool CScreenWidget::MapPoint(const QPointF& position, int32_t& x, int32_t& y) const {
    CMachine* current = machine();
    if (!current || !current->mouse || !current->screen)
        return false;
    const double zoom = surface.GetZoom();
    x = static_cast<int32_t>(std::floor(position.x() / zoom));
    y = static_cast<int32_t>(std::floor(position.y() / zoom));
    return current->screen->MapPoint(x, y);
}

// Qt holds the mouse for this widget from a button's press to its release, so moves and
// the release outside the window still arrive here.
void CScreenWidget::ForwardButton(QMouseEvent* event, EMouseAction action) {
    EMouseButton button;
    switch (event->button()) {
    case Qt::LeftButton:
        button = EMouseButton::Left;
        break;
    case Qt::RightButton:
        button = EMouseButton::Right;
        break;
    case Qt::MiddleButton:
        button = EMouseButton::Middle;
        break;
    default:
        return;
    }
    int32_t x, y;
    if (!MapPoint(event->position(), x, y))
        return;
    machine()->mouse->Button(button, action, MouseFlags(event->buttons(), event->modifiers()), x,
                             y);
    runner.Wake();
}

void CScreenWidget::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    ForwardButton(event, EMouseAction::Down);
}

void CScreenWidget::mouseReleaseEvent(QMouseEvent* event) {
    ForwardButton(event, EMouseAction::Up);
}

void CScreenWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    ForwardButton(event, EMouseAction::DoubleClick);
}

void CScreenWidget::mouseMoveEvent(QMouseEvent* event) {
    int32_t x, y;
    if (!MapPoint(event->position(), x, y))
        return;
    machine()->mouse->Move(MouseFlags(event->buttons(), event->modifiers()), x, y);
    runner.Wake();
}

void CScreenWidget::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0)
        return;
    int32_t x, y;
    if (!MapPoint(event->position(), x, y))
        return;
    const auto wheel = static_cast<int16_t>(std::clamp(delta, -32768, 32767));
    machine()->mouse->Wheel(MouseFlags(event->buttons(), event->modifiers()), x, y, wheel);
    runner.Wake();
}
