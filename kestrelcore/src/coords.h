// The coordinate text of KC_AddFeatureInShapeFile: trimming and parsing.
#pragma once

#include <array>
#include <cstddef>

namespace kc {

constexpr int kMaxValues = 1000;   // values parsed from one text
constexpr int kMaxVertices = 1000; // vertices of one feature

// Trims the text in place.
void trimCoordinateText(char* text);

struct ParsedValues {
    std::array<double, kMaxValues> values{};
    int count = 0;     // values stored, at most kMaxValues (the rest of the text is ignored)
    int dimension = 0; // values per vertex, read from the first vertex
};

// Parses a trimmed text, stopping after kMaxValues values.
void parseCoordinateText(const char* text, ParsedValues& out);

struct Vertices {
    std::array<double, kMaxVertices> x{}, y{}, z{};
    int count = 0;
};

// Forms the vertices. A vertex needs X and Y (and Z for a
// dimension of 3) and all of its dimension's values: an incomplete last vertex is dropped.
void formVertices(const ParsedValues& values, Vertices& out);

} // namespace kc
