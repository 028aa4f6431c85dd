// Fuzz target: the coordinate text of KC_AddFeatureInShapeFile, appended to shapefiles of
// every creatable type, read back now and then.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const char* const kTypes[] = {"point", "POLYLINE", "polygon", "MULTIPOINT"};
    static int appended = 0;
    static int current = -1;
    const int type = size > 0 ? data[0] % 4 : 0;
    if (type != current || appended >= 500) {
        // a fresh file now and then, so that the files stay small
        const std::string base = kcfuzz::folder() + "/coords";
        if (KC_CreateShapeFile(base.c_str(), kTypes[type]) != 0)
            std::abort();
        current = type;
        appended = 0;
    }
    std::string text(reinterpret_cast<const char*>(data), size);
    text.resize(std::strlen(text.c_str())); // the export takes a zero-terminated text
    std::vector<char> buf(text.begin(), text.end());
    buf.push_back('\0');
    const int r = KC_AddFeatureInShapeFile(buf.data());
    if (r != 0 && r != -1)
        std::abort(); // a shapefile is current: 1 would be wrong
    if (std::strlen(buf.data()) > text.size())
        std::abort(); // trimming never lengthens the text
    ++appended;
    if (appended % 50 == 0) {
        std::vector<char> coords(1000 * 700), attrs(16), bounds(2048);
        char typeName[64];
        int count = 0;
        KC_GetMetaInfoFromShpDBF(typeName, &count, 0, nullptr);
        if (count > 0)
            KC_ReadFeature(count - 1, 0, coords.data(), attrs.data(), bounds.data());
    }
    return 0;
}
