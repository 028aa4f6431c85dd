#include "buffers.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <vector>

namespace kestrel {

namespace {

// One vertex takes at least 16 bytes of the file and at most 2 * 330 + 8 bytes of text.
constexpr std::size_t kTextPerVertex = 700;
constexpr std::size_t kSlack = 4096;

std::uint32_t be32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

std::vector<unsigned char> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
}

bool hasExt(const std::string& p, const std::string& ext) {
    if (p.size() < ext.size())
        return false;
    std::string tail = p.substr(p.size() - ext.size());
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return tail == ext;
}

} // namespace

std::string basePath(const std::string& path) {
    for (const char* ext : {".shp", ".shx", ".dbf"})
        if (hasExt(path, ext))
            return path.substr(0, path.size() - 4);
    return path;
}

long long recordCount(const std::string& base) {
    std::ifstream in(base + ".shx", std::ios::binary | std::ios::ate);
    if (!in)
        return -1;
    const auto size = static_cast<long long>(in.tellg());
    return size < 100 ? -1 : (size - 100) / 8;
}

std::size_t coordinateCapacity(const std::string& base) {
    const auto shx = readAll(base + ".shx");
    std::uint64_t longest = 0;
    for (std::size_t at = 100; at + 8 <= shx.size(); at += 8)
        longest = std::max<std::uint64_t>(longest, std::uint64_t{be32(&shx[at + 4])} * 2);
    return static_cast<std::size_t>(longest / 16 + 2) * kTextPerVertex + kSlack;
}

std::size_t coordinateCapacity(const std::string& base, int index) {
    std::ifstream in(base + ".shx", std::ios::binary);
    if (!in || index < 0)
        return kSlack;
    unsigned char entry[8];
    in.seekg(100 + 8 * static_cast<std::streamoff>(index));
    if (!in.read(reinterpret_cast<char*>(entry), 8))
        return kSlack;
    return static_cast<std::size_t>(std::uint64_t{be32(entry + 4)} * 2 / 16 + 2) * kTextPerVertex +
           kSlack;
}

std::size_t recordCapacity(const std::string& base) {
    std::ifstream in(base + ".dbf", std::ios::binary);
    unsigned char head[32];
    if (!in || !in.read(reinterpret_cast<char*>(head), 32))
        return kSlack;
    const std::size_t headerLength = std::size_t{head[8]} | (std::size_t{head[9]} << 8);
    const std::size_t fields = headerLength / 32 + 1;
    // name, blank, value (text up to 255, or a number up to 330), " \r\n"
    return fields * (11 + 1 + 330 + 3) + kSlack;
}

std::size_t fieldListCapacity(const std::string& base) {
    return recordCapacity(base);
}

} // namespace kestrel
