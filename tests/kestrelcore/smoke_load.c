/* A foreign caller's view of the library: loads it at run time (LoadLibraryA on Windows,
 * dlopen elsewhere), resolves every export by name and, on Windows, by ordinal (the same
 * address), then opens, reads, searches, exports and creates a small shapefile and writes
 * every text it gets. The texts are compared with a golden file made by the Linux build:
 * byte for byte, except the distance lines, which agree to 1e-12 relative (the C runtimes'
 * maths libraries differ in the last bits).
 *
 * Usage: kestrelcore_smoke LIBRARY DATA_BASE WORK_DIR GOLDEN [--write]
 *   DATA_BASE  the shapefile to read (path without extension)
 *   WORK_DIR   an existing folder for the files the run writes
 *   --write    (re)write GOLDEN instead of comparing */
#if defined(_WIN32)
#define __USE_MINGW_ANSI_STDIO 1 /* C99 printf: the texts must not depend on msvcrt's */
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "kestrelcore.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* ---- the exports, as a caller declares them ------------------------------------------ */

typedef int(KC_CALL* OpenFn)(const char*);
typedef void(KC_CALL* CloseFn)(void);
typedef int(KC_CALL* ReadDbfFn)(int, char*);
typedef int(KC_CALL* MetaFn)(char*, int*, int, char*);
typedef int(KC_CALL* ReadFeatureFn)(int, int, char*, char*, char*);
typedef int(KC_CALL* SearchFn)(double, double, int, char*, char*);
typedef int(KC_CALL* Search2Fn)(double, double, int, char**, char*);
typedef int(KC_CALL* MultiFn)(double, double, double, double, char*, int, const char*, int);
typedef int(KC_CALL* CircleFn)(double, double, double, double, char*, const char*, const char*,
                               int);
typedef double(KC_CALL* DistFn)(double, double, double, double);
typedef int(KC_CALL* ExportFn)(const char*, const char*);
typedef int(KC_CALL* ProgressFn)(void);
typedef int(KC_CALL* CreateFn)(const char*, const char*);
typedef int(KC_CALL* AddFn)(char*);
typedef void(KC_CALL* SetHandlerFn)(KC_MessageHandler, void*);

struct Export {
    const char* name;
    int ordinal;
    void* address;
};

static struct Export exportsTable[] = {
    {"KC_ExportShp2Kml", 4, NULL},
    {"SphericalDist", 6, NULL},
    {"KC_OpenShpFile", 11, NULL},
    {"KC_CloseShpFile", 12, NULL},
    {"KC_SearchShpFile", 13, NULL},
    {"KC_SearchShpFile2", 14, NULL},
    {"KC_FindNearest", 15, NULL},
    {"KC_MultiSearchShpFile", 16, NULL},
    {"KC_MultiSearchFeatureByCircle", 17, NULL},
    {"KC_OpenDBFFile", 21, NULL},
    {"KC_ReadDBF", 22, NULL},
    {"KC_CloseDBFFile", 23, NULL},
    {"KC_GetMetaInfoFromShpDBF", 31, NULL},
    {"KC_ReadFeature", 32, NULL},
    {"KC_GetProgressFromShp2Kml", 41, NULL},
    {"KC_SetMessageHandler", 42, NULL},
    {"KC_CreateShapeFile", 51, NULL},
    {"KC_AddFeatureInShapeFile", 52, NULL},
};
enum { kExports = sizeof exportsTable / sizeof exportsTable[0] };

/* Function pointers and data pointers differ in type only: copy the bits. */
#define RESOLVE(type, var, name)                                                                   \
    type var;                                                                                      \
    {                                                                                              \
        void* p_ = lookup(name);                                                                   \
        memcpy(&var, &p_, sizeof var);                                                             \
    }

static void* lookup(const char* name) {
    int i;
    for (i = 0; i < kExports; ++i)
        if (strcmp(exportsTable[i].name, name) == 0)
            return exportsTable[i].address;
    return NULL;
}

