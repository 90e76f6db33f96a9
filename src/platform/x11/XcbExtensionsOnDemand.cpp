#include "platform/x11/XcbExtensionsOnDemand.h"

#include <xcb/res.h>
#include <xcb/xcbext.h>
#include <xcb/xinput.h>
#include <xcb/xtest.h>

#include <cstdio>
#include <dlfcn.h>

namespace {

// Loaded at the first use and kept. Without the library the extension reads as missing: the server is
// asked for one of a name it cannot have, and the functions give null replies.
struct Library {
    const char* file;
    xcb_extension_t fallback;
    void* handle;
};

Library load(const char* file, const char* missingName) {
    void* handle = dlopen(file, RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        std::fprintf(stderr, "Quillora: %s\n", dlerror());
    return {file, {missingName, 0}, handle};
}

Library& input() {
    static Library library = load("libxcb-xinput.so.0", "XInputExtension (library missing)");
    return library;
}

Library& test() {
    static Library library = load("libxcb-xtest.so.0", "XTEST (library missing)");
    return library;
}

Library& resource() {
    static Library library = load("libxcb-res.so.0", "X-Resource (library missing)");
    return library;
}

void* symbol(Library& library, const char* name) {
    void* found = library.handle ? dlsym(library.handle, name) : nullptr;
    if (library.handle && !found)
        std::fprintf(stderr, "Quillora: %s lacks %s\n", library.file, name);
    return found;
}

xcb_extension_t* extension(Library& library, const char* name) {
    auto* found = library.handle ? static_cast<xcb_extension_t*>(dlsym(library.handle, name)) : nullptr;
    return found ? found : &library.fallback;
}

// A reply function's answer; none, with no error, without the library.
template <typename Real, typename Cookie>
auto replyOrNone(Real real, xcb_connection_t* c, Cookie cookie, xcb_generic_error_t** e) -> decltype(real(c, cookie, e)) {
    if (real)
        return real(c, cookie, e);
    if (e)
        *e = nullptr;
    return nullptr;
}

// The function `name` of `library`, resolved at its first call.
#define QUILLORA_ON_DEMAND(library, name) \
    static const auto real = reinterpret_cast<decltype(&name)>(symbol(library(), #name))
// Calls it, or answers with an empty cookie without the library.
#define QUILLORA_FORWARD(library, name, ...) \
    QUILLORA_ON_DEMAND(library, name);        \
    return real ? real(__VA_ARGS__) : decltype(real(__VA_ARGS__)){}
#define QUILLORA_FORWARD_REPLY(library, name) \
    QUILLORA_ON_DEMAND(library, name);        \
    return replyOrNone(real, c, cookie, e)

} // namespace

xcb_extension_t* XcbExtensionsOnDemand::input() {
    return extension(::input(), "xcb_input_id");
}

xcb_extension_t* XcbExtensionsOnDemand::test() {
    return extension(::test(), "xcb_test_id");
}

xcb_extension_t* XcbExtensionsOnDemand::resource() {
    return extension(::resource(), "xcb_res_id");
}

extern "C" {

xcb_input_xi_query_version_cookie_t xcb_input_xi_query_version(xcb_connection_t* c, uint16_t major,
                                                               uint16_t minor) {
    QUILLORA_FORWARD(input, xcb_input_xi_query_version, c, major, minor);
}

xcb_input_xi_query_version_reply_t* xcb_input_xi_query_version_reply(xcb_connection_t* c,
                                                                     xcb_input_xi_query_version_cookie_t cookie,
                                                                     xcb_generic_error_t** e) {
    QUILLORA_FORWARD_REPLY(input, xcb_input_xi_query_version_reply);
}

xcb_void_cookie_t xcb_input_xi_select_events(xcb_connection_t* c, xcb_window_t window, uint16_t count,
                                             const xcb_input_event_mask_t* masks) {
    QUILLORA_FORWARD(input, xcb_input_xi_select_events, c, window, count, masks);
}

xcb_void_cookie_t xcb_test_fake_input(xcb_connection_t* c, uint8_t type, uint8_t detail, uint32_t time,
                                      xcb_window_t root, int16_t x, int16_t y, uint8_t device) {
    QUILLORA_FORWARD(test, xcb_test_fake_input, c, type, detail, time, root, x, y, device);
}

xcb_res_query_version_cookie_t xcb_res_query_version(xcb_connection_t* c, uint8_t major, uint8_t minor) {
    QUILLORA_FORWARD(resource, xcb_res_query_version, c, major, minor);
}

xcb_res_query_version_reply_t* xcb_res_query_version_reply(xcb_connection_t* c,
                                                           xcb_res_query_version_cookie_t cookie,
                                                           xcb_generic_error_t** e) {
    QUILLORA_FORWARD_REPLY(resource, xcb_res_query_version_reply);
}

xcb_res_query_client_ids_cookie_t xcb_res_query_client_ids(xcb_connection_t* c, uint32_t count,
                                                           const xcb_res_client_id_spec_t* specs) {
    QUILLORA_FORWARD(resource, xcb_res_query_client_ids, c, count, specs);
}

xcb_res_query_client_ids_reply_t* xcb_res_query_client_ids_reply(xcb_connection_t* c,
                                                                 xcb_res_query_client_ids_cookie_t cookie,
                                                                 xcb_generic_error_t** e) {
    QUILLORA_FORWARD_REPLY(resource, xcb_res_query_client_ids_reply);
}

xcb_res_client_id_value_iterator_t xcb_res_query_client_ids_ids_iterator(const xcb_res_query_client_ids_reply_t* r) {
    QUILLORA_ON_DEMAND(resource, xcb_res_query_client_ids_ids_iterator);
    return real(r);
}

void xcb_res_client_id_value_next(xcb_res_client_id_value_iterator_t* i) {
    QUILLORA_ON_DEMAND(resource, xcb_res_client_id_value_next);
    real(i);
}

int xcb_res_client_id_value_value_length(const xcb_res_client_id_value_t* r) {
    QUILLORA_ON_DEMAND(resource, xcb_res_client_id_value_value_length);
    return real(r);
}

uint32_t* xcb_res_client_id_value_value(const xcb_res_client_id_value_t* r) {
    QUILLORA_ON_DEMAND(resource, xcb_res_client_id_value_value);
    return real(r);
}

} // extern "C"
