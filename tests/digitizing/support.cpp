#include "tests/digitizing/run_fixture.hpp"

#include <gdal.h>
#include <ogrsf_frmts.h>

namespace scribeline::testing {

std::vector<StoredFeature> ReadShapefile(const std::filesystem::path& shp) {
    GDALAllRegister();
    std::vector<StoredFeature> out;
    auto* dataset = static_cast<GDALDataset*>(GDALOpenEx(
        shp.string().c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    if (dataset == nullptr) {
        ADD_FAILURE() << "OGR cannot open " << shp;
        return out;
    }
    OGRLayer* layer = dataset->GetLayer(0);
    layer->ResetReading();
    while (OGRFeature* feature = layer->GetNextFeature()) {
        StoredFeature f;
        if (const OGRGeometry* g = feature->GetGeometryRef()) {
            f.geometryType = OGRGeometryTypeToName(g->getGeometryType());
            f.hasZ = g->Is3D() != 0;
            const auto addCurve = [&](const OGRSimpleCurve& curve) {
                for (int i = 0; i < curve.getNumPoints(); ++i) {
                    f.points.push_back(MapPoint{curve.getX(i), curve.getY(i), curve.getZ(i)});
                }
            };
            switch (wkbFlatten(g->getGeometryType())) {
            case wkbPoint: {
                const auto* p = g->toPoint();
                f.points.push_back(MapPoint{p->getX(), p->getY(), p->getZ()});
                break;
            }
            case wkbLineString:
                addCurve(*g->toLineString());
                break;
            case wkbPolygon:
                for (const auto* ring : *g->toPolygon()) {
                    addCurve(*ring);
                }
                break;
            default:
                break;
            }
        }
        for (int i = 0; i < feature->GetFieldCount(); ++i) {
            f.fields.push_back(feature->IsFieldSetAndNotNull(i) ? feature->GetFieldAsString(i)
                                                                : "<null>");
        }
        out.push_back(std::move(f));
        OGRFeature::DestroyFeature(feature);
    }
    GDALClose(dataset);
    return out;
}

} // namespace scribeline::testing
