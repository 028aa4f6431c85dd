// Project files: the map as JSON (see docs/project-file.md), and the embedded default map.
#include "hosts/gis/gis_host.hpp"

#include <nlohmann/json.hpp>

#include <fstream>
#include <system_error>

namespace scribeline::gis {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

constexpr int kFormatVersion = 1;

[[noreturn]] void bad(const std::string& what) {
    throw PortError("LoadProject", what);
}

fs::path resolve(const fs::path& base, const std::string& stored) {
    const fs::path p(stored);
    return p.is_absolute() ? p : (base / p).lexically_normal();
}

std::string relativeTo(const fs::path& base, const fs::path& path) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    const fs::path relative = absolute.lexically_relative(fs::absolute(base, ec));
    if (!relative.empty() && *relative.begin() != "..") {
        return relative.generic_string();
    }
    return absolute.generic_string();
}

std::shared_ptr<ILayer> readLayer(GisHost& host, const json& j, const fs::path& base) {
    if (!j.is_object()) {
        bad("a layer entry is not an object");
    }
    const std::string type = j.value("type", "feature");
    const std::string name = j.value("name", "");
    const bool visible = j.value("visible", true);
    if (type == "group") {
        auto group = std::make_shared<GroupLayer>();
        group->SetName(name);
        group->SetVisible(visible);
        for (const auto& member : j.value("layers", json::array())) {
            group->Add(readLayer(host, member, base));
        }
        return group;
    }
    if (!j.contains("path") || !j["path"].is_string()) {
        bad("the layer \"" + name + "\" has no path");
    }
    const fs::path path = resolve(base, j["path"].get<std::string>());
    if (type == "raster") {
        auto raster = std::make_shared<RasterLayer>(path);
        if (!name.empty()) {
            raster->SetName(name);
        }
        raster->SetVisible(visible);
        return raster;
    }
    if (type != "feature") {
        bad("the layer \"" + name + "\" has an unknown type \"" + type + "\"");
    }
    auto layer = host.OpenFeatureLayer(path, j.value("layer", ""));
    if (!name.empty()) {
        layer->SetName(name);
    }
    layer->SetVisible(visible);
    layer->SetDefinitionExpression(j.value("definitionQuery", ""));
    if (j.contains("featureType")) {
        layer->Class()->SetFeatureType(j["featureType"].get<int>());
    }
    if (j.contains("selection")) {
        layer->Select(j["selection"].get<std::vector<std::int64_t>>());
    }
    return layer;
}

json writeLayer(const std::shared_ptr<ILayer>& layer, const fs::path& base) {
    json j;
    j["name"] = layer->Name();
    j["visible"] = IsVisible(*layer);
    if (auto group = std::dynamic_pointer_cast<IGroupLayer>(layer)) {
        j["type"] = "group";
        j["layers"] = json::array();
        for (const auto& member : group->Layers()) {
            j["layers"].push_back(writeLayer(member, base));
        }
    } else if (auto feature = std::dynamic_pointer_cast<FeatureLayer>(layer)) {
        j["type"] = "feature";
        auto fc = feature->Class();
        if (!fc) {
            throw PortError("SaveProject", "the layer \"" + layer->Name() + "\" has no data");
        }
        j["path"] = relativeTo(base, fc->Path());
        if (fc->Kind() != StoreKind::Shapefile) {
            j["layer"] = fc->LayerName();
        }
        if (!feature->DefinitionExpression().empty()) {
            j["definitionQuery"] = feature->DefinitionExpression();
        }
        if (fc->FeatureType() != kFeatureTypeSimple) {
            j["featureType"] = fc->FeatureType();
        }
        if (!feature->SelectedIds().empty()) {
            j["selection"] = feature->SelectedIds();
        }
    } else if (auto raster = std::dynamic_pointer_cast<RasterLayer>(layer)) {
        j["type"] = "raster";
        j["path"] = relativeTo(base, raster->Path());
    } else {
        throw PortError("SaveProject", "the layer \"" + layer->Name() + "\" is not of this host");
    }
    return j;
}

} // namespace

