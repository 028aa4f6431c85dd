#include "shapeio.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <locale.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <locale.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

// shapelib 1.6 (the Windows build) passes a user pointer to FOpen and Remove and a const
// buffer to FWrite; 1.5 (Debian) does neither.
#if defined(SHAPELIB_AT_LEAST)
#if SHAPELIB_AT_LEAST(1, 6, 0)
#define KC_SHAPELIB_16 1
#endif
#endif
#if defined(KC_SHAPELIB_16)
#define KC_HOOK_USER , void*
using WriteBuffer = const void*;
#else
#define KC_HOOK_USER
using WriteBuffer = void*;
#endif

namespace kc {

namespace {

constexpr std::size_t kMinWindow = 512;
constexpr std::size_t kMaxWindow = 1u << 20;

// ---- raw file descriptor access --------------------------------------------------------

#if defined(_WIN32)
using Fd = int;
long long rawRead(Fd fd, void* buf, std::size_t len, std::uint64_t off) {
    if (_lseeki64(fd, static_cast<long long>(off), SEEK_SET) < 0)
        return -1;
    return _read(fd, buf, static_cast<unsigned>(std::min<std::size_t>(len, 1u << 30)));
}
long long rawWrite(Fd fd, const void* buf, std::size_t len, std::uint64_t off) {
    if (_lseeki64(fd, static_cast<long long>(off), SEEK_SET) < 0)
        return -1;
    return _write(fd, buf, static_cast<unsigned>(std::min<std::size_t>(len, 1u << 30)));
}
std::uint64_t rawSize(Fd fd) {
    struct _stat64 st;
    return _fstat64(fd, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}
// File names are UTF-8; one that is not valid UTF-8 is taken as it is, in the ANSI code page.
std::wstring wideName(const char* name) {
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, -1, nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, -1, wide.data(), n) != n)
        return {};
    wide.resize(static_cast<std::size_t>(n - 1));
    return wide;
}
Fd rawOpen(const char* name, int flags) {
    int fd = -1;
    const std::wstring wide = wideName(name);
    if (!wide.empty())
        _wsopen_s(&fd, wide.c_str(), flags | _O_BINARY, _SH_DENYNO, _S_IREAD | _S_IWRITE);
    else
        _sopen_s(&fd, name, flags | _O_BINARY, _SH_DENYNO, _S_IREAD | _S_IWRITE);
    return fd;
}
int rawRemove(const char* name) {
    const std::wstring wide = wideName(name);
    return wide.empty() ? std::remove(name) : _wremove(wide.c_str());
}
void rawClose(Fd fd) {
    _close(fd);
}
constexpr int kRd = _O_RDONLY, kRw = _O_RDWR, kWr = _O_WRONLY, kCreat = _O_CREAT | _O_TRUNC;
#else
using Fd = int;
long long rawRead(Fd fd, void* buf, std::size_t len, std::uint64_t off) {
    ssize_t n;
    do {
        n = ::pread(fd, buf, len, static_cast<off_t>(off));
    } while (n < 0 && errno == EINTR);
    return n;
}
long long rawWrite(Fd fd, const void* buf, std::size_t len, std::uint64_t off) {
    ssize_t n;
    do {
        n = ::pwrite(fd, buf, len, static_cast<off_t>(off));
    } while (n < 0 && errno == EINTR);
    return n;
}
std::uint64_t rawSize(Fd fd) {
    struct stat st;
    return ::fstat(fd, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}
Fd rawOpen(const char* name, int flags) {
    return ::open(name, flags | O_CLOEXEC, 0666);
}
int rawRemove(const char* name) {
    return std::remove(name);
}
void rawClose(Fd fd) {
    ::close(fd);
}
constexpr int kRd = O_RDONLY, kRw = O_RDWR, kWr = O_WRONLY, kCreat = O_CREAT | O_TRUNC;
#endif

} // namespace

class FileStream {
public:
    explicit FileStream(Fd fd) : fd_(fd), size_(rawSize(fd)) {}
    ~FileStream() {
#if !defined(_WIN32)
        if (map_ != nullptr && mem_.empty())
            ::munmap(const_cast<unsigned char*>(map_), static_cast<std::size_t>(mapLen_));
#endif
        rawClose(fd_);
    }
    // Serves reads from these bytes instead of the file (a read-only view).
    void useMemory(std::vector<unsigned char> bytes) {
        mem_ = std::move(bytes);
        map_ = mem_.data();
        mapLen_ = size_ = mem_.size();
    }
    // Maps the file's current bytes for reading (random access without a system call per
    // read; writes through pwrite stay visible through the shared page cache).
    void mapForReading() {
#if !defined(_WIN32)
        if (size_ == 0 || size_ > (std::uint64_t{1} << 40))
            return;
        void* m = ::mmap(nullptr, static_cast<std::size_t>(size_), PROT_READ, MAP_SHARED, fd_, 0);
        if (m == MAP_FAILED)
            return;
        map_ = static_cast<const unsigned char*>(m);
        mapLen_ = size_;
#endif
    }
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    std::uint64_t size() const {
        return size_;
    }
    std::uint64_t tell() const {
        return pos_;
    }
    void seek(std::uint64_t pos) {
        pos_ = pos;
    }

