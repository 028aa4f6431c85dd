// The KML writers (export document and selection document).
#pragma once

#include <string>
#include <vector>

namespace kc {

// The selection KML writer: the listed features of the current shapefile. Returns the list
// length, or 0 when the file cannot be created (or written).
int writeSelectionDocument(const char* kmlPath, const std::vector<int>& list, bool bbox,
                           const std::string& ring);

} // namespace kc
