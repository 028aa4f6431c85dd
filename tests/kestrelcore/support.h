// Shared helpers of the Kestrelcore tests: temp folders, fixtures written with shapelib,
// golden files and message capture.
#pragma once

#include <shapefil.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace kctest {

namespace fs = std::filesystem;

// A fresh temporary folder per test, removed afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

struct Vertex {
    double x, y, z = 0, m = 0;
};
using Part = std::vector<Vertex>;
using Feature = std::vector<Part>; // empty feature: a null record

// Writes a shapefile (base path without extension) of the given type with shapelib.
void writeShapefile(const std::string& base, int type, const std::vector<Feature>& features);

struct Field {
    std::string name;
    DBFFieldType type;
    int width, decimals;
};
// One value text per field; "" writes a NULL attribute. Logical values as "T"/"F".
void writeTable(const std::string& base, const std::vector<Field>& fields,
                const std::vector<std::vector<std::string>>& records);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool exists(const std::string& path);

// Compares with tests/data/kestrelcore/golden/NAME byte for byte. With the environment
// variable KC_UPDATE_GOLDENS=1 the golden file is (re)written instead.
void expectGolden(const std::string& name, const std::string& actual);

// Collects the library's messages while alive (and restores the default afterwards).
class MessageLog {
public:
    MessageLog();
    ~MessageLog();
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;
    std::vector<std::pair<std::string, std::string>> entries; // (title, text)
    void clear() { entries.clear(); }
};

// printf("%.8f") in the C locale, the reference for every number text.
std::string printf8(double v);
// printf of one double with the given format in the C locale. On Windows this is mingw's
// printf: msvcrt's rounds ties differently and writes infinities differently from C99.
std::string printfC(const char* format, double v);

// A locale whose decimal separator is a comma (the Windows C runtime names it differently).
#if defined(_WIN32)
inline constexpr const char* kGermanLocale = "German_Germany.1252";
#else
inline constexpr const char* kGermanLocale = "de_DE.UTF-8";
#endif

// Runs a command line; returns its exit code and fills output with stdout (+stderr).
int run(const std::string& command, std::string* output = nullptr);

} // namespace kctest
