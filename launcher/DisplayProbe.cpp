#include "launcher/DisplayProbe.h"

#include <QByteArray>
#include <QtGlobal>
#include <dlfcn.h>

namespace orra::launcher {

namespace {

// The client libraries are opened at run time: a headless program links no display library,
// and where one is missing Qt's platform for it cannot start either.
class ClientLibrary {
public:
    explicit ClientLibrary(const char* name) : m_handle(dlopen(name, RTLD_NOW | RTLD_LOCAL)) {}
    ~ClientLibrary()
    {
        if (m_handle) dlclose(m_handle);
    }
    ClientLibrary(const ClientLibrary&) = delete;
    ClientLibrary& operator=(const ClientLibrary&) = delete;
    template <class F> F symbol(const char* name) const
    {
        return m_handle ? reinterpret_cast<F>(dlsym(m_handle, name)) : nullptr;
    }

private:
    void* m_handle;
};

// The X server named by DISPLAY accepts this client (its authorisation included).
bool x11Reachable()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) return false;
    const ClientLibrary xcb("libxcb.so.1");
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    const auto connect = xcb.symbol<Connect>("xcb_connect");
    const auto hasError = xcb.symbol<HasError>("xcb_connection_has_error");
    const auto disconnect = xcb.symbol<Disconnect>("xcb_disconnect");
    if (!connect || !hasError || !disconnect) return false;
    void* connection = connect(nullptr, nullptr);
    const bool ok = connection && hasError(connection) == 0;
    if (connection) disconnect(connection);   // also frees a connection in error
    return ok;
}

// The Wayland compositor named by WAYLAND_DISPLAY accepts a connection.
bool waylandReachable()
{
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) return false;
    const ClientLibrary wayland("libwayland-client.so.0");
    using Connect = void* (*)(const char*);
    using Disconnect = void (*)(void*);
    const auto connect = wayland.symbol<Connect>("wl_display_connect");
    const auto disconnect = wayland.symbol<Disconnect>("wl_display_disconnect");
    if (!connect || !disconnect) return false;
    void* display = connect(nullptr);
    if (!display) return false;
    disconnect(display);
    return true;
}

}   // namespace

bool desktopPresent()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform == "offscreen") return false;
    const bool x11Named = !qEnvironmentVariableIsEmpty("DISPLAY");
    const bool waylandNamed = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (!platform.isEmpty() && platform != "xcb" && platform != "wayland") return x11Named || waylandNamed;

    const bool x11 = platform != "wayland" && x11Reachable();
    const bool wayland = platform != "xcb" && waylandReachable();
    if (x11Named && !x11 && platform != "wayland") qunsetenv("DISPLAY");
    if (waylandNamed && !wayland && platform != "xcb") qunsetenv("WAYLAND_DISPLAY");
    if (platform.isEmpty() && x11 != wayland) qputenv("QT_QPA_PLATFORM", x11 ? "xcb" : "wayland");
    return x11 || wayland;
}

}   // namespace orra::launcher
