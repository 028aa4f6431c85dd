// The plain rules of the digitizing run: what a terrain answer, a click position, a typed
// record rate and a field definition turn into.
#include "digitizing/basDigitizing.hpp"

#include "platform/numbers.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace scribeline::digitizing {

bool AcceptTerrainPoint(const IPointOnTerrainGE& point) {
    return point.HitGround && std::isfinite(point.Latitude) && std::isfinite(point.Longitude) &&
           std::isfinite(point.Altitude) && point.Latitude >= -90.0 && point.Latitude <= 90.0 &&
           point.Longitude >= -180.0 && point.Longitude <= 180.0;
}

bool InNavigationZone(Point client, int width) {
    const auto inDisc = [&](int cx, int cy, int squaredRadius) {
        const int dx = client.x - cx;
        const int dy = client.y - cy;
        return dx * dx + dy * dy <= squaredRadius;
    };
    const auto inBand = [&](int top, int bottom) {
        return client.x > width - 52 && client.x < width - 35 && client.y > top &&
               client.y < bottom;
    };
    return inDisc(width - 43, 49, 1600) || inDisc(width - 43, 129, 625) || inBand(186, 206) ||
           inBand(254, 264) || inBand(309, 329);
}

ViewPosition NormalisedPosition(Point client, Size render) {
    if (render.width <= 0 || render.height <= 0) {
        return {};
    }
    const double w = render.width;
    const double h = render.height;
    return {2.0 * (client.x - w / 2.0) / w, 2.0 * (h / 2.0 - client.y) / h};
}

int RecordRate(const std::string& text) {
    // The box takes digits only, but it may be empty or hold 0; a rate below one point per
    // second would make no tick at all (or divide by zero), so it counts as 1.
    const NumberPrefix number = ParseNumberPrefix(text);
    const double value = number.value;
    if (number.length == 0 || !std::isfinite(value)) {
        return 1;
    }
    const double rounded = std::nearbyint(value);
    if (rounded < 1.0) {
        return 1;
    }
    return rounded > 1000.0 ? 1000 : static_cast<int>(rounded);
}

int TickInterval(const std::string& runKey, int recordRate) {
    if (runKey == "start") {
        return kClickTickMs;
    }
    const int rate = recordRate < 1 ? 1 : recordRate;
    return static_cast<int>(std::lround(1000.0 / rate));
}

Field FieldOfUserDefinedField(const UserDefinedField& field) {
    static constexpr FieldType kTypes[] = {FieldType::SmallInteger, FieldType::Integer,
                                           FieldType::Single,       FieldType::Double,
                                           FieldType::String,       FieldType::Date};
    Field out;
    out.name = field.name;
    const int index = field.typeIndex >= 0 && field.typeIndex <= 5 ? field.typeIndex : 4;
    out.type = kTypes[index];
    const int length = std::atoi(field.lengthText.c_str());
    if (out.type == FieldType::String) {
        out.length = length > 0 ? length : 50;
    } else if (out.type != FieldType::Date && length > 0) {
        // For numbers the dialog's length is their width.
        out.precision = length;
        out.length = length;
    }
    return out;
}

GeometryType ShapeTypeOfKind(int geometryKind) {
    switch (geometryKind) {
    case 0:
        return GeometryType::Point;
    case 2:
        return GeometryType::Polygon;
    default:
        return GeometryType::Polyline;
    }
}

Fields NewLayerFields(const std::string& runKey, GeometryType shapeType, bool hasZ,
                      const std::vector<UserDefinedField>& userDefined) {
    Fields fields;
    Field shape;
    shape.name = "Shape";
    shape.type = FieldType::Geometry;
    shape.geometryDef = GeometryDef{shapeType, hasZ, nullptr};
    fields.AddField(shape);
    const auto text = [](const char* name, int length) {
        Field f;
        f.name = name;
        f.type = FieldType::String;
        f.length = length;
        return f;
    };
    if (runKey == "contour" || runKey == "dem") {
        fields.AddField(text("_Name", 20));
        Field altitude;
        altitude.name = "_Altitude";
        altitude.type = FieldType::Single;
        altitude.precision = 8;
        altitude.scale = 3;
        fields.AddField(altitude);
    } else if (userDefined.empty()) {
        fields.AddField(text("_Name", 20));
        fields.AddField(text("_Descrip", 50));
    } else {
        for (const auto& field : userDefined) {
            fields.AddField(FieldOfUserDefinedField(field));
        }
    }
    return fields;
}

std::string FormatMeasure(double value) {
    return FormatSignificant(value, 15);
}

} // namespace scribeline::digitizing
