// The accessibility libraries (the ATK bridge and the GLib it runs on) are
// loaded with dlopen when the bridge starts rather than linked: they and
// what they need took a third of the time from exec to the first frame, and
// without an accessibility bus they are never needed. Each function the
// bridge calls is defined here and forwards to the library's own.
#include "platform/ui/access/AtkLibrary.h"

#include <atk-bridge.h>
#include <atk/atk.h>
#include <gio/gio.h>

#include <cstdarg>
#include <cstdlib>
#include <dlfcn.h>

namespace {

struct Libraries
{
    void* bridge = nullptr; // with ATK, GObject and GLib behind it
    void* gio = nullptr;
};

const Libraries& Loaded()
{
    static const Libraries libraries = [] {
        Libraries l;
        l.bridge = dlopen("libatk-bridge-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        l.gio = dlopen("libgio-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        return l;
    }();
    return libraries;
}

void* Symbol(const char* name)
{
    const Libraries& l = Loaded();
    void* symbol = l.bridge != nullptr ? dlsym(l.bridge, name) : nullptr;
    if (symbol == nullptr && l.gio != nullptr) {
        symbol = dlsym(l.gio, name);
    }
    if (symbol == nullptr) {
        std::abort(); // callers ask LoadAccessLibraries first
    }
    return symbol;
}

} // namespace

namespace tolvar::ui {

bool LoadAccessLibraries()
{
    const Libraries& l = Loaded();
    return l.bridge != nullptr && l.gio != nullptr &&
           dlsym(l.bridge, "atk_bridge_adaptor_init") != nullptr &&
           dlsym(l.gio, "g_bus_get_sync") != nullptr;
}

} // namespace tolvar::ui

#define FORWARD(Result, name, parameters, arguments)                                               \
    Result name parameters                                                                         \
    {                                                                                              \
        static const auto real = reinterpret_cast<decltype(&name)>(Symbol(#name));                 \
        return real arguments;                                                                     \
    }

// GLib makes this one a macro for C++, which keeps the argument's type.
#undef g_object_ref

extern "C" {

FORWARD(GType, atk_action_get_type, (), ())
FORWARD(void, atk_bridge_adaptor_cleanup, (), ())
FORWARD(int, atk_bridge_adaptor_init, (int* argc, char** argv[]), (argc, argv))
FORWARD(GType, atk_component_get_type, (), ())
FORWARD(GType, atk_editable_text_get_type, (), ())
FORWARD(gint, atk_object_get_index_in_parent, (AtkObject * accessible), (accessible))
FORWARD(AtkObject*, atk_object_get_parent, (AtkObject * accessible), (accessible))
FORWARD(GType, atk_object_get_type, (), ())
FORWARD(void, atk_object_initialize, (AtkObject * accessible, gpointer data), (accessible, data))
FORWARD(void, atk_object_notify_state_change,
        (AtkObject * accessible, AtkState state, gboolean value), (accessible, state, value))
FORWARD(void, atk_object_set_parent, (AtkObject * accessible, AtkObject* parent),
        (accessible, parent))
FORWARD(gboolean, atk_state_set_add_state, (AtkStateSet * set, AtkStateType type), (set, type))
FORWARD(AtkStateSet*, atk_state_set_new, (), ())
FORWARD(GType, atk_text_get_type, (), ())
FORWARD(GType, atk_util_get_type, (), ())
FORWARD(GType, atk_window_get_type, (), ())
FORWARD(GDBusConnection*, g_bus_get_sync,
        (GBusType bus_type, GCancellable* cancellable, GError** error),
        (bus_type, cancellable, error))
FORWARD(void, g_clear_error, (GError * *err), (err))
FORWARD(GVariant*, g_dbus_connection_call_sync,
        (GDBusConnection * connection, const gchar* bus_name, const gchar* object_path,
         const gchar* interface_name, const gchar* method_name, GVariant* parameters,
         const GVariantType* reply_type, GDBusCallFlags flags, gint timeout_msec,
         GCancellable* cancellable, GError** error),
        (connection, bus_name, object_path, interface_name, method_name, parameters, reply_type,
         flags, timeout_msec, cancellable, error))
FORWARD(void, g_free, (gpointer mem), (mem))
FORWARD(const gchar*, g_get_prgname, (), ())
FORWARD(const gchar*, g_intern_string, (const gchar* string), (string))
FORWARD(gboolean, g_main_context_acquire, (GMainContext * context), (context))
FORWARD(gboolean, g_main_context_check,
        (GMainContext * context, gint max_priority, GPollFD* fds, gint n_fds),
        (context, max_priority, fds, n_fds))
FORWARD(GMainContext*, g_main_context_default, (), ())
FORWARD(void, g_main_context_dispatch, (GMainContext * context), (context))
FORWARD(gboolean, g_main_context_prepare, (GMainContext * context, gint* priority),
        (context, priority))
FORWARD(gint, g_main_context_query,
        (GMainContext * context, gint max_priority, gint* timeout_, GPollFD* fds, gint n_fds),
        (context, max_priority, timeout_, fds, n_fds))
FORWARD(void, g_main_context_release, (GMainContext * context), (context))
FORWARD(gpointer, g_malloc, (gsize n_bytes), (n_bytes))
FORWARD(void, g_object_notify, (GObject * object, const gchar* property_name),
        (object, property_name))
FORWARD(gpointer, g_object_ref, (gpointer object), (object))
FORWARD(void, g_object_unref, (gpointer object), (object))
FORWARD(void, g_set_prgname, (const gchar* prgname), (prgname))
FORWARD(void, g_type_add_interface_static,
        (GType instance_type, GType interface_type, const GInterfaceInfo* info),
        (instance_type, interface_type, info))
FORWARD(GTypeClass*, g_type_check_class_cast, (GTypeClass * g_class, GType is_a_type),
        (g_class, is_a_type))
FORWARD(GTypeInstance*, g_type_check_instance_cast, (GTypeInstance * instance, GType iface_type),
        (instance, iface_type))
FORWARD(gpointer, g_type_class_peek_parent, (gpointer g_class), (g_class))
FORWARD(gpointer, g_type_class_ref, (GType type), (type))
FORWARD(void, g_type_class_unref, (gpointer g_class), (g_class))
FORWARD(GType, g_type_register_static,
        (GType parent_type, const gchar* type_name, const GTypeInfo* info, GTypeFlags flags),
        (parent_type, type_name, info, flags))
FORWARD(gunichar, g_utf8_get_char, (const gchar* p), (p))
FORWARD(glong, g_utf8_strlen, (const gchar* p, gssize max), (p, max))
FORWARD(gchar*, g_utf8_substring, (const gchar* str, glong start_pos, glong end_pos),
        (str, start_pos, end_pos))
FORWARD(GSList*, g_slist_prepend, (GSList * list, gpointer data), (list, data))
FORWARD(gchar*, g_strdup, (const gchar* str), (str))
FORWARD(gboolean, g_utf8_validate, (const gchar* str, gssize max_len, const gchar** end),
        (str, max_len, end))
FORWARD(const GVariantType*, g_variant_type_checked_, (const gchar* a0), (a0))
FORWARD(void, g_variant_unref, (GVariant * value), (value))

// The functions with variable arguments go to their va_list forms.

gpointer g_object_new(GType object_type, const gchar* first_property_name, ...)
{
    static const auto real =
        reinterpret_cast<decltype(&g_object_new_valist)>(Symbol("g_object_new_valist"));
    va_list args;
    va_start(args, first_property_name);
    GObject* object = real(object_type, first_property_name, args);
    va_end(args);
    return object;
}

gchar* g_strdup_printf(const gchar* format, ...)
{
    static const auto real =
        reinterpret_cast<decltype(&g_strdup_vprintf)>(Symbol("g_strdup_vprintf"));
    va_list args;
    va_start(args, format);
    gchar* text = real(format, args);
    va_end(args);
    return text;
}

GVariant* g_variant_new(const gchar* format_string, ...)
{
    static const auto real =
        reinterpret_cast<decltype(&g_variant_new_va)>(Symbol("g_variant_new_va"));
    va_list args;
    va_start(args, format_string);
    GVariant* value = real(format_string, nullptr, &args);
    va_end(args);
    return value;
}

void g_variant_get(GVariant* value, const gchar* format_string, ...)
{
    static const auto real =
        reinterpret_cast<decltype(&g_variant_get_va)>(Symbol("g_variant_get_va"));
    va_list args;
    va_start(args, format_string);
    real(value, format_string, nullptr, &args);
    va_end(args);
}

void g_signal_emit_by_name(gpointer instance, const gchar* detailed_signal, ...)
{
    static const auto parse =
        reinterpret_cast<decltype(&g_signal_parse_name)>(Symbol("g_signal_parse_name"));
    static const auto emit =
        reinterpret_cast<decltype(&g_signal_emit_valist)>(Symbol("g_signal_emit_valist"));
    guint signal = 0;
    GQuark detail = 0;
    if (!parse(detailed_signal, G_TYPE_FROM_INSTANCE(instance), &signal, &detail, TRUE)) {
        return;
    }
    va_list args;
    va_start(args, detailed_signal);
    emit(instance, signal, detail, args);
    va_end(args);
}

} // extern "C"
