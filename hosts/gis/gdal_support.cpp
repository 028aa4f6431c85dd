#include "hosts/gis/gdal_support.hpp"

#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogr_feature.h>
#include <ogr_geometry.h>

#include <mutex>

namespace scribeline::gis {

namespace {

void CPL_STDCALL collect(CPLErr level, CPLErrorNum /*number*/, const char* message) {
    auto* saved = static_cast<std::string*>(CPLGetErrorHandlerUserData());
    if (saved != nullptr && level >= CE_Failure && message != nullptr) {
        *saved = message;
    }
}

} // namespace

void EnsureGdal() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

GdalErrorTrap::GdalErrorTrap() {
    CPLPushErrorHandlerEx(collect, &saved_);
}

GdalErrorTrap::~GdalErrorTrap() {
    CPLPopErrorHandler();
}

std::string GdalErrorTrap::LastError() const {
    return saved_;
}

void GdalErrorTrap::Fail(const std::string& operation, const std::string& reason) const {
    const std::string gdal = LastError();
    throw PortError(operation, gdal.empty() ? reason : reason + " (" + gdal + ")");
}

void DatasetCloser::operator()(GDALDataset* dataset) const {
    if (dataset != nullptr) {
        GDALClose(dataset);
    }
}

void FeatureDeleter::operator()(OGRFeature* feature) const {
    OGRFeature::DestroyFeature(feature);
}

void GeometryDeleter::operator()(OGRGeometry* geometry) const {
    delete geometry;
}

DatasetPtr OpenVector(const std::string& path, bool update) {
    EnsureGdal();
    const unsigned flags = GDAL_OF_VECTOR | (update ? GDAL_OF_UPDATE : GDAL_OF_READONLY);
    return DatasetPtr(GDALDataset::Open(path.c_str(), flags));
}

} // namespace scribeline::gis
