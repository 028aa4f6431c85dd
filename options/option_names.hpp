// The names of the options menu's items, so that a misspelt setting does not compile. Other
// subsystems read a setting through frmOptionsContextMenu::Checked(name).
#pragma once

namespace scribeline::option_names {

inline constexpr char kUseGradientColor2GEContours[] = "UseGradientColor2GEContours";
inline constexpr char kSaveDataIn3D[] = "saveDataIn3D";
inline constexpr char kFeatureProperties[] = "FeatureProperties";
inline constexpr char kEditFeatureProperties[] = "EditFeatureProperties";
inline constexpr char kSetDefaultProperyValuesFromLastFeature[] =
    "SetDefaultProperyValuesFromLastFeature";
inline constexpr char kTrack[] = "track";
inline constexpr char kUsingKmlFile[] = "usingKmlFile";
inline constexpr char kMeasureTrack[] = "MeasureTrack";
inline constexpr char kRubberTrack[] = "RubberTrack";
inline constexpr char kDisplyCursorInArcMap[] = "DisplyCursorInArcMap";
inline constexpr char kViewRefreshDelay[] = "ViewRefreshDelay";
inline constexpr char kViewRefreshDelayIncrease[] = "ViewRefreshDelayIncrease";
inline constexpr char kViewRefreshDelayDecrease[] = "ViewRefreshDelayDecrease";
inline constexpr char kNavZoneEnabled[] = "NavZoneEnabled";
inline constexpr char kSaveAltitude2TableField[] = "SaveAltitude2TableField";
inline constexpr char kJointDEMPoints[] = "jointDEMPoints";
inline constexpr char kJointDEMPoints2Grid[] = "jointDEMPoints2Grid";
inline constexpr char kJointDEMPoints2Mesh[] = "jointDEMPoints2Mesh";
inline constexpr char kAdjustGERenderViewWhenContouring[] = "AdjustGERenderViewWhenContouring";
inline constexpr char kAllowToSquareGERenderViewWhenContouring[] =
    "AllowToSquareGERenderViewWhenContouring";
inline constexpr char kRecoverGERenderViewAfterContouring[] = "RecoverGERenderViewAfterContouring";
inline constexpr char kPreviewDEMGrids[] = "previewDEMGrids";
inline constexpr char kPreviewDEMGridsInGE[] = "previewDEMGridsInGE";
inline constexpr char kPreviewDEMGridsInArcMap[] = "previewDEMGridsInArcMap";
inline constexpr char kPreviewDEMGridsInBoth[] = "previewDEMGridsInBoth";
inline constexpr char kAlarmLamp[] = "alarmLamp";
inline constexpr char kPlayAnimationWhenDigitizing[] = "PlayAnimationWhenDigitizing";
inline constexpr char kPlayAnimationWhenRecording[] = "PlayAnimationWhenRecording";
inline constexpr char kPlayAnimation[] = "PlayAnimation";
inline constexpr char kPlayAnimationWhenCapturingScreenShot[] =
    "PlayAnimationWhenCapturingScreenShot";
inline constexpr char kRestoreParameters2DefaultValues[] = "RestoreParameters2DefaultValues";
inline constexpr char kShowGEStatus[] = "ShowGEStatus";
inline constexpr char kShowArcStatus[] = "ShowArcStatus";
inline constexpr char kCaptureScreenShot[] = "CaptureScreenShot";
inline constexpr char kCaptureScreenShotOfArcMapView[] = "CaptureScreenShotOfArcMapView";
inline constexpr char kCaptureScreenShotOfGERenderView[] = "CaptureScreenShotOfGERenderView";
inline constexpr char kCaptureScreenShotOfDesktop[] = "CaptureScreenShotOfDesktop";
inline constexpr char kMenuScribeline[] = "menuScribeline";

} // namespace scribeline::option_names
