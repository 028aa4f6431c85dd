#include "composition/default_subsystems.hpp"

#include "attributes/attribute_grid.hpp"
#include "capture/ScreenShot.hpp"
#include "digitizing/basDigitizing.hpp"
#include "digitizing/target_layer.hpp"
#include "terrain/terrain_commands.hpp"
#include "views/GEStatus.hpp"
#include "views/view_sync.hpp"

#include <memory>

namespace scribeline {

namespace {

// The factory of a subsystem whose constructor takes its context.
template <class Interface, class Implementation, class Context>
SubsystemFactory<Interface, Context> make() {
    return [](const Context& context) -> std::unique_ptr<Interface> {
        return std::make_unique<Implementation>(context);
    };
}

} // namespace

Subsystems DefaultSubsystems() {
    Subsystems s;
    s.attributeGrid = MakeAttributeGrid;
    s.targetLayer = make<ITargetLayer, digitizing::TargetLayer, TargetLayerContext>();
    s.digitizingRun = make<IDigitizingRun, digitizing::DigitizingRun, DigitizingRunContext>();
    s.layerExport = make<ILayerExport, digitizing::LayerExport, LayerExportContext>();
    s.terrain = make<ITerrainCommands, terrain::TerrainCommands, TerrainContext>();
    s.viewSync = make<IViewSync, views::ViewSync, ViewsContext>();
    s.statusReports = make<IStatusReports, views::StatusReports, ViewsContext>();
    s.screenShots = make<IScreenShots, capture::ScreenShots, ScreenShotContext>();
    return s;
}

} // namespace scribeline
