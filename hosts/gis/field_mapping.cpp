#include "hosts/gis/field_mapping.hpp"

#include "platform/numbers.hpp"

#include <ogr_feature.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace scribeline::gis {

namespace {

constexpr int kShortWidth = 6;
constexpr int kFloatWidth = 13;

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

[[noreturn]] void misfit(const Field& field, const std::string& why) {
    throw PortError("SetValue", "field \"" + field.name + "\": " + why);
}

std::int64_t parseInteger(const Field& field, const std::string& text) {
    const std::string t = trimmed(text);
    std::int64_t v = 0;
    const auto* end = t.data() + t.size();
    const auto [ptr, ec] = std::from_chars(t.data(), end, v);
    if (ec == std::errc() && ptr == end) {
        return v;
    }
    // "12.0" and the like are integers too.
    double d = 0.0;
    const auto [dptr, dec] = std::from_chars(t.data(), end, d);
    if (dec == std::errc() && dptr == end && std::isfinite(d) && d == std::floor(d)) {
        return static_cast<std::int64_t>(d);
    }
    misfit(field, "\"" + text + "\" is not an integer");
}

double parseReal(const Field& field, const std::string& text) {
    const std::string t = trimmed(text);
    double d = 0.0;
    const auto* end = t.data() + t.size();
    const auto [ptr, ec] = std::from_chars(t.data(), end, d);
    if (ec != std::errc() || ptr != end || !std::isfinite(d)) {
        misfit(field, "\"" + text + "\" is not a number");
    }
    return d;
}

std::string general(double d) {
    return FormatSignificant(d, 15);
}

bool validDate(const std::string& s, int& y, int& m, int& d) {
    if (s.size() != 10 || s[4] != '-' || s[7] != '-') {
        return false;
    }
    for (std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u}) {
        if (s[i] < '0' || s[i] > '9') {
            return false;
        }
    }
    y = std::stoi(s.substr(0, 4));
    m = std::stoi(s.substr(5, 2));
    d = std::stoi(s.substr(8, 2));
    static constexpr int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12 || d < 1 || d > days[m - 1]) {
        return false;
    }
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return !(m == 2 && d == 29 && !leap);
}

} // namespace

Field FieldFromOgr(const OGRFieldDefn& definition, bool dbase) {
    Field f;
    f.name = definition.GetNameRef();
    f.length = definition.GetWidth();
    f.precision = definition.GetWidth();
    f.scale = definition.GetPrecision();
    switch (definition.GetType()) {
    case OFTInteger:
    case OFTInteger64:
        if (dbase) {
            f.type = definition.GetWidth() > 0 && definition.GetWidth() <= kShortWidth
                         ? FieldType::SmallInteger
                         : FieldType::Integer;
        } else {
            f.type =
                definition.GetSubType() == OFSTInt16 ? FieldType::SmallInteger : FieldType::Integer;
        }
        break;
    case OFTReal:
        if (dbase) {
            f.type = definition.GetWidth() > 0 && definition.GetWidth() <= kFloatWidth
                         ? FieldType::Single
                         : FieldType::Double;
        } else {
            f.type = definition.GetSubType() == OFSTFloat32 ? FieldType::Single : FieldType::Double;
        }
        break;
    case OFTDate:
    case OFTDateTime:
        f.type = FieldType::Date;
        f.length = 8;
        break;
    case OFTBinary:
        f.type = FieldType::Blob;
        break;
    default:
        // Text, times and lists are shown and written as text.
        f.type = FieldType::String;
        break;
    }
    if (f.type == FieldType::String || f.type == FieldType::Date || f.type == FieldType::Blob) {
        f.precision = 0;
        f.scale = 0;
    } else {
        f.length = 0;
    }
    return f;
}