/* Loads the library and resolves every export; 0 on success, else a message was printed. */
static int loadLibrary(const char* path) {
    int i;
#if defined(_WIN32)
    HMODULE lib = LoadLibraryA(path);
    if (lib == NULL) {
        fprintf(stderr, "LoadLibraryA(%s) failed: %lu\n", path, (unsigned long)GetLastError());
        return 1;
    }
    for (i = 0; i < kExports; ++i) {
        FARPROC byName = GetProcAddress(lib, exportsTable[i].name);
        FARPROC byOrdinal = GetProcAddress(lib, MAKEINTRESOURCEA(exportsTable[i].ordinal));
        if (byName == NULL || byOrdinal == NULL || byName != byOrdinal) {
            fprintf(stderr, "%s: by name %p, by ordinal %d %p\n", exportsTable[i].name,
                    (void*)byName, exportsTable[i].ordinal, (void*)byOrdinal);
            return 1;
        }
        memcpy(&exportsTable[i].address, &byName, sizeof byName);
    }
#else
    void* lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (lib == NULL) {
        fprintf(stderr, "dlopen(%s) failed: %s\n", path, dlerror());
        return 1;
    }
    for (i = 0; i < kExports; ++i) {
        exportsTable[i].address = dlsym(lib, exportsTable[i].name);
        if (exportsTable[i].address == NULL) {
            fprintf(stderr, "%s is not exported\n", exportsTable[i].name);
            return 1;
        }
    }
#endif
    return 0;
}

/* ---- the text of the run ------------------------------------------------------------- */

static char* text = NULL;
static size_t textLen = 0, textCap = 0;

static void append(const char* s, size_t n) {
    if (textLen + n + 1 > textCap) {
        textCap = (textLen + n + 1) * 2;
        text = (char*)realloc(text, textCap);
        if (text == NULL) {
            fprintf(stderr, "out of memory\n");
            exit(2);
        }
    }
    memcpy(text + textLen, s, n);
    textLen += n;
    text[textLen] = '\0';
}

static void put(const char* format, ...) {
    char buf[4096];
    int n;
    va_list args;
    va_start(args, format);
    n = vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    append(buf, (size_t)n);
}

/* A library text as it is, framed so that its CR LF and trailing blanks stay visible. */
static void putText(const char* label, const char* value) {
    put("%s <<", label);
    append(value, strlen(value));
    put(">>\n");
}

static void putFile(const char* label, const char* path) {
    char buf[4096];
    size_t n;
    FILE* f = fopen(path, "rb");
    put("%s <<", label);
    if (f == NULL) {
        put("(missing)>>\n");
        return;
    }
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        append(buf, n);
    fclose(f);
    put(">>\n");
}

static void KC_CALL onMessage(const char* msg, const char* title, void* user) {
    (void)user;
    put("message: %s: %s\n", title, msg);
}

static char* readWhole(const char* path, size_t* len) {
    char* data;
    long size;
    FILE* f = fopen(path, "rb");
    if (f == NULL)
        return NULL;
    fseek(f, 0, SEEK_END);
    size = ftell(f);
    fseek(f, 0, SEEK_SET);
    data = (char*)malloc((size_t)size + 1);
    if (data == NULL || fread(data, 1, (size_t)size, f) != (size_t)size) {
        fclose(f);
        free(data);
        return NULL;
    }
    fclose(f);
    data[size] = '\0';
    *len = (size_t)size;
    return data;
}

/* Lines equal, or both "distance ... = VALUE" lines whose values agree to 1e-12 relative. */
static int sameLine(const char* a, size_t alen, const char* b, size_t blen) {
    const char* ea;
    const char* eb;
    double va, vb;
    if (alen == blen && memcmp(a, b, alen) == 0)
        return 1;
    if (strncmp(a, "distance ", 9) != 0 || strncmp(b, "distance ", 9) != 0)
        return 0;
    ea = memchr(a, '=', alen);
    eb = memchr(b, '=', blen);
    if (ea == NULL || eb == NULL || ea - a != eb - b || memcmp(a, b, (size_t)(ea - a)) != 0)
        return 0;
    va = strtod(ea + 1, NULL);
    vb = strtod(eb + 1, NULL);
    return fabs(va - vb) <= 1e-12 * fabs(va);
}

