// The sd-bus functions the program calls, each forwarding to libsystemd
// loaded with dlopen on first use: libsystemd and the libraries it needs
// (libgcrypt, liblzma, libzstd, liblz4, libcap) cost the start about a
// millisecond, and the first frame needs no bus. A libsystemd that cannot be
// loaded makes every call fail as sd-bus does without a bus: a negative
// errno or null, which the callers already take as "no bus".
#include "platform/base/LibrarySymbol.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <dlfcn.h>

namespace {

struct Functions
{
    int (*open_user)(sd_bus**);
    int (*open_system)(sd_bus**);
    sd_bus* (*unref)(sd_bus*);
    sd_bus* (*flush_close_unref)(sd_bus*);
    int (*set_allow_interactive_authorization)(sd_bus*, int);
    int (*set_method_call_timeout)(sd_bus*, uint64_t);
    int (*get_fd)(sd_bus*);
    int (*get_events)(sd_bus*);
    int (*get_timeout)(sd_bus*, uint64_t*);
    int (*process)(sd_bus*, sd_bus_message**);
    int (*request_name)(sd_bus*, const char*, uint64_t);
    int (*add_object_vtable)(sd_bus*, sd_bus_slot**, const char*, const char*, const sd_bus_vtable*,
                             void*);
    int (*match_signal)(sd_bus*, sd_bus_slot**, const char*, const char*, const char*, const char*,
                        sd_bus_message_handler_t, void*);
    sd_bus_slot* (*slot_unref)(sd_bus_slot*);
    int (*call)(sd_bus*, sd_bus_message*, uint64_t, sd_bus_error*, sd_bus_message**);
    int (*call_async)(sd_bus*, sd_bus_slot**, sd_bus_message*, sd_bus_message_handler_t, void*,
                      uint64_t);
    int (*call_methodv)(sd_bus*, const char*, const char*, const char*, const char*, sd_bus_error*,
                        sd_bus_message**, const char*, va_list);
    int (*emit_signalv)(sd_bus*, const char*, const char*, const char*, const char*, va_list);
    int (*reply_method_returnv)(sd_bus_message*, const char*, va_list);
    int (*get_property)(sd_bus*, const char*, const char*, const char*, const char*, sd_bus_error*,
                        sd_bus_message**, const char*);
    int (*get_property_trivial)(sd_bus*, const char*, const char*, const char*, const char*,
                                sd_bus_error*, char, void*);
    int (*get_property_string)(sd_bus*, const char*, const char*, const char*, const char*,
                               sd_bus_error*, char**);
    int (*message_new_method_call)(sd_bus*, sd_bus_message**, const char*, const char*, const char*,
                                   const char*);
    sd_bus_message* (*message_unref)(sd_bus_message*);
    int (*message_set_allow_interactive_authorization)(sd_bus_message*, int);
    int (*message_appendv)(sd_bus_message*, const char*, va_list);
    int (*message_append_array)(sd_bus_message*, char, const void*, size_t);
    int (*message_open_container)(sd_bus_message*, char, const char*);
    int (*message_close_container)(sd_bus_message*);
    int (*message_readv)(sd_bus_message*, const char*, va_list);
    int (*message_read_array)(sd_bus_message*, char, const void**, size_t*);
    int (*message_read_strv)(sd_bus_message*, char***);
    const char* (*message_get_member)(sd_bus_message*);
    int (*message_is_method_error)(sd_bus_message*, const char*);
    void (*error_free)(sd_bus_error*);
    int (*error_has_name)(const sd_bus_error*, const char*);
    bool loaded;
};

Functions Load()
{
    using tolvar::FindSymbol;
    Functions f{};
    // Lazily bound: it and its libraries are opened while the window is
    // being made, and most of what they export is never called.
    void* library = dlopen("libsystemd.so.0", RTLD_LAZY | RTLD_LOCAL);
    f.loaded = FindSymbol(library, "sd_bus_open_user", f.open_user) &&
               FindSymbol(library, "sd_bus_open_system", f.open_system) &&
               FindSymbol(library, "sd_bus_unref", f.unref) &&
               FindSymbol(library, "sd_bus_flush_close_unref", f.flush_close_unref) &&
               FindSymbol(library, "sd_bus_set_allow_interactive_authorization",
                          f.set_allow_interactive_authorization) &&
               FindSymbol(library, "sd_bus_set_method_call_timeout", f.set_method_call_timeout) &&
               FindSymbol(library, "sd_bus_get_fd", f.get_fd) &&
               FindSymbol(library, "sd_bus_get_events", f.get_events) &&
               FindSymbol(library, "sd_bus_get_timeout", f.get_timeout) &&
               FindSymbol(library, "sd_bus_process", f.process) &&
               FindSymbol(library, "sd_bus_request_name", f.request_name) &&
               FindSymbol(library, "sd_bus_add_object_vtable", f.add_object_vtable) &&
               FindSymbol(library, "sd_bus_match_signal", f.match_signal) &&
               FindSymbol(library, "sd_bus_slot_unref", f.slot_unref) &&
               FindSymbol(library, "sd_bus_call", f.call) &&
               FindSymbol(library, "sd_bus_call_async", f.call_async) &&
               FindSymbol(library, "sd_bus_call_methodv", f.call_methodv) &&
               FindSymbol(library, "sd_bus_emit_signalv", f.emit_signalv) &&
               FindSymbol(library, "sd_bus_reply_method_returnv", f.reply_method_returnv) &&
               FindSymbol(library, "sd_bus_get_property", f.get_property) &&
               FindSymbol(library, "sd_bus_get_property_trivial", f.get_property_trivial) &&
               FindSymbol(library, "sd_bus_get_property_string", f.get_property_string) &&
               FindSymbol(library, "sd_bus_message_new_method_call", f.message_new_method_call) &&
               FindSymbol(library, "sd_bus_message_unref", f.message_unref) &&
               FindSymbol(library, "sd_bus_message_set_allow_interactive_authorization",
                          f.message_set_allow_interactive_authorization) &&
               FindSymbol(library, "sd_bus_message_appendv", f.message_appendv) &&
               FindSymbol(library, "sd_bus_message_append_array", f.message_append_array) &&
               FindSymbol(library, "sd_bus_message_open_container", f.message_open_container) &&
               FindSymbol(library, "sd_bus_message_close_container", f.message_close_container) &&
               FindSymbol(library, "sd_bus_message_readv", f.message_readv) &&
               FindSymbol(library, "sd_bus_message_read_array", f.message_read_array) &&
               FindSymbol(library, "sd_bus_message_read_strv", f.message_read_strv) &&
               FindSymbol(library, "sd_bus_message_get_member", f.message_get_member) &&
               FindSymbol(library, "sd_bus_message_is_method_error", f.message_is_method_error) &&
               FindSymbol(library, "sd_bus_error_free", f.error_free) &&
               FindSymbol(library, "sd_bus_error_has_name", f.error_has_name);
    return f;
}

const Functions& Bus()
{
    static const Functions functions = Load(); // waits while another thread loads
    return functions;
}

} // namespace

