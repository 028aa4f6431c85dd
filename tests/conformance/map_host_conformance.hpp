// The map-host conformance suite: what every implementation of command/map_port.hpp must do
// for the core, stated as parameterised cases. A host joins by giving a factory of
// MapHostEnvironment and instantiating the suite:
//
//   INSTANTIATE_TEST_SUITE_P(MyHost, MapHostConformance,
//                            ::testing::Values(MapHostParam{"MyHost", &MakeMyHost}),
//                            MapHostParamName());
//
// The cases drive the host through the port only; the environment gives the few levers the
// port lacks (group layers, selections) and the desktop the host registered its windows with.
#pragma once

#include "command/map_port.hpp"
#include "platform/desktop.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace scribeline::conformance {

class MapHostEnvironment {
public:
    virtual ~MapHostEnvironment() = default;
    // The host under test; lives as long as the environment.
    virtual std::shared_ptr<IMapApplication> Application() = 0;
    // The desktop the host's windows are registered with.
    virtual IDesktop& Desktop() = 0;
    // Puts a new group layer named `name` holding `members` (in order) at the top of the map.
    virtual void AddGroupLayer(const std::string& name,
                               const std::vector<std::shared_ptr<ILayer>>& members) = 0;
    // Selects the features with these object ids in a feature layer of the map.
    virtual void Select(const std::shared_ptr<IFeatureLayer>& layer,
                        const std::vector<std::int64_t>& ids) = 0;
};

// Makes the host for one case; `folder` is the case's own empty folder. Null when the host
// cannot run on this machine: the case is skipped then, or fails when CI=true.
using MapHostFactory =
    std::function<std::unique_ptr<MapHostEnvironment>(const std::filesystem::path& folder)>;

struct MapHostParam {
    std::string name;
    MapHostFactory make;
};

inline std::string PrintToString(const MapHostParam& param) {
    return param.name;
}

// Names the instantiated cases after the host.
struct MapHostParamName {
    std::string operator()(const ::testing::TestParamInfo<MapHostParam>& param) const {
        return param.param.name;
    }
};

class MapHostConformance : public ::testing::TestWithParam<MapHostParam> {
protected:
    void SetUp() override;
    void TearDown() override;

    IMapApplication& app() { return *application_; }
    IMap& map() { return *application_->Document()->FocusMap(); }
    IActiveView& view() { return *application_->Document()->ActiveView(); }
    MapHostEnvironment& env() { return *env_; }
    const std::filesystem::path& folder() const { return folder_; }

    // A new shapefile class in the test's folder: `type` with z or not, WGS 1984, and the
    // attribute fields given (after the shape field "Shape").
    std::shared_ptr<IFeatureClass> CreateClass(const std::string& name, GeometryType type,
                                               bool hasZ, const std::vector<Field>& attributes);
    // A feature layer on `featureClass`, added to the map (it becomes layer 0).
    std::shared_ptr<IFeatureLayer> AddLayer(const std::shared_ptr<IFeatureClass>& featureClass,
                                            const std::string& name);
    std::shared_ptr<IFeatureWorkspace> Workspace();

private:
    std::filesystem::path folder_;
    std::unique_ptr<MapHostEnvironment> env_;
    std::shared_ptr<IMapApplication> application_;
};

} // namespace scribeline::conformance
