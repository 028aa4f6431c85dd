// The keys of the digitizer's toolbar buttons, by name, so that a misspelt key does not
// compile. The same words are the run keys (WindowState::runKey: "start" and "record" for a
// digitizing run, "dem" and "contour" for a terrain command) and what a session's "toolbar"
// step names. Image keys of the lamps are here too.
#pragma once

namespace scribeline::toolbar_keys {

inline constexpr char kSetGEView[] = "setgeview";
inline constexpr char kSetArcView[] = "setarcview";
inline constexpr char kStart[] = "start";
inline constexpr char kRecord[] = "record";
inline constexpr char kFinishFeature[] = "finishfeature";
inline constexpr char kPause[] = "pause";
inline constexpr char kFinishLayer[] = "finishlayer";
inline constexpr char kExport[] = "export";
inline constexpr char kDem[] = "dem";
inline constexpr char kContour[] = "contour";
inline constexpr char kAbort[] = "abort";

// Images of the toolbar that belong to no button: the dark phase of a blinking lamp and the
// start button while a run starts.
inline constexpr char kImageNothing[] = "nothing";
inline constexpr char kImageStarting[] = "starting";

} // namespace scribeline::toolbar_keys
