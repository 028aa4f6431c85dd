#include "hosts/gis/spatial_reference.hpp"

#include "hosts/gis/gdal_support.hpp"

#include <cpl_conv.h>
#include <ogr_spatialref.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace scribeline::gis {

namespace {

std::unique_ptr<OGRSpatialReference> traditional(std::unique_ptr<OGRSpatialReference> srs) {
    srs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

// The first quoted name of a WKT text: the coordinate system's own name.
std::string firstQuoted(const std::string& wkt) {
    const auto open = wkt.find('"');
    if (open == std::string::npos) {
        return {};
    }
    const auto close = wkt.find('"', open + 1);
    return close == std::string::npos ? std::string{} : wkt.substr(open + 1, close - open - 1);
}

bool near(double a, double b) {
    return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b));
}

} // namespace

SpatialReference::SpatialReference() : srs_(traditional(std::make_unique<OGRSpatialReference>())) {}

SpatialReference::SpatialReference(const OGRSpatialReference& srs)
    : srs_(traditional(std::make_unique<OGRSpatialReference>(srs))) {}

SpatialReference::~SpatialReference() = default;

std::shared_ptr<SpatialReference> SpatialReference::FromEpsg(int code) {
    EnsureGdal();
    GdalErrorTrap trap;
    OGRSpatialReference srs;
    if (code <= 0 || srs.importFromEPSG(code) != OGRERR_NONE) {
        trap.Fail("SpatialReference", "no coordinate system with the code " + std::to_string(code));
    }
    auto result = std::make_shared<SpatialReference>(srs);
    result->code_ = code;
    return result;
}

std::shared_ptr<SpatialReference> SpatialReference::FromUserInput(const std::string& definition) {
    EnsureGdal();
    GdalErrorTrap trap;
    OGRSpatialReference srs;
    if (definition.empty() || srs.SetFromUserInput(definition.c_str()) != OGRERR_NONE) {
        trap.Fail("SpatialReference", "cannot read the coordinate system \"" + definition + "\"");
    }
    return std::make_shared<SpatialReference>(srs);
}

bool SpatialReference::IsUnknown() const {
    return srs_->IsEmpty();
}

bool SpatialReference::IsGeographic() const {
    return !IsUnknown() && srs_->IsGeographic();
}

bool SpatialReference::IsProjected() const {
    return !IsUnknown() && srs_->IsProjected();
}

std::string SpatialReference::EsriWkt() const {
    if (IsUnknown()) {
        return {};
    }
    GdalErrorTrap trap;
    char* wkt = nullptr;
    const char* const options[] = {"FORMAT=WKT1_ESRI", nullptr};
    std::string text;
    if (srs_->exportToWkt(&wkt, options) == OGRERR_NONE && wkt != nullptr) {
        text = wkt;
    }
    CPLFree(wkt);
    return text;
}

std::string SpatialReference::Definition() const {
    if (IsUnknown()) {
        return {};
    }
    if (const int code = FactoryCode(); code > 0) {
        // Only when the code gives back the same system; a customised one keeps its WKT.
        OGRSpatialReference fromCode;
        if (fromCode.importFromEPSG(code) == OGRERR_NONE) {
            fromCode.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
            SpatialReference probe(fromCode);
            if (probe.IsEqual(*this)) {
                return "EPSG:" + std::to_string(code);
            }
        }
    }
    char* wkt = nullptr;
    const char* const options[] = {"FORMAT=WKT2_2019", nullptr};
    std::string text;
    if (srs_->exportToWkt(&wkt, options) == OGRERR_NONE && wkt != nullptr) {
        text = wkt;
    }
    CPLFree(wkt);
    return text;
}

std::string SpatialReference::Name() const {
    if (IsUnknown()) {
        return "Unknown";
    }
    if (!name_) {
        // The names the host family uses are those of the ESRI WKT ("GCS_WGS_1984").
        std::string name = firstQuoted(EsriWkt());
        if (name.empty() && srs_->GetName() != nullptr) {
            name = srs_->GetName();
        }
        name_ = name.empty() ? std::string("Unknown") : name;
    }
    return *name_;
}

