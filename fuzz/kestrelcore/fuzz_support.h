// Shared plumbing of the Kestrelcore fuzz targets: a private folder per process, the input
// split into the files of a shapefile, buffers large enough for any text the input can make.
#pragma once

#include "kestrelcore.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

namespace kcfuzz {

inline void KC_CALL quiet(const char*, const char*, void*) {}

// A folder of its own for this process (libFuzzer may run several jobs side by side).
inline const std::string& folder() {
    static const std::string dir = [] {
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string templ = std::string(base) + "/kcfuzz_XXXXXX";
        std::vector<char> buf(templ.begin(), templ.end());
        buf.push_back('\0');
        const char* made = mkdtemp(buf.data());
        if (made == nullptr)
            std::abort();
        KC_SetMessageHandler(quiet, nullptr);
        return std::string(made);
    }();
    return dir;
}

inline void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size)
        std::abort();
    std::fclose(f);
}

inline std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}

// Input layout: shp length (u32 LE), shx length (u32 LE), the .shp, the .shx, the .dbf.
// Lengths beyond the input are clamped; a missing part gives an empty file.
struct Parts {
    const std::uint8_t *shp = nullptr, *shx = nullptr, *dbf = nullptr;
    std::size_t shpSize = 0, shxSize = 0, dbfSize = 0;
};

inline Parts split(const std::uint8_t* data, std::size_t size) {
    Parts p;
    if (size < 8)
        return p;
    std::size_t rest = size - 8;
    const std::uint8_t* at = data + 8;
    p.shpSize = std::min<std::size_t>(le32(data), rest);
    p.shp = at;
    at += p.shpSize;
    rest -= p.shpSize;
    p.shxSize = std::min<std::size_t>(le32(data + 4), rest);
    p.shx = at;
    at += p.shxSize;
    rest -= p.shxSize;
    p.dbf = at;
    p.dbfSize = rest;
    return p;
}

// Writes base.shp, base.shx, base.dbf; returns base.
inline std::string writeShapefile(const Parts& p, const char* name) {
    const std::string base = folder() + "/" + name;
    writeFile(base + ".shp", p.shp, p.shpSize);
    writeFile(base + ".shx", p.shx, p.shxSize);
    writeFile(base + ".dbf", p.dbf, p.dbfSize);
    return base;
}

// Every text a file of `size` bytes can make fits: a vertex takes at least 16 bytes of the
// file and at most 2 * 330 + 8 bytes of text; a field at least 32 bytes of header and at
// most 11 + 1 + 330 + 3 bytes of text.
inline std::size_t textCapacity(std::size_t size) {
    return (size / 16 + 4) * 700 + 64 * 1024;
}

} // namespace kcfuzz