static int compareWithGolden(const char* golden) {
    size_t glen = 0, ga = 0, ta = 0;
    int line = 1;
    char* expected = readWhole(golden, &glen);
    if (expected == NULL) {
        fprintf(stderr, "cannot read %s\n", golden);
        return 1;
    }
    while (ga < glen || ta < textLen) {
        const char* ge = memchr(expected + ga, '\n', glen - ga);
        const char* te = memchr(text + ta, '\n', textLen - ta);
        size_t gl = ge ? (size_t)(ge - (expected + ga)) : glen - ga;
        size_t tl = te ? (size_t)(te - (text + ta)) : textLen - ta;
        if (ga >= glen || ta >= textLen || !sameLine(expected + ga, gl, text + ta, tl)) {
            fprintf(stderr, "line %d differs from %s\nexpected: %.*s\nactual:   %.*s\n", line,
                    golden, (int)gl, ga < glen ? expected + ga : "", (int)tl,
                    ta < textLen ? text + ta : "");
            free(expected);
            return 1;
        }
        ga += gl + 1;
        ta += tl + 1;
        ++line;
    }
    free(expected);
    return 0;
}

/* Replaces every occurrence of what by with in the text: the paths of a checkout do not
 * belong into a golden file. */
static void replaceAll(const char* what, const char* with) {
    char* out = NULL;
    size_t outLen = 0, at = 0;
    const size_t wl = strlen(what), rl = strlen(with);
    char* rest;
    if (wl == 0 || text == NULL)
        return;
    out = (char*)malloc(textLen * (rl > wl ? rl : wl) + 1);
    if (out == NULL)
        exit(2);
    while ((rest = strstr(text + at, what)) != NULL) {
        const size_t n = (size_t)(rest - (text + at));
        memcpy(out + outLen, text + at, n);
        memcpy(out + outLen + n, with, rl);
        outLen += n + rl;
        at += n + wl;
    }
    memcpy(out + outLen, text + at, textLen - at);
    outLen += textLen - at;
    out[outLen] = '\0';
    free(text);
    text = out;
    textLen = outLen;
    textCap = outLen + 1;
}

/* ---- the run --------------------------------------------------------------------------- */

static void joinPath(char* out, const char* dir, const char* name) {
    sprintf(out, "%s/%s", dir, name);
}