extern "C" {

// The vtable macros take this symbol's address so that a program built with
// them needs a libsystemd that reads their format; nothing reads its value.
const unsigned sd_bus_object_vtable_format = 242;

int sd_bus_open_user(sd_bus** ret)
{
    return Bus().loaded ? Bus().open_user(ret) : -ENOSYS;
}

int sd_bus_open_system(sd_bus** ret)
{
    return Bus().loaded ? Bus().open_system(ret) : -ENOSYS;
}

sd_bus* sd_bus_unref(sd_bus* bus)
{
    return Bus().loaded ? Bus().unref(bus) : nullptr;
}

sd_bus* sd_bus_flush_close_unref(sd_bus* bus)
{
    return Bus().loaded ? Bus().flush_close_unref(bus) : nullptr;
}

int sd_bus_set_allow_interactive_authorization(sd_bus* bus, int b)
{
    return Bus().loaded ? Bus().set_allow_interactive_authorization(bus, b) : -ENOSYS;
}

int sd_bus_set_method_call_timeout(sd_bus* bus, uint64_t usec)
{
    return Bus().loaded ? Bus().set_method_call_timeout(bus, usec) : -ENOSYS;
}

int sd_bus_get_fd(sd_bus* bus)
{
    return Bus().loaded ? Bus().get_fd(bus) : -ENOSYS;
}

int sd_bus_get_events(sd_bus* bus)
{
    return Bus().loaded ? Bus().get_events(bus) : -ENOSYS;
}

int sd_bus_get_timeout(sd_bus* bus, uint64_t* timeout_usec)
{
    return Bus().loaded ? Bus().get_timeout(bus, timeout_usec) : -ENOSYS;
}

int sd_bus_process(sd_bus* bus, sd_bus_message** r)
{
    return Bus().loaded ? Bus().process(bus, r) : -ENOSYS;
}

int sd_bus_request_name(sd_bus* bus, const char* name, uint64_t flags)
{
    return Bus().loaded ? Bus().request_name(bus, name, flags) : -ENOSYS;
}

int sd_bus_add_object_vtable(sd_bus* bus, sd_bus_slot** slot, const char* path,
                             const char* interface, const sd_bus_vtable* vtable, void* userdata)
{
    return Bus().loaded ? Bus().add_object_vtable(bus, slot, path, interface, vtable, userdata)
                        : -ENOSYS;
}

int sd_bus_match_signal(sd_bus* bus, sd_bus_slot** ret, const char* sender, const char* path,
                        const char* interface, const char* member,
                        sd_bus_message_handler_t callback, void* userdata)
{
    return Bus().loaded
               ? Bus().match_signal(bus, ret, sender, path, interface, member, callback, userdata)
               : -ENOSYS;
}

sd_bus_slot* sd_bus_slot_unref(sd_bus_slot* slot)
{
    return Bus().loaded ? Bus().slot_unref(slot) : nullptr;
}

int sd_bus_call(sd_bus* bus, sd_bus_message* m, uint64_t usec, sd_bus_error* ret_error,
                sd_bus_message** reply)
{
    return Bus().loaded ? Bus().call(bus, m, usec, ret_error, reply) : -ENOSYS;
}

int sd_bus_call_async(sd_bus* bus, sd_bus_slot** slot, sd_bus_message* m,
                      sd_bus_message_handler_t callback, void* userdata, uint64_t usec)
{
    return Bus().loaded ? Bus().call_async(bus, slot, m, callback, userdata, usec) : -ENOSYS;
}

int sd_bus_call_method(sd_bus* bus, const char* destination, const char* path,
                       const char* interface, const char* member, sd_bus_error* ret_error,
                       sd_bus_message** reply, const char* types, ...)
{
    if (!Bus().loaded) {
        return -ENOSYS;
    }
    va_list ap;
    va_start(ap, types);
    const int r =
        Bus().call_methodv(bus, destination, path, interface, member, ret_error, reply, types, ap);
    va_end(ap);
    return r;
}

int sd_bus_emit_signal(sd_bus* bus, const char* path, const char* interface, const char* member,
                       const char* types, ...)
{
    if (!Bus().loaded) {
        return -ENOSYS;
    }
    va_list ap;
    va_start(ap, types);
    const int r = Bus().emit_signalv(bus, path, interface, member, types, ap);
    va_end(ap);
    return r;
}

int sd_bus_reply_method_return(sd_bus_message* call, const char* types, ...)
{
    if (!Bus().loaded) {
        return -ENOSYS;
    }
    va_list ap;
    va_start(ap, types);
    const int r = Bus().reply_method_returnv(call, types, ap);
    va_end(ap);
    return r;
}

int sd_bus_get_property(sd_bus* bus, const char* destination, const char* path,
                        const char* interface, const char* member, sd_bus_error* ret_error,
                        sd_bus_message** reply, const char* type)
{
    return Bus().loaded ? Bus().get_property(bus, destination, path, interface, member, ret_error,
                                             reply, type)
                        : -ENOSYS;
}

int sd_bus_get_property_trivial(sd_bus* bus, const char* destination, const char* path,
                                const char* interface, const char* member, sd_bus_error* ret_error,
                                char type, void* ret_ptr)
{
    return Bus().loaded ? Bus().get_property_trivial(bus, destination, path, interface, member,
                                                     ret_error, type, ret_ptr)
                        : -ENOSYS;
}

int sd_bus_get_property_string(sd_bus* bus, const char* destination, const char* path,
                               const char* interface, const char* member, sd_bus_error* ret_error,
                               char** ret)
{
    return Bus().loaded ? Bus().get_property_string(bus, destination, path, interface, member,
                                                    ret_error, ret)
                        : -ENOSYS;
}

int sd_bus_message_new_method_call(sd_bus* bus, sd_bus_message** m, const char* destination,
                                   const char* path, const char* interface, const char* member)
{
    return Bus().loaded
               ? Bus().message_new_method_call(bus, m, destination, path, interface, member)
               : -ENOSYS;
}

sd_bus_message* sd_bus_message_unref(sd_bus_message* m)
{
    return Bus().loaded ? Bus().message_unref(m) : nullptr;
}

int sd_bus_message_set_allow_interactive_authorization(sd_bus_message* m, int b)
{
    return Bus().loaded ? Bus().message_set_allow_interactive_authorization(m, b) : -ENOSYS;
}

int sd_bus_message_append(sd_bus_message* m, const char* types, ...)
{
    if (!Bus().loaded) {
        return -ENOSYS;
    }
    va_list ap;
    va_start(ap, types);
    const int r = Bus().message_appendv(m, types, ap);
    va_end(ap);
    return r;
}

int sd_bus_message_append_array(sd_bus_message* m, char type, const void* ptr, size_t size)
{
    return Bus().loaded ? Bus().message_append_array(m, type, ptr, size) : -ENOSYS;
}

int sd_bus_message_open_container(sd_bus_message* m, char type, const char* contents)
{
    return Bus().loaded ? Bus().message_open_container(m, type, contents) : -ENOSYS;
}

int sd_bus_message_close_container(sd_bus_message* m)
{
    return Bus().loaded ? Bus().message_close_container(m) : -ENOSYS;
}

int sd_bus_message_read(sd_bus_message* m, const char* types, ...)
{
    if (!Bus().loaded) {
        return -ENOSYS;
    }
    va_list ap;
    va_start(ap, types);
    const int r = Bus().message_readv(m, types, ap);
    va_end(ap);
    return r;
}

int sd_bus_message_read_array(sd_bus_message* m, char type, const void** ptr, size_t* size)
{
    return Bus().loaded ? Bus().message_read_array(m, type, ptr, size) : -ENOSYS;
}

int sd_bus_message_read_strv(sd_bus_message* m, char*** l)
{
    return Bus().loaded ? Bus().message_read_strv(m, l) : -ENOSYS;
}

const char* sd_bus_message_get_member(sd_bus_message* m)
{
    return Bus().loaded ? Bus().message_get_member(m) : nullptr;
}

int sd_bus_message_is_method_error(sd_bus_message* m, const char* name)
{
    return Bus().loaded ? Bus().message_is_method_error(m, name) : -ENOSYS;
}

void sd_bus_error_free(sd_bus_error* e)
{
    if (Bus().loaded) {
        Bus().error_free(e);
    } else if (e != nullptr) {
        *e = sd_bus_error{}; // nothing but the caller wrote it: nothing to free
    }
}

int sd_bus_error_has_name(const sd_bus_error* e, const char* name)
{
    if (Bus().loaded) {
        return Bus().error_has_name(e, name);
    }
    return e != nullptr && e->name != nullptr && name != nullptr && std::strcmp(e->name, name) == 0;
}

} // extern "C"
