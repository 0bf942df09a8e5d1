// A Secret Service that has hung: owns org.freedesktop.secrets on the
// session bus and never answers a method call. Prints "ready" once the name
// is its own, then waits until killed.
#include <gio/gio.h>

#include <cstdio>

namespace {

GDBusMessage* SwallowCalls(GDBusConnection*, GDBusMessage* message, gboolean incoming, gpointer) {
    if (incoming && g_dbus_message_get_message_type(message) == G_DBUS_MESSAGE_TYPE_METHOD_CALL) {
        g_object_unref(message);
        return nullptr;  // dropped: no reply, not even an error
    }
    return message;
}

}  // namespace

int main() {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus) {
        return 1;
    }
    g_dbus_connection_add_filter(bus, SwallowCalls, nullptr, nullptr);
    constexpr guint32 kDoNotQueue = 4;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
        g_variant_new("(su)", "org.freedesktop.secrets", kDoNotQueue), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    guint32 outcome = 0;
    if (!reply || (g_variant_get(reply, "(u)", &outcome), outcome != 1)) {
        return 1;  // 1: now the primary owner
    }
    std::puts("ready");
    std::fflush(stdout);
    g_main_loop_run(g_main_loop_new(nullptr, FALSE));
}
