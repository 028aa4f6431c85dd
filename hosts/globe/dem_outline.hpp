// The outline of every user DEM on a picture of the globe, so a person sees where their own
// terrain ends and the base Earth takes over. Kept apart from the renderers so that each of
// them draws the same outline.
#pragma once

#include "hosts/globe/camera.hpp"
#include "hosts/globe/render.hpp"
#include "hosts/globe/terrain.hpp"

namespace scribeline::globe {

// The colour of the outlines: a magenta no terrain colour ramp uses.
inline constexpr std::uint8_t kDemOutlineRgb[3] = {255, 0, 200};

// Draws the surface model's DEM outlines (ElevationModel::Outlines) as seen by `pose` on
// `image`, following the ground; parts behind the eye are left out. Nothing for a surface
// without a model or without user DEMs.
void DrawDemOutlines(Image& image, const CameraPose& pose, const TerrainSurface& surface);

} // namespace scribeline::globe