    // Copies up to len bytes at off; returns the count copied.
    std::size_t readAt(std::uint64_t off, void* out, std::size_t len) {
        auto* dst = static_cast<unsigned char*>(out);
        std::size_t done = 0;
        while (done < len) {
            const std::uint64_t at = off + done;
            if (at >= size_)
                break;
            if (at < mapLen_) {
                const std::size_t n = static_cast<std::size_t>(
                    std::min<std::uint64_t>(std::min(mapLen_, size_) - at, len - done));
                std::memcpy(dst + done, map_ + at, n);
                done += n;
                continue;
            }
            if (at >= winStart_ && at < winStart_ + winLen_) {
                const std::size_t inWin = static_cast<std::size_t>(winStart_ + winLen_ - at);
                const std::size_t n = std::min(inWin, len - done);
                std::memcpy(dst + done, window_.data() + (at - winStart_), n);
                done += n;
                continue;
            }
            // Sequential reads grow the read-ahead; a jump shrinks it again.
            if (at == winStart_ + winLen_ && winLen_ > 0)
                chunk_ = std::min(chunk_ * 2, kMaxWindow);
            else
                chunk_ = kMinWindow;
            const std::size_t want = len - done;
            if (want >= chunk_) { // large request: straight into the caller's storage
                const long long n = rawRead(fd_, dst + done, want, at);
                if (n <= 0)
                    break;
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (window_.size() < chunk_)
                window_.resize(chunk_);
            const long long n = rawRead(fd_, window_.data(), chunk_, at);
            if (n <= 0) {
                winLen_ = 0;
                break;
            }
            winStart_ = at;
            winLen_ = static_cast<std::size_t>(n);
        }
        return done;
    }

    std::size_t writeAt(std::uint64_t off, const void* in, std::size_t len) {
        // Write-through; drop the read window if the write touches it.
        if (off < winStart_ + winLen_ && off + len > winStart_)
            winLen_ = 0;
        const auto* src = static_cast<const unsigned char*>(in);
        std::size_t done = 0;
        while (done < len) {
            const long long n = rawWrite(fd_, src + done, len - done, off + done);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        size_ = std::max<std::uint64_t>(size_, off + done);
        return done;
    }

private:
    Fd fd_;
    std::uint64_t size_;
    std::uint64_t pos_ = 0;
    std::vector<unsigned char> window_;
    std::uint64_t winStart_ = 0;
    std::size_t winLen_ = 0;
    std::size_t chunk_ = kMinWindow;
    const unsigned char* map_ = nullptr;
    std::uint64_t mapLen_ = 0;
    std::vector<unsigned char> mem_;
};

namespace {
struct SliceRequest {
    bool active = false;
    std::uint64_t first = 0, count = 0, realRecords = 0;
};
thread_local SliceRequest gSlice;
} // namespace

ShxSlice::ShxSlice(std::uint64_t first, std::uint64_t count) {
    gSlice = SliceRequest{true, first, count, 0};
}
ShxSlice::~ShxSlice() {
    gSlice = SliceRequest{};
}
std::uint64_t ShxSlice::realRecords() const {
    return gSlice.realRecords;
}

FileStream* asStream(SAFile file) {
    return reinterpret_cast<FileStream*>(file);
}

bool peek(FileStream* stream, std::uint64_t offset, void* out, std::size_t len) {
    return stream != nullptr && stream->readAt(offset, out, len) == len;
}

std::uint64_t streamSize(FileStream* stream) {
    return stream ? stream->size() : 0;
}

namespace {

std::uint32_t be32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}
std::uint32_t le32(const unsigned char* p) {
    return (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) |
           std::uint32_t{p[0]};
}
std::uint16_t le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

bool hasExtension(const char* name, const char* ext) {
    const std::size_t n = std::strlen(name);
    if (n < 4)
        return false;
    const char* tail = name + n - 4;
    for (int i = 0; i < 4; ++i) {
        char c = tail[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != ext[i])
            return false;
    }
    return true;
}

// shapelib 1.5.0 sizes its offset tables from the record count in the .shx header before
// reading them (up to 256 million records, 2 GB); accept a .shx only if the file holds the
// records its header announces.
bool shxPlausible(FileStream& s) {
    unsigned char h[100];
    if (s.readAt(0, h, sizeof h) != sizeof h)
        return false;
    const std::uint32_t words = be32(h + 24) & 0x7FFFFFFFu;
    if (words < 50)
        return false;
    const std::uint64_t records = (std::uint64_t{words} - 50) / 4;
    return 100 + records * 8 <= s.size();
}

// shapelib sizes the record buffer from the header's record length and the field tables
// from its header length; both must be consistent with the file itself.
bool dbfPlausible(FileStream& s) {
    unsigned char h[32];
    if (s.readAt(0, h, sizeof h) != sizeof h)
        return false;
    const std::uint16_t headerLength = le16(h + 8);
    const std::uint16_t recordLength = le16(h + 10);
    (void)le32(h + 4);
    return headerLength >= 32 && headerLength <= s.size() && recordLength >= 1;
}

// Presents records [first, first + count) of a plausible .shx as a .shx of its own.
void sliceIndex(FileStream& s) {
    unsigned char h[100];
    s.readAt(0, h, sizeof h);
    const std::uint64_t records = ((be32(h + 24) & 0x7FFFFFFFu) - 50) / 4;
    gSlice.realRecords = records;
    const std::uint64_t first = std::min(gSlice.first, records);
    const std::uint64_t count = std::min(gSlice.count, records - first);
    std::vector<unsigned char> bytes(static_cast<std::size_t>(100 + 8 * count));
    std::memcpy(bytes.data(), h, sizeof h);
    const auto words = static_cast<std::uint32_t>((100 + 8 * count) / 2);
    bytes[24] = static_cast<unsigned char>(words >> 24);
    bytes[25] = static_cast<unsigned char>(words >> 16);
    bytes[26] = static_cast<unsigned char>(words >> 8);
    bytes[27] = static_cast<unsigned char>(words);
    s.readAt(100 + 8 * first, bytes.data() + 100, static_cast<std::size_t>(8 * count));
    s.useMemory(std::move(bytes));
}

SAFile openStream(const char* name, const char* access, bool mapShp) {
    bool plus = std::strchr(access, '+') != nullptr;
    int flags;
    bool existing = true;
    if (access[0] == 'r') {
        flags = plus ? kRw : kRd;
    } else if (access[0] == 'w') {
        flags = (plus ? kRw : kWr) | kCreat;
        existing = false;
    } else {
        return nullptr;
    }
    const Fd fd = rawOpen(name, flags);
    if (fd < 0)
        return nullptr;
    auto* stream = new (std::nothrow) FileStream(fd);
    if (stream == nullptr) {
        rawClose(fd);
        return nullptr;
    }
    if (existing) {
        const bool ok = hasExtension(name, ".shx")   ? shxPlausible(*stream)
                        : hasExtension(name, ".dbf") ? dbfPlausible(*stream)
                                                     : true;
        if (!ok) {
            delete stream;
            return nullptr;
        }
        if (mapShp && hasExtension(name, ".shp"))
            stream->mapForReading();
        if (gSlice.active && hasExtension(name, ".shx"))
            sliceIndex(*stream);
    }
    return reinterpret_cast<SAFile>(stream);
}

SAFile hookOpen(const char* name, const char* access KC_HOOK_USER) {
    return openStream(name, access, false);
}
SAFile hookOpenMapped(const char* name, const char* access KC_HOOK_USER) {
    return openStream(name, access, true);
}

SAOffset hookRead(void* p, SAOffset size, SAOffset nmemb, SAFile file) {
    FileStream* s = asStream(file);
    if (size == 0 || nmemb == 0)
        return 0;
    if (nmemb > static_cast<SAOffset>(-1) / size)
        return 0;
    const std::size_t len = static_cast<std::size_t>(size * nmemb);
    const std::size_t got = s->readAt(s->tell(), p, len);
    s->seek(s->tell() + got);
    return static_cast<SAOffset>(got / size);
}

SAOffset hookWrite(WriteBuffer p, SAOffset size, SAOffset nmemb, SAFile file) {
    FileStream* s = asStream(file);
    if (size == 0 || nmemb == 0)
        return 0;
    if (nmemb > static_cast<SAOffset>(-1) / size)
        return 0;
    const std::size_t len = static_cast<std::size_t>(size * nmemb);
    const std::size_t put = s->writeAt(s->tell(), p, len);
    s->seek(s->tell() + put);
    return static_cast<SAOffset>(put / size);
}

SAOffset hookSeek(SAFile file, SAOffset offset, int whence) {
    FileStream* s = asStream(file);
    std::uint64_t base = 0;
    if (whence == SEEK_CUR)
        base = s->tell();
    else if (whence == SEEK_END)
        base = s->size();
    s->seek(base + offset);
    return 0;
}

SAOffset hookTell(SAFile file) {
    return static_cast<SAOffset>(asStream(file)->tell());
}

int hookFlush(SAFile) {
    return 0;
}

int hookClose(SAFile file) {
    delete asStream(file);
    return 0;
}

int hookRemove(const char* name KC_HOOK_USER) {
    return rawRemove(name);
}

void hookError(const char*) {
    // shapelib's own diagnostics would go to stderr; our layer reports through its results
    // and messages instead.
}

double hookAtof(const char* text) {
    return strtodC(text, nullptr);
}

SAHooks makeHooks() {
    SAHooks h;
    SASetupDefaultHooks(&h);
    h.FOpen = hookOpen;
    h.FRead = hookRead;
    h.FWrite = hookWrite;
    h.FSeek = hookSeek;
    h.FTell = hookTell;
    h.FFlush = hookFlush;
    h.FClose = hookClose;
    h.Remove = hookRemove;
    h.Error = hookError;
    h.Atof = hookAtof;
    return h;
}

} // namespace

SAHooks* hooks() {
    static SAHooks h = makeHooks();
    return &h;
}

SAHooks* mappedHooks() {
    static SAHooks h = [] {
        SAHooks m = makeHooks();
        m.FOpen = hookOpenMapped;
        return m;
    }();
    return &h;
}

std::FILE* openFile(const char* name, const char* mode) {
#if defined(_WIN32)
    const std::wstring wide = wideName(name), wideMode = wideName(mode);
    if (!wide.empty() && !wideMode.empty())
        return _wfopen(wide.c_str(), wideMode.c_str());
#endif
    return std::fopen(name, mode);
}

double strtodC(const char* text, char** end) {
#if defined(_WIN32)
    static _locale_t c = _create_locale(LC_ALL, "C");
    return _strtod_l(text, end, c);
#else
    static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return strtod_l(text, end, c);
#endif
}

} // namespace kc
