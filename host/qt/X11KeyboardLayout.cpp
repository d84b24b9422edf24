#include "host/qt/X11KeyboardLayout.h"

#include <QGuiApplication>

#if TARQUIL_HAVE_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <string_view>
#endif

EKeyboardLayout CurrentX11Layout(uint32_t eventState) {
#if TARQUIL_HAVE_XCB
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return EKeyboardLayout::kOther;
    using Reply = std::unique_ptr<void, decltype(&std::free)>;
    // setxkbmap and the desktops keep the names of the layouts in this property of the root
    // window; it is read at every key press, so a layout switched meanwhile counts at once.
    static const xcb_atom_t atom = [connection] {
        constexpr std::string_view name = "_XKB_RULES_NAMES";
        const Reply reply(
            xcb_intern_atom_reply(
                connection,
                xcb_intern_atom(connection, 1, static_cast<uint16_t>(name.size()), name.data()),
                nullptr),
            &std::free);
        xcb_atom_t found = XCB_ATOM_NONE;
        if (reply)
            found = static_cast<xcb_intern_atom_reply_t*>(reply.get())->atom;
        return found;
    }();
    if (atom == XCB_ATOM_NONE)
        return EKeyboardLayout::kOther;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const Reply reply(xcb_get_property_reply(
                          connection,
                          xcb_get_property(connection, 0, root, atom, XCB_ATOM_STRING, 0, 1024),
                          nullptr),
                      &std::free);
    if (!reply)
        return EKeyboardLayout::kOther;
    auto* property = static_cast<xcb_get_property_reply_t*>(reply.get());
    const std::string_view text(static_cast<const char*>(xcb_get_property_value(property)),
                                static_cast<size_t>(xcb_get_property_value_length(property)));
    return LayoutFromXkbRules(text, (eventState >> 13) & 3);
#else
    (void)eventState;
    return EKeyboardLayout::kOther;
#endif
}
