// Number formatting for the library's texts: byte-identical to the C library's printf in
// the "C" locale ("%.8f", "%f", "%d"), whatever the process locale.
#pragma once

#include <cstddef>
#include <string>

namespace kc {

// Longest text formatFixed may write ("%.8f" of -DBL_MAX plus margin).
constexpr std::size_t kMaxFixedChars = 330;

// Writes printf("%.<decimals>f", v) (decimals 6 or 8) at out; returns the end (no
// terminator). out must hold kMaxFixedChars bytes.
char* formatFixed(char* out, double v, int decimals);
char* formatFixed8(char* out, double v);
char* formatInt(char* out, long long v);

void appendFixed8(std::string& s, double v);
void appendFixed6(std::string& s, double v);
void appendInt(std::string& s, long long v);
// printf("%10d") of v.
void appendInt10(std::string& s, int v);

} // namespace kc
