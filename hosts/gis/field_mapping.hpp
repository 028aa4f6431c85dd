// Attribute fields between the host's field model and OGR. Internal.
//
// Shapefiles (dBASE) know only character, numeric, float, date and logical columns, so the
// host types are told apart by the column width they are written with:
//   Short Integer  N(w,0), w = precision when 1..6, else 6; read back: integer, width <= 6
//   Long Integer   N(w,0), w = precision when 7..18, else 11; read back: integer, width > 6
//   Float          N(w,d), w = precision when 2..13, else 13; d = scale (6 without a
//                  precision), at least 1 (a column without decimals would read back as an
//                  integer); read back: real, width <= 13
//   Double         N(w,d), w = precision when 14..255, else 19; d = scale, or 11 by default;
//                  at least 1 below width 19; read back: real, width > 13
//   Text           C(length), 50 when no length is given, at most 254 bytes
//   Date           D(8)
// Numeric fields are sized by precision and scale; their length is not used, as in the host.
// Other formats keep the types themselves (16-bit and 32-bit float subtypes).
#pragma once

#include "command/map_port.hpp"

#include <memory>

class OGRFeature;
class OGRFieldDefn;

namespace scribeline::gis {

// The host field of an OGR field. `dbase`: the column comes from a dBASE table.
Field FieldFromOgr(const OGRFieldDefn& definition, bool dbase);

// The OGR field to create for a host field; raises PortError for a field the format cannot
// hold (blobs and rasters in a shapefile, names too long, text too long).
std::unique_ptr<OGRFieldDefn> OgrFieldFor(const Field& field, bool dbase);

// Checks a value against a field and gives it its stored form: integers for integer fields,
// doubles for floats, text (dates as "YYYY-MM-DD") for text and date fields; empty stays null.
// Raises PortError("SetValue", ...) when the value does not fit.
FieldValue Coerce(const Field& field, const FieldValue& value);

// Reads attribute `ogrIndex` of a feature as the host field `field` holds it.
FieldValue ReadValue(const OGRFeature& feature, int ogrIndex, const Field& field);

// Writes a coerced value into attribute `ogrIndex`.
void WriteValue(OGRFeature& feature, int ogrIndex, const FieldValue& value);

} // namespace scribeline::gis
