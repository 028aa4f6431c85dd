// The desktop app's own icons, drawn as SVG in this folder's code (no image files to ship).
#pragma once

#include <QIcon>
#include <QPixmap>

#include <string>
#include <vector>

namespace scribeline::frontend {

// The icon for a key (the map tool bar's tools, the Scribeline command); a grey question mark
// for a key without one.
QIcon Icon(const std::string& key);
// The icon as a picture of `size` pixels square.
QPixmap IconPixmap(const std::string& key, int size);
// Every key with an icon of its own.
std::vector<std::string> IconKeys();

} // namespace scribeline::frontend