static void run(const char* base, const char* work) {
    RESOLVE(SetHandlerFn, setHandler, "KC_SetMessageHandler")
    RESOLVE(OpenFn, openShp, "KC_OpenShpFile")
    RESOLVE(CloseFn, closeShp, "KC_CloseShpFile")
    RESOLVE(OpenFn, openDbf, "KC_OpenDBFFile")
    RESOLVE(CloseFn, closeDbf, "KC_CloseDBFFile")
    RESOLVE(ReadDbfFn, readDbf, "KC_ReadDBF")
    RESOLVE(MetaFn, meta, "KC_GetMetaInfoFromShpDBF")
    RESOLVE(ReadFeatureFn, readFeature, "KC_ReadFeature")
    RESOLVE(SearchFn, search, "KC_SearchShpFile")
    RESOLVE(Search2Fn, search2, "KC_SearchShpFile2")
    RESOLVE(SearchFn, nearest, "KC_FindNearest")
    RESOLVE(MultiFn, multi, "KC_MultiSearchShpFile")
    RESOLVE(CircleFn, circle, "KC_MultiSearchFeatureByCircle")
    RESOLVE(DistFn, dist, "SphericalDist")
    RESOLVE(ExportFn, exportKml, "KC_ExportShp2Kml")
    RESOLVE(ProgressFn, progress, "KC_GetProgressFromShp2Kml")
    RESOLVE(CreateFn, create, "KC_CreateShapeFile")
    RESOLVE(AddFn, add, "KC_AddFeatureInShapeFile")

    static char coords[65536], attrs[8192], bounds[256], list[8192], type[64];
    static char vertex[64][128];
    char* vertices[64];
    char path[4096], made[4096], kml[4096];
    int i, count = -1, r;
    static const double pairs[][4] = {
        {0, 0, 0, 1},      {7.5, 46.6, -71.2, 42.4},  {179.5, -10, -179.5, 10},
        {0, 90, 180, -90}, {8.2, 47.1, 8.2001, 47.1}, {12.5, 91, 0, 0}};

    setHandler(onMessage, NULL);
    put("progress after load = %d\n", progress());
    r = readFeature(0, 0, coords, attrs, bounds);
    put("read without a shapefile = %d\n", r);

    sprintf(path, "%s.dbf", base);
    put("open shp = %d\n", openShp(base));
    put("open dbf = %d\n", openDbf(path));
    list[0] = '\0';
    r = meta(type, &count, 1, list);
    put("meta = %d type %s count %d\n", r, type, count);
    putText("fields", list);
    for (i = 0; i <= count; ++i) {
        coords[0] = attrs[0] = bounds[0] = '\0';
        r = readFeature(i, 1, coords, attrs, bounds);
        put("feature %d = %d\n", i, r);
        putText("  bounds", bounds);
        putText("  coords", coords);
        putText("  attrs", attrs);
    }
    put("dbf 1 = %d\n", readDbf(1, attrs));
    putText("  record", attrs);

    r = search(7.5, 46.7, 1, coords, attrs);
    put("search 7.5 46.7 = %d\n", r);
    putText("  coords", coords);
    putText("  attrs", attrs);
    put("search 0 0 = %d\n", search(0, 0, 0, coords, attrs));
    for (i = 0; i < 64; ++i) {
        vertex[i][0] = '\0';
        vertices[i] = vertex[i];
    }
    r = search2(8.2, 47.1, 0, vertices, attrs);
    put("search2 8.2 47.1 = %d\n", r);
    for (i = 0; i < 8 && vertex[i][0] != '\0'; ++i)
        putText("  vertex", vertex[i]);
    r = nearest(-71.2, 42.5, 1, coords, attrs);
    put("nearest -71.2 42.5 = %d\n", r);
    putText("  coords", coords);

    joinPath(kml, work, "box.kml");
    list[0] = '\0';
    r = multi(0, 40, 10, 50, list, 0, kml, 1);
    put("box = %d\n", r);
    putText("  list", list);
    putFile("  kml", kml);
    joinPath(kml, work, "circle.kml");
    list[0] = '\0';
    r = circle(8.0, 47.0, 9.5, 47.0, list, "7,46 9,46 9,48 7,46", kml, 1);
    put("circle = %d\n", r);
    putText("  list", list);
    putFile("  kml", kml);
    closeShp();
    closeDbf();

    joinPath(kml, work, "export.kml");
    r = exportKml(base, kml);
    put("export = %d progress %d\n", r, progress());
    putFile("  kml", kml);

    joinPath(made, work, "made");
    put("create unknown = %d\n", create(made, "circle"));
    put("create = %d\n", create(made, "polyline"));
    strcpy(coords, "  1.5,2.25,10 -3.125,4.5,20 5,6,30  ");
    put("append = %d\n", add(coords));
    strcpy(coords, "-71.25,42.125 -70.5,43");
    put("append = %d\n", add(coords));
    closeShp();
    put("reopen = %d\n", openShp(made));
    r = meta(type, &count, 0, list);
    put("made type %s count %d\n", type, count);
    for (i = 0; i < count; ++i) {
        r = readFeature(i, 0, coords, attrs, bounds);
        put("made %d = %d\n", i, r);
        putText("  bounds", bounds);
        putText("  coords", coords);
    }
    closeShp();

    for (i = 0; i < (int)(sizeof pairs / sizeof pairs[0]); ++i)
        put("distance %g %g %g %g = %.17g\n", pairs[i][0], pairs[i][1], pairs[i][2], pairs[i][3],
            dist(pairs[i][0], pairs[i][1], pairs[i][2], pairs[i][3]));
    setHandler(NULL, NULL);
}

int main(int argc, char** argv) {
    FILE* f;
    if (argc < 5) {
        fprintf(stderr, "usage: %s LIBRARY DATA_BASE WORK_DIR GOLDEN [--write]\n", argv[0]);
        return 2;
    }
    if (loadLibrary(argv[1]) != 0)
        return 1;
    run(argv[2], argv[3]);
    replaceAll(argv[2], "DATA_BASE");
    replaceAll(argv[3], "WORK_DIR");
    if (argc > 5 && strcmp(argv[5], "--write") == 0) {
        f = fopen(argv[4], "wb");
        if (f == NULL || fwrite(text, 1, textLen, f) != textLen) {
            fprintf(stderr, "cannot write %s\n", argv[4]);
            return 1;
        }
        fclose(f);
        return 0;
    }
    if (compareWithGolden(argv[4]) != 0)
        return 1;
    printf("%d exports resolved; texts equal the golden file\n", (int)kExports);
    return 0;
}
