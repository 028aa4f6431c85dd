#include "state.h"

#include <cstdio>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace kc {

namespace {

void KC_CALL defaultHandler(const char* text, const char* title, void*) {
#if defined(_WIN32)
    MessageBoxA(nullptr, text, title, MB_OK);
#else
    std::fprintf(stderr, "%s: %s\n", title, text);
    std::fflush(stderr);
#endif
}

struct Handler {
    KC_MessageHandler fn = defaultHandler;
    void* user = nullptr;
};

Handler& handler() {
    static Handler h;
    return h;
}

} // namespace

ModuleState& state() {
    static ModuleState s;
    return s;
}

void showMessage(const char* text, const char* title) {
    const Handler& h = handler();
    h.fn(text ? text : "", title ? title : "", h.user);
}

void setMessageHandler(KC_MessageHandler fn, void* user) {
    Handler& h = handler();
    h.fn = fn ? fn : defaultHandler;
    h.user = fn ? user : nullptr;
}

void closeShapefileSlot() {
    ModuleState& s = state();
    if (s.tree != nullptr) {
        SHPDestroyTree(s.tree);
        s.tree = nullptr;
    }
    if (s.shp != nullptr) {
        SHPClose(s.shp);
        s.shp = nullptr;
    }
}

void closeTableSlot() {
    ModuleState& s = state();
    if (s.dbf != nullptr) {
        DBFClose(s.dbf);
        s.dbf = nullptr;
    }
    s.dbfRecords = 0;
}

} // namespace kc

extern "C" KC_API void KC_CALL KC_SetMessageHandler(KC_MessageHandler handler, void* userData) {
    kc::barrierVoid("KC_SetMessageHandler", [&] { kc::setMessageHandler(handler, userData); });
}
