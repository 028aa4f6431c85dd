// Module state, messages and the exception barrier of Kestrelcore.
#pragma once

#include "kestrelcore.h"

#include <shapefil.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <new>
#include <string>

namespace kc {

// The process-wide state: one slot of each kind.
struct ModuleState {
    SHPHandle shp = nullptr;               // current shapefile
    SHPTree* tree = nullptr;               // its spatial index (only after KC_OpenShpFile)
    DBFHandle dbf = nullptr;               // current attribute table
    int dbfRecords = 0;                    // records of the table that the file really holds
    std::atomic<std::int32_t> progress{0}; // export progress, read from another thread
};

ModuleState& state();

// Shows a message through the replaceable handler (default: message box / stderr).
void showMessage(const char* text, const char* title);
void setMessageHandler(KC_MessageHandler fn, void* user);

// Closes the current shapefile and its index, the current table (no-ops when empty).
void closeShapefileSlot();
void closeTableSlot();

// The one exception barrier at the C boundary: runs body, and on any exception reports it
// (title: the export's name) and returns the export's failure result instead.
template <class R, class Body> R barrier(const char* exportName, R failure, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        showMessage("Out of memory.", exportName);
    } catch (const std::exception& e) {
        showMessage(e.what(), exportName);
    } catch (...) {
        showMessage("Unexpected failure.", exportName);
    }
    return failure;
}

template <class Body> void barrierVoid(const char* exportName, Body&& body) noexcept {
    try {
        body();
    } catch (const std::bad_alloc&) {
        showMessage("Out of memory.", exportName);
    } catch (const std::exception& e) {
        showMessage(e.what(), exportName);
    } catch (...) {
        showMessage("Unexpected failure.", exportName);
    }
}

} // namespace kc
