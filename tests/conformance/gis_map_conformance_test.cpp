// The map-host conformance suite against the GDAL/OGR host on the headless desktop.
#include "hosts/desktop/headless_desktop.hpp"
#include "hosts/gis/gis_host.hpp"
#include "hosts/gis/headless.hpp"
#include "tests/conformance/map_host_conformance.hpp"

namespace scribeline::conformance {
namespace {

class GisEnvironment final : public MapHostEnvironment {
public:
    GisEnvironment() : host_(std::make_shared<gis::GisHost>(desk_, gis::HeadlessOptions(desk_))) {}
    std::shared_ptr<IMapApplication> Application() override { return host_; }
    IDesktop& Desktop() override { return desk_; }
    void AddGroupLayer(const std::string& name,
                       const std::vector<std::shared_ptr<ILayer>>& members) override {
        auto group = std::make_shared<gis::GroupLayer>();
        group->SetName(name);
        for (const auto& m : members) {
            group->Add(m);
        }
        host_->FocusMapImpl().AddLayer(group);
    }
    void Select(const std::shared_ptr<IFeatureLayer>& layer,
                const std::vector<std::int64_t>& ids) override {
        std::dynamic_pointer_cast<gis::FeatureLayer>(layer)->Select(ids);
    }

private:
    desktop::HeadlessDesktop desk_{desktop::DesktopOptions{}};
    std::shared_ptr<gis::GisHost> host_;
};

INSTANTIATE_TEST_SUITE_P(
    Gdal, MapHostConformance,
    ::testing::Values(MapHostParam{
        "Gdal",
        [](const std::filesystem::path&) -> std::unique_ptr<MapHostEnvironment> {
            return std::make_unique<GisEnvironment>();
        }}),
    MapHostParamName());

} // namespace
} // namespace scribeline::conformance
