// The digitizer window on the headless desktop, the simulated globe and the map host, with
// helpers for the terrain commands.
#pragma once

#include "terrain/terrain_commands.hpp"
#include "tests/digitizing/run_fixture.hpp"

#include <string>

namespace scribeline::testing {

class TerrainTest : public RunTest {
protected:
    terrain::TerrainCommands& terrain() {
        return dynamic_cast<terrain::TerrainCommands&>(w().Terrain());
    }
    // Low enough to sample: straight down on the Alps from 40 km.
    void LookAtAlps(double range = 40000.0) { LookAt(46.5, 10.5, range); }
    std::vector<desktop::MessageBoxRecord> Boxes(const std::string& title) {
        std::vector<desktop::MessageBoxRecord> out;
        for (const auto& box : desk.MessageBoxes()) {
            if (box.title == title) {
                out.push_back(box);
            }
        }
        return out;
    }
    std::vector<std::string> IsolineaTexts() {
        std::vector<std::string> out;
        for (const auto& box : Boxes("Isolinea")) {
            out.push_back(box.text);
        }
        return out;
    }
    // Documents the globe keeps whose text holds `needle` in a placemark style or name.
    int KeptDocuments() { return static_cast<int>(earth->Documents().size()); }
};

} // namespace scribeline::testing
