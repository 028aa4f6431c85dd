#include "support.h"

#include "kestrelcore.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#if defined(_WIN32)
#include <process.h>
#define KC_GETPID _getpid
#else
#include <sys/wait.h>
#include <unistd.h>
#define KC_GETPID ::getpid
#endif

namespace kctest {

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "_" + info->name() : "kc";
    for (char& c : name)
        if (c == '/')
            c = '_';
    path_ = fs::temp_directory_path() / ("kctest_" + std::to_string(KC_GETPID()) + "_" +
                                         std::to_string(counter++) + "_" + name);
    fs::remove_all(path_);
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    if (std::getenv("KC_KEEP_TEMP") == nullptr)
        fs::remove_all(path_, ec);
}

void writeShapefile(const std::string& base, int type, const std::vector<Feature>& features) {
    SHPHandle h = SHPCreate(base.c_str(), type);
    if (h == nullptr)
        throw std::runtime_error("SHPCreate failed for " + base);
    for (const Feature& f : features) {
        std::vector<double> x, y, z, m;
        std::vector<int> starts;
        for (const Part& p : f) {
            starts.push_back(static_cast<int>(x.size()));
            for (const Vertex& v : p) {
                x.push_back(v.x);
                y.push_back(v.y);
                z.push_back(v.z);
                m.push_back(v.m);
            }
        }
        SHPObject* o;
        if (f.empty())
            o = SHPCreateObject(SHPT_NULL, -1, 0, nullptr, nullptr, 0, nullptr, nullptr, nullptr,
                                nullptr);
        else
            o = SHPCreateObject(type, -1, static_cast<int>(starts.size()), starts.data(), nullptr,
                                static_cast<int>(x.size()), x.data(), y.data(), z.data(), m.data());
        SHPWriteObject(h, -1, o);
        SHPDestroyObject(o);
    }
    SHPClose(h);
}

void writeTable(const std::string& base, const std::vector<Field>& fields,
                const std::vector<std::vector<std::string>>& records) {
    DBFHandle h = DBFCreate(base.c_str());
    if (h == nullptr)
        throw std::runtime_error("DBFCreate failed for " + base);
    for (const Field& f : fields) {
        if (f.type == FTLogical)
            DBFAddNativeFieldType(h, f.name.c_str(), 'L', 1, 0);
        else
            DBFAddField(h, f.name.c_str(), f.type, f.width, f.decimals);
    }
    int r = 0;
    for (const auto& rec : records) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const int fi = static_cast<int>(i);
            const std::string& v = rec.at(i);
            if (v.empty()) {
                DBFWriteNULLAttribute(h, r, fi);
                continue;
            }
            switch (fields[i].type) {
            case FTInteger:
                DBFWriteIntegerAttribute(h, r, fi, std::stoi(v));
                break;
            case FTDouble:
                DBFWriteDoubleAttribute(h, r, fi, std::stod(v));
                break;
            case FTLogical:
                DBFWriteLogicalAttribute(h, r, fi, v[0]);
                break;
            default:
                DBFWriteStringAttribute(h, r, fi, v.c_str());
            }
        }
        ++r;
    }
    if (records.empty() && fields.empty()) {
        // an empty table with no fields at all
    }
    DBFClose(h);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool exists(const std::string& path) {
    return fs::exists(path);
}

void expectGolden(const std::string& name, const std::string& actual) {
    const std::string path = std::string(KC_TEST_DATA) + "/golden/" + name;
    const char* update = std::getenv("KC_UPDATE_GOLDENS");
    if (update != nullptr && std::string(update) == "1") {
        writeFile(path, actual);
        return;
    }
    ASSERT_TRUE(exists(path)) << "missing golden " << path;
    const std::string expected = readFile(path);
    EXPECT_EQ(expected, actual) << "differs from golden " << name;
}

namespace {
void KC_CALL collect(const char* text, const char* title, void* user) {
    static_cast<MessageLog*>(user)->entries.emplace_back(title, text);
}
} // namespace

MessageLog::MessageLog() {
    KC_SetMessageHandler(collect, this);
}
MessageLog::~MessageLog() {
    KC_SetMessageHandler(nullptr, nullptr);
}

std::string printf8(double v) {
    return printfC("%.8f", v);
}

std::string printfC(const char* format, double v) {
    // The reference: the C library's printf, with the "C" locale in force.
    char buf[512];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#if defined(_WIN32)
    const char* current = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = current ? current : "C";
    std::setlocale(LC_NUMERIC, "C");
    __mingw_snprintf(buf, sizeof buf, format, v);
    std::setlocale(LC_NUMERIC, saved.c_str());
    // The library's texts are those of glibc's printf, which writes the sign of a NaN;
    // mingw's printf leaves it out.
    if (std::isnan(v) && std::signbit(v) && buf[0] != '-')
        return std::string("-") + buf;
#else
    static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const locale_t old = uselocale(c);
    std::snprintf(buf, sizeof buf, format, v);
    uselocale(old);
#endif
#pragma GCC diagnostic pop
    return buf;
}

int run(const std::string& command, std::string* output) {
    std::string cmd = command + " 2>&1";
#if defined(_WIN32)
    FILE* p = ::_popen(cmd.c_str(), "r");
#else
    FILE* p = ::popen(cmd.c_str(), "r");
#endif
    if (p == nullptr)
        return -1;
    std::string out;
    std::array<char, 4096> buf{};
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
        out.append(buf.data(), n);
#if defined(_WIN32)
    const int status = ::_pclose(p); // the exit code itself
    if (output)
        *output = out;
    return status;
#else
    const int status = ::pclose(p);
    if (output)
        *output = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

} // namespace kctest
