// The pieces every KML writer of Scribeline shares: the number format (FormatGeneralNumber
// lives in platform/numbers.hpp), coordinate tuples, the
// LookAt element, the namespace URIs and the file error. The functions are pure text work:
// no globe, no files, no locale (the output is the same whatever the process or C locale is).
#pragma once

#include "command/globe_port.hpp"
#include "platform/numbers.hpp"

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace scribeline {

// Namespace URIs of the KML versions the writers produce, as published.
inline constexpr std::string_view kKmlNamespace20 = "http://earth.google.com/kml/2.0";
inline constexpr std::string_view kKmlNamespace21 = "http://earth.google.com/kml/2.1";
inline constexpr std::string_view kKmlNamespace22 = "http://www.opengis.net/kml/2.2";

// KML text is assembled with CR LF line ends.
inline constexpr std::string_view kKmlLineEnd = "\r\n";

// The first line of every KML document (without its line end).
inline constexpr std::string_view kKmlXmlDeclaration = R"(<?xml version="1.0" encoding="UTF-8"?>)";

// A number as KML writes it: FormatGeneralNumber with "." whatever the locale.
[[nodiscard]] std::string FormatKmlNumber(double value);

// Appends the tuple x,y,z (each by FormatKmlNumber, no spaces) to `out`.
void AppendKmlTuple(std::string& out, double x, double y, double z);

// The name written for a camera altitude mode: 0 "clampToGround", 2 "absolute", 1 and 3 to 5
// "relativeToGround". Raises std::out_of_range for any other value.
[[nodiscard]] std::string_view KmlAltitudeModeName(int cameraAltitudeMode);

// The LookAt element of a camera as one line without a line end, beginning with two spaces:
// longitude, latitude, altitude, range, tilt (a negative tilt is written as 0), heading (the
// azimuth) and the altitude mode name. Raises std::out_of_range when the camera's altitude
// mode is outside 0..5, std::domain_error for a non-finite number.
[[nodiscard]] std::string BuildLookAt(const ICameraInfoGE& camera);

// A KML file could not be created or written.
class KmlFileError : public std::runtime_error {
public:
    explicit KmlFileError(const std::filesystem::path& path)
        : std::runtime_error("cannot write the KML file " + path.string()) {}
};

} // namespace scribeline
