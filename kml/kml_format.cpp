#include "kml/kml_format.hpp"

#include <stdexcept>

namespace scribeline {

std::string FormatKmlNumber(double value) {
    return FormatGeneralNumber(value, '.');
}

void AppendKmlTuple(std::string& out, double x, double y, double z) {
    AppendGeneralNumber(out, x, '.');
    out += ',';
    AppendGeneralNumber(out, y, '.');
    out += ',';
    AppendGeneralNumber(out, z, '.');
}

std::string_view KmlAltitudeModeName(int cameraAltitudeMode) {
    switch (cameraAltitudeMode) {
    case 0:
        return "clampToGround";
    case 2:
        return "absolute";
    case 1:
    case 3:
    case 4:
    case 5:
        return "relativeToGround";
    default:
        throw std::out_of_range("camera altitude mode " + std::to_string(cameraAltitudeMode) +
                                " is outside 0..5");
    }
}

std::string BuildLookAt(const ICameraInfoGE& camera) {
    // The mode is checked first so that a bad camera produces no partial work.
    const std::string_view modeName = KmlAltitudeModeName(camera.FocusPointAltitudeMode);
    std::string out = "  <LookAt>";
    auto element = [&out](std::string_view tag, const std::string& value) {
        out += '<';
        out += tag;
        out += '>';
        out += value;
        out += "</";
        out += tag;
        out += '>';
    };
    element("longitude", FormatKmlNumber(camera.FocusPointLongitude));
    element("latitude", FormatKmlNumber(camera.FocusPointLatitude));
    element("altitude", FormatKmlNumber(camera.FocusPointAltitude));
    element("range", FormatKmlNumber(camera.Range));
    // KML tilts run from 0; a camera below the horizon line is written level.
    element("tilt", camera.Tilt < 0.0 ? std::string("0") : FormatKmlNumber(camera.Tilt));
    element("heading", FormatKmlNumber(camera.Azimuth));
    element("altitudeMode", std::string(modeName));
    out += "</LookAt>";
    return out;
}

} // namespace scribeline