int SpatialReference::FactoryCode() const {
    if (IsUnknown()) {
        return 0;
    }
    if (!code_) {
        code_ = 0;
        const char* authority = srs_->GetAuthorityName(nullptr);
        const char* code = srs_->GetAuthorityCode(nullptr);
        if (authority != nullptr && code != nullptr && std::strcmp(authority, "EPSG") == 0) {
            code_ = std::atoi(code);
        } else {
            GdalErrorTrap trap;
            OGRSpatialReference* match = srs_->FindBestMatch(90, "EPSG");
            if (match != nullptr) {
                const char* matched = match->GetAuthorityCode(nullptr);
                code_ = matched != nullptr ? std::atoi(matched) : 0;
                delete match;
            }
        }
    }
    return *code_;
}

bool SpatialReference::IsEqual(const ISpatialReference& other) const {
    const SpatialReference* theirs = From(other);
    if (theirs == nullptr) {
        return Name() == other.Name() && FactoryCode() == other.FactoryCode();
    }
    if (IsUnknown() || theirs->IsUnknown()) {
        return IsUnknown() && theirs->IsUnknown();
    }
    const char* const options[] = {"IGNORE_DATA_AXIS_TO_SRS_AXIS_MAPPING=YES",
                                   "CRITERION=EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS", nullptr};
    return srs_->IsSame(theirs->srs_.get(), options) != 0;
}

void SpatialReference::SetFalseOriginAndUnits(double falseX, double falseY, double xyUnits) {
    if (!std::isfinite(falseX) || !std::isfinite(falseY) || !std::isfinite(xyUnits) ||
        xyUnits <= 0.0) {
        throw PortError("SetFalseOriginAndUnits",
                        "the origin must be finite and the units per map unit positive");
    }
    domain_ = XYDomain{falseX, falseY, xyUnits};
}

int SpatialReference::UnitCode() const {
    if (IsUnknown()) {
        return 0;
    }
    if (srs_->IsGeographic()) {
        return near(srs_->GetAngularUnits(), 0.0174532925199433) ? 11 : 0;
    }
    const double metres = srs_->GetLinearUnits();
    struct Unit {
        double metres;
        int code;
    };
    static constexpr Unit units[] = {
        {0.0254, 1},  {0.3048, 3},   {0.3048006096012192, 3},
        {0.9144, 4},  {1609.344, 5}, {1852.0, 6},
        {0.001, 7},   {0.01, 8},     {1.0, 9},
        {1000.0, 10}, {0.1, 12},     {0.9144018288036576, 4},
    };
    for (const auto& unit : units) {
        if (near(metres, unit.metres)) {
            return unit.code;
        }
    }
    return 0;
}

const OGRSpatialReference& SpatialReference::Ogr() const {
    return *srs_;
}

const SpatialReference* SpatialReference::From(const ISpatialReference& reference) {
    return dynamic_cast<const SpatialReference*>(&reference);
}

std::shared_ptr<SpatialReference> SpatialReference::Share(const ISpatialReference& reference) {
    if (const auto* ours = From(reference)) {
        if (auto shared =
                std::const_pointer_cast<SpatialReference>(ours->weak_from_this().lock())) {
            return shared;
        }
        auto copy = std::make_shared<SpatialReference>(*ours->srs_);
        copy->domain_ = ours->domain_;
        return copy;
    }
    // Another host's reference: rebuild it from its code, the only portable description.
    if (reference.Name() == "Unknown" || reference.FactoryCode() <= 0) {
        if (reference.Name() != "Unknown") {
            throw PortError("SpatialReference",
                            "the reference \"" + reference.Name() + "\" has no EPSG code");
        }
        return std::make_shared<SpatialReference>();
    }
    return FromEpsg(reference.FactoryCode());
}

std::shared_ptr<ISpatialReference>
SpatialReferenceFactory::CreateGeographicCoordinateSystem(int code) {
    auto reference = SpatialReference::FromEpsg(code);
    if (!reference->IsGeographic()) {
        throw PortError("CreateGeographicCoordinateSystem",
                        "EPSG:" + std::to_string(code) + " is not a geographic coordinate system");
    }
    return reference;
}

std::shared_ptr<ISpatialReference>
SpatialReferenceFactory::CreateProjectedCoordinateSystem(int code) {
    auto reference = SpatialReference::FromEpsg(code);
    if (!reference->IsProjected()) {
        throw PortError("CreateProjectedCoordinateSystem",
                        "EPSG:" + std::to_string(code) + " is not a projected coordinate system");
    }
    return reference;
}

std::shared_ptr<ISpatialReference> SpatialReferenceFactory::CreateUnknownCoordinateSystem() {
    return std::make_shared<SpatialReference>();
}

} // namespace scribeline::gis