std::unique_ptr<OGRFieldDefn> OgrFieldFor(const Field& field, bool dbase) {
    const std::string& name = field.name;
    if (name.empty()) {
        throw PortError("CreateFeatureClass", "a field has no name");
    }
    if (dbase && name.size() > 10) {
        throw PortError("CreateFeatureClass", "the field name \"" + name +
                                                  "\" is longer than the 10 characters of a "
                                                  "shapefile");
    }
    auto make = [&](OGRFieldType type, OGRFieldSubType sub, int width, int decimals) {
        auto d = std::make_unique<OGRFieldDefn>(name.c_str(), type);
        d->SetSubType(sub);
        d->SetWidth(width);
        d->SetPrecision(decimals);
        return d;
    };
    const int p = field.precision;
    const int s = field.scale < 0 ? 0 : field.scale;
    switch (field.type) {
    case FieldType::SmallInteger:
        return dbase ? make(OFTInteger, OFSTNone, p >= 1 && p <= kShortWidth ? p : kShortWidth, 0)
                     : make(OFTInteger, OFSTInt16, 0, 0);
    case FieldType::Integer:
        return dbase ? make(OFTInteger, OFSTNone, p > kShortWidth && p <= 18 ? p : 11, 0)
                     : make(OFTInteger, OFSTNone, 0, 0);
    case FieldType::Single: {
        if (!dbase) {
            return make(OFTReal, OFSTFloat32, 0, 0);
        }
        const int width = p >= 1 && p <= kFloatWidth ? p : kFloatWidth;
        const int decimals = std::min(std::max(p > 0 ? s : 6, 1), width - 1);
        if (width < 2) {
            throw PortError("CreateFeatureClass",
                            "the float field \"" + name + "\" needs a precision of at least 2");
        }
        return make(OFTReal, OFSTNone, width, decimals);
    }
    case FieldType::Double: {
        if (!dbase) {
            return make(OFTReal, OFSTNone, 0, 0);
        }
        const int width = p > kFloatWidth && p <= 255 ? p : 19;
        int decimals = p > 0 ? s : 11;
        if (decimals == 0 && width < 19) {
            decimals = 1;
        }
        return make(OFTReal, OFSTNone, width, std::min(decimals, width - 2));
    }
    case FieldType::String: {
        const int length = field.length > 0 ? field.length : 50;
        if (dbase && length > 254) {
            throw PortError("CreateFeatureClass",
                            "the text field \"" + name + "\" is longer than 254 characters");
        }
        return make(OFTString, OFSTNone, length, 0);
    }
    case FieldType::Date:
        return make(OFTDate, OFSTNone, 0, 0);
    case FieldType::Blob:
        if (!dbase) {
            return make(OFTBinary, OFSTNone, 0, 0);
        }
        [[fallthrough]];
    default:
        throw PortError("CreateFeatureClass", "the field \"" + name + "\" has a type (" +
                                                  std::to_string(static_cast<int>(field.type)) +
                                                  ") this format cannot store");
    }
}

