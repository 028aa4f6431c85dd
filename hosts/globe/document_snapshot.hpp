// The documents a picture draws, as one immutable value: the globe model hands out a new
// snapshot per change, so a frame rendered on another thread sees the documents as they were
// when it was asked for while the model goes on keeping, replacing and dropping others.
#pragma once

#include "hosts/globe/kml_document.hpp"
#include "hosts/globe/terrain.hpp"

#include <memory>
#include <vector>

namespace scribeline::globe {

struct DocumentSnapshot {
    std::vector<std::shared_ptr<const KmlDocument>> documents; // oldest first; none null
    std::vector<DemOutline> demOutlines;
};

} // namespace scribeline::globe