void GisHost::LoadProject(const fs::path& file) {
    std::ifstream in(file);
    if (!in) {
        bad("cannot open " + file.string());
    }
    json project;
    try {
        project = json::parse(in);
    } catch (const json::exception& e) {
        bad(file.string() + " is not JSON: " + e.what());
    }
    const fs::path base = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    std::vector<std::shared_ptr<ILayer>> layers;
    std::shared_ptr<ISpatialReference> reference;
    std::optional<Envelope> extent;
    std::optional<int> distanceUnits;
    std::string mapName = "Layers";
    bool layout = false;
    try {
        if (!project.is_object() || project.value("scribelineProject", 0) != kFormatVersion) {
            bad(file.string() + " is not a project file of version " +
                std::to_string(kFormatVersion));
        }
        const json& map = project.at("map");
        mapName = map.value("name", mapName);
        for (const auto& entry : map.value("layers", json::array())) {
            layers.push_back(readLayer(*this, entry, base));
        }
        if (map.contains("spatialReference") && !map["spatialReference"].is_null()) {
            reference = SpatialReference::FromUserInput(map["spatialReference"].get<std::string>());
        }
        if (map.contains("extent")) {
            const json& e = map["extent"];
            extent = Envelope{e.at("xmin").get<double>(), e.at("ymin").get<double>(),
                              e.at("xmax").get<double>(), e.at("ymax").get<double>()};
        }
        if (map.contains("distanceUnits")) {
            distanceUnits = map["distanceUnits"].get<int>();
        }
        layout = project.value("activeView", "data") == "layout";
    } catch (const json::exception& e) {
        bad(file.string() + ": " + e.what());
    }

    // Everything is read: now the map changes, in one go.
    auto& focus = FocusMapImpl();
    clearMap();
    focus.SetName(mapName);
    focus.SetSpatialReference(reference);
    if (distanceUnits) {
        focus.SetDistanceUnits(*distanceUnits);
    }
    for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
        focus.AddLayer(*it); // the file lists the top layer first
    }
    if (extent) {
        DataView().SetExtent(*extent);
    } else if (const auto full = focus.FullExtent()) {
        DataView().SetExtent(*full);
    }
    document_->SetPageLayoutActive(layout);
}

void GisHost::SaveProject(const fs::path& file) {
    const fs::path base = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    auto& focus = FocusMapImpl();
    json map;
    map["name"] = focus.Name();
    json layers = json::array();
    for (int i = 0; i < focus.LayerCount(); ++i) {
        layers.push_back(writeLayer(focus.Layer(i), base));
    }
    map["layers"] = layers;
    auto reference = focus.SpatialReference();
    map["spatialReference"] =
        reference ? json(SpatialReference::Share(*reference)->Definition()) : json(nullptr);
    if (focus.ExplicitDistanceUnits()) {
        map["distanceUnits"] = *focus.ExplicitDistanceUnits();
    }
    const Envelope e = DataView().Extent();
    map["extent"] = {{"xmin", e.XMin}, {"ymin", e.YMin}, {"xmax", e.XMax}, {"ymax", e.YMax}};
    json project;
    project["scribelineProject"] = kFormatVersion;
    project["map"] = map;
    project["activeView"] = document_->ActiveViewIsPageLayout() ? "layout" : "data";
    WriteFileAtomically(file, project.dump(2) + "\n");
}

void GisHost::LoadDefaultMap(const fs::path& sessionFolder, const fs::path& source) {
    std::error_code ec;
    fs::create_directories(sessionFolder, ec);
    const fs::path copy = sessionFolder / source.filename();
    if (!fs::exists(copy, ec)) {
        fs::path partial = copy;
        partial += ".part";
        fs::copy_file(source, partial, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            throw PortError("LoadDefaultMap",
                            "cannot copy " + source.string() + ": " + ec.message());
        }
        // The installed file is read-only; the session's copy must take edits.
        fs::permissions(partial, fs::perms::owner_read | fs::perms::owner_write,
                        fs::perm_options::add, ec);
        fs::rename(partial, copy, ec);
        if (ec) {
            throw PortError("LoadDefaultMap",
                            "cannot place " + copy.string() + ": " + ec.message());
        }
    }
    auto ws = registry_.DataSource(copy);
    auto group = std::make_shared<GroupLayer>();
    group->SetName("Natural Earth");
    // Lines over areas, the finer areas over the coarser.
    for (const char* name : {"disputed_borders", "states_provinces", "countries"}) {
        auto layer = std::make_shared<FeatureLayer>();
        layer->SetFeatureClass(ws->Class(name));
        layer->SetName(name);
        group->Add(layer);
    }
    auto& focus = FocusMapImpl();
    clearMap();
    focus.SetName("Layers");
    focus.SetSpatialReference(SpatialReference::FromEpsg(4326));
    focus.AddLayer(group);
    DataView().SetExtent(Envelope{-180.0, -90.0, 180.0, 90.0});
    document_->SetPageLayoutActive(false);
}

} // namespace scribeline::gis
