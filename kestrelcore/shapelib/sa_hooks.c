/* shapelib's default file hooks for the Windows build: the library copy we compile leaves
 * SASetupDefaultHooks to its host. Plain stdio with 64-bit offsets; file names are UTF-8
 * (converted to UTF-16 for the wide C runtime calls), and a name that is not valid UTF-8 is
 * passed on as it is, in the ANSI code page. */
#include "shapefil.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#if defined(_WIN32)
#include <windows.h>

/* The UTF-16 form of a UTF-8 text, or NULL if it is not valid UTF-8. free() the result. */
static wchar_t* utf8ToWide(const char* text) {
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, NULL, 0);
    if (n <= 0)
        return NULL;
    wchar_t* wide = (wchar_t*)malloc((size_t)n * sizeof(wchar_t));
    if (wide == NULL)
        return NULL;
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide, n) != n) {
        free(wide);
        return NULL;
    }
    return wide;
}

static FILE* openFile(const char* name, const char* mode) {
    wchar_t* wname = utf8ToWide(name);
    wchar_t* wmode = utf8ToWide(mode);
    FILE* f;
    if (wname != NULL && wmode != NULL)
        f = _wfopen(wname, wmode);
    else
        f = fopen(name, mode);
    free(wname);
    free(wmode);
    return f;
}

static int removeFile(const char* name) {
    wchar_t* wname = utf8ToWide(name);
    int rc = wname != NULL ? _wremove(wname) : remove(name);
    free(wname);
    return rc;
}

static int seekFile(FILE* f, SAOffset offset, int whence) {
    return _fseeki64(f, (__int64)offset, whence);
}

static SAOffset tellFile(FILE* f) {
    return (SAOffset)_ftelli64(f);
}
#else
static FILE* openFile(const char* name, const char* mode) {
    return fopen(name, mode);
}
static int removeFile(const char* name) {
    return remove(name);
}
static int seekFile(FILE* f, SAOffset offset, int whence) {
    return fseeko(f, (off_t)offset, whence);
}
static SAOffset tellFile(FILE* f) {
    return (SAOffset)ftello(f);
}
#endif

static SAFile saOpen(const char* name, const char* access, void* userData) {
    (void)userData;
    return (SAFile)openFile(name, access);
}

static SAOffset saRead(void* p, SAOffset size, SAOffset nmemb, SAFile file) {
    return (SAOffset)fread(p, (size_t)size, (size_t)nmemb, (FILE*)file);
}

static SAOffset saWrite(const void* p, SAOffset size, SAOffset nmemb, SAFile file) {
    return (SAOffset)fwrite(p, (size_t)size, (size_t)nmemb, (FILE*)file);
}

static SAOffset saSeek(SAFile file, SAOffset offset, int whence) {
    return (SAOffset)seekFile((FILE*)file, offset, whence);
}

static SAOffset saTell(SAFile file) {
    return tellFile((FILE*)file);
}

static int saFlush(SAFile file) {
    return fflush((FILE*)file);
}

static int saClose(SAFile file) {
    return fclose((FILE*)file);
}

static int saRemove(const char* name, void* userData) {
    (void)userData;
    return removeFile(name);
}

static void saError(const char* message) {
    fprintf(stderr, "%s\n", message);
}

void SHPAPI_CALL SASetupDefaultHooks(SAHooks* hooks) {
    hooks->FOpen = saOpen;
    hooks->FRead = saRead;
    hooks->FWrite = saWrite;
    hooks->FSeek = saSeek;
    hooks->FTell = saTell;
    hooks->FFlush = saFlush;
    hooks->FClose = saClose;
    hooks->Remove = saRemove;
    hooks->Error = saError;
    hooks->Atof = atof;
    hooks->pvUserData = NULL;
}

#ifdef SHPAPI_UTF8_HOOKS
/* The default hooks already take UTF-8 names. */
void SHPAPI_CALL SASetupUtf8Hooks(SAHooks* hooks) {
    SASetupDefaultHooks(hooks);
}
#endif
