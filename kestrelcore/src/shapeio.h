// File access for shapelib through our own SAHooks: buffered reads with a read-ahead window
// (sequential reads grow it, random reads keep it small), write-through writes, silent
// shapelib error messages and a locale-independent atof. Opening an existing .shx or .dbf
// for reading first checks its header against the file's real size, so that shapelib never
// sizes an allocation from a count the file cannot hold.
#pragma once

#include <shapefil.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace kc {

// Hooks for SHPOpenLL / SHPCreateLL / DBFOpenLL.
SAHooks* hooks();
// The same, with the .shp mapped into memory for random access (the current shapefile of
// the searches); not for streaming passes, whose resident memory should stay flat.
SAHooks* mappedHooks();

// While alive on this thread, a .shx opened for reading through hooks() shows only the
// records [first, first + count) of the real file: a streaming pass over a large shapefile
// opens it chunk by chunk, so that shapelib's in-memory record index stays small.
class ShxSlice {
public:
    ShxSlice(std::uint64_t first, std::uint64_t count);
    ~ShxSlice();
    ShxSlice(const ShxSlice&) = delete;
    ShxSlice& operator=(const ShxSlice&) = delete;
    // Records of the real .shx (after an open).
    std::uint64_t realRecords() const;
};

// fopen for a file name in UTF-8 (on Windows a name that is not valid UTF-8 is taken in the
// ANSI code page, as everywhere in the library's file access).
std::FILE* openFile(const char* name, const char* mode);

// The C library's string-to-double conversion in the "C" locale (strtod semantics).
double strtodC(const char* text, char** end);

// A file opened through hooks(): lets our validation read bytes through the same buffer
// that shapelib will read from (no second system call for the same record).
class FileStream;
FileStream* asStream(SAFile file);
// Reads len bytes at offset without moving the stream position; false if not all there.
bool peek(FileStream* stream, std::uint64_t offset, void* out, std::size_t len);
std::uint64_t streamSize(FileStream* stream);

} // namespace kc
