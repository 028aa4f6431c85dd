// Buffer sizes for the library's texts: the library writes without a size, so the tool
// sizes every buffer from the files it names (record lengths from the .shx, the field
// layout from the .dbf header).
#pragma once

#include <cstddef>
#include <string>

namespace kestrel {

// The path without a .shp/.shx/.dbf extension.
std::string basePath(const std::string& path);
// Bytes enough for the coordinate text of any feature of the shapefile (0 if unreadable).
std::size_t coordinateCapacity(const std::string& base);
// Bytes enough for the coordinate text of feature `index` (0 if it has no .shx entry).
std::size_t coordinateCapacity(const std::string& base, int index);
// Bytes enough for one record text of the table (or a small default without a table).
std::size_t recordCapacity(const std::string& base);
// Bytes enough for the field list of the table.
std::size_t fieldListCapacity(const std::string& base);
// Number of records the .shx lists (-1 if unreadable).
long long recordCount(const std::string& base);

} // namespace kestrel