FieldValue Coerce(const Field& field, const FieldValue& value) {
    if (std::holds_alternative<std::monostate>(value)) {
        return value;
    }
    switch (field.type) {
    case FieldType::SmallInteger:
    case FieldType::Integer: {
        std::int64_t v = 0;
        if (const auto* i = std::get_if<std::int64_t>(&value)) {
            v = *i;
        } else if (const auto* d = std::get_if<double>(&value)) {
            if (!std::isfinite(*d)) {
                misfit(field, "not a finite number");
            }
            v = std::llround(*d);
        } else {
            const auto& text = std::get<std::string>(value);
            if (trimmed(text).empty()) {
                return std::monostate{};
            }
            v = parseInteger(field, text);
        }
        const bool small = field.type == FieldType::SmallInteger;
        const std::int64_t lo = small ? std::numeric_limits<std::int16_t>::min()
                                      : std::numeric_limits<std::int32_t>::min();
        const std::int64_t hi = small ? std::numeric_limits<std::int16_t>::max()
                                      : std::numeric_limits<std::int32_t>::max();
        if (v < lo || v > hi) {
            misfit(field, std::to_string(v) + " is out of range");
        }
        return v;
    }
    case FieldType::Single:
    case FieldType::Double: {
        if (const auto* i = std::get_if<std::int64_t>(&value)) {
            return static_cast<double>(*i);
        }
        if (const auto* real = std::get_if<double>(&value)) {
            if (!std::isfinite(*real)) {
                misfit(field, "not a finite number");
            }
            return *real;
        }
        const auto& text = std::get<std::string>(value);
        if (trimmed(text).empty()) {
            return std::monostate{};
        }
        return parseReal(field, text);
    }
    case FieldType::String: {
        std::string text;
        if (const auto* i = std::get_if<std::int64_t>(&value)) {
            text = std::to_string(*i);
        } else if (const auto* d = std::get_if<double>(&value)) {
            text = general(*d);
        } else {
            text = std::get<std::string>(value);
        }
        if (field.length > 0 && text.size() > static_cast<std::size_t>(field.length)) {
            misfit(field, "the text is longer than the field's " + std::to_string(field.length) +
                              " characters");
        }
        return text;
    }
    case FieldType::Date: {
        const auto* text = std::get_if<std::string>(&value);
        if (text == nullptr) {
            misfit(field, "a date is given as text YYYY-MM-DD");
        }
        const std::string t = trimmed(*text);
        if (t.empty()) {
            return std::monostate{};
        }
        int y = 0, m = 0, d = 0;
        if (!validDate(t, y, m, d)) {
            misfit(field, "\"" + *text + "\" is not a date YYYY-MM-DD");
        }
        return t;
    }
    default:
        misfit(field, "values of this field type cannot be set");
    }
}

FieldValue ReadValue(const OGRFeature& feature, int ogrIndex, const Field& field) {
    if (!feature.IsFieldSetAndNotNull(ogrIndex)) {
        return std::monostate{};
    }
    switch (field.type) {
    case FieldType::SmallInteger:
    case FieldType::Integer:
        return static_cast<std::int64_t>(feature.GetFieldAsInteger64(ogrIndex));
    case FieldType::Single:
    case FieldType::Double:
        return feature.GetFieldAsDouble(ogrIndex);
    case FieldType::Date: {
        int y = 0, m = 0, d = 0, hh = 0, mm = 0, tz = 0;
        float ss = 0.0F;
        if (!feature.GetFieldAsDateTime(ogrIndex, &y, &m, &d, &hh, &mm, &ss, &tz)) {
            return std::monostate{};
        }
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", y, m, d);
        return std::string(buffer);
    }
    case FieldType::Blob: {
        int size = 0;
        const GByte* bytes = feature.GetFieldAsBinary(ogrIndex, &size);
        return std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
    }
    default:
        return std::string(feature.GetFieldAsString(ogrIndex));
    }
}

void WriteValue(OGRFeature& feature, int ogrIndex, const FieldValue& value) {
    if (std::holds_alternative<std::monostate>(value)) {
        feature.SetFieldNull(ogrIndex);
    } else if (const auto* i = std::get_if<std::int64_t>(&value)) {
        feature.SetField(ogrIndex, static_cast<GIntBig>(*i));
    } else if (const auto* real = std::get_if<double>(&value)) {
        feature.SetField(ogrIndex, *real);
    } else {
        const auto& text = std::get<std::string>(value);
        const OGRFieldDefn* definition = feature.GetFieldDefnRef(ogrIndex);
        if (definition->GetType() == OFTDate || definition->GetType() == OFTDateTime) {
            int y = 0, m = 0, d = 0;
            if (validDate(text, y, m, d)) {
                feature.SetField(ogrIndex, y, m, d);
                return;
            }
        }
        if (definition->GetType() == OFTBinary) {
            feature.SetField(ogrIndex, static_cast<int>(text.size()),
                             reinterpret_cast<const GByte*>(text.data()));
            return;
        }
        feature.SetField(ogrIndex, text.c_str());
    }
}

} // namespace scribeline::gis
