// The digitizing run of the digitizer window: the run itself (begin, capture tick, pause and
// continue, finish, end, abort), the capture of vertices from the globe's render view through
// the desktop's low-level hooks, the measure read-out, and the checks made on every layer
// choice; the target layer and the writing of features are the TargetLayer's (target_layer.hpp).
// One DigitizingRun lives per load of the window, which owns it; the references of its context
// outlive it.
//
// Coordinates: vertices carry x = longitude and y = latitude (degrees, WGS 1984) and
// z = altitude (metres). Pixel positions are render-window client pixels unless named screen.
//
// Failures: nothing here traps a failure; a failing globe, map host or desktop call ends the
// action under way and the window reports it.
#pragma once

#include "command/controls.hpp"
#include "command/globe_port.hpp"
#include "command/map_port.hpp"
#include "command/subsystems.hpp"
#include "kml/basKML.hpp"
#include "kml/basOutputKML.hpp"
#include "platform/desktop.hpp"

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace scribeline {

namespace digitizing {

inline constexpr int kMaxVertexCount = 10000;
// Index 0 is never used: clicks and vertices are stored from 1 (pixel track) and 0 (run).
inline constexpr int kPixelTrackSize = kMaxVertexCount + 1;
// "No pending position" in normalised view coordinates.
inline constexpr double kNoPosition = -2000.0;
inline constexpr int kClickTickMs = 500;

// Whether a terrain query answer can become a vertex: the ray hit the ground and the point
// lies on the globe (latitude -90..90, longitude -180..180). Sky never does.
[[nodiscard]] bool AcceptTerrainPoint(const IPointOnTerrainGE& point);

// Whether a client point lies in the globe's navigation controls (top right of a render
// window `width` pixels wide), where a click steers the view rather than digitizes.
[[nodiscard]] bool InNavigationZone(Point client, int width);

// Normalised view coordinates of a client point: x -1 left .. 1 right, y -1 bottom .. 1 top.
struct ViewPosition {
    double x = kNoPosition;
    double y = kNoPosition;
};
[[nodiscard]] ViewPosition NormalisedPosition(Point client, Size render);

// The record rate typed into the box: its leading number rounded; anything below 1 (0, an
// empty or unreadable text) counts as 1 point per second.
[[nodiscard]] int RecordRate(const std::string& text);
// The capture tick: 500 ms for click digitizing ("start"), 1000 / rate rounded otherwise.
[[nodiscard]] int TickInterval(const std::string& runKey, int recordRate);

// The map field of a field defined in the field definition dialog.
[[nodiscard]] Field FieldOfUserDefinedField(const UserDefinedField& field);
// The fields of a new feature class, shape first: terrain runs ("dem", "contour") get
// "_Name" and "_Altitude", other runs their user-defined fields or "_Name" and "_Descrip".
[[nodiscard]] Fields NewLayerFields(const std::string& runKey, GeometryType shapeType, bool hasZ,
                                    const std::vector<UserDefinedField>& userDefined);
// Host shape type of a geometry kind (0 point, 1 polyline, 2 polygon).
[[nodiscard]] GeometryType ShapeTypeOfKind(int geometryKind);

// A measure as the read-out writes it: up to 15 significant digits, "." as separator.
[[nodiscard]] std::string FormatMeasure(double value);

// Vertices a feature needs before it can be finished: point 1, polyline 2, polygon 3.
[[nodiscard]] constexpr int MinimumVertices(int geometryKind) {
    return geometryKind == 0 ? 1 : geometryKind == 2 ? 3 : 2;
}

// The click state the hooks leave for the tick.
enum class ClickState : int { Remove = -1, Nothing = 0, Add = 1 };

class DigitizingRun final : public IDigitizingRun {
public:
    explicit DigitizingRun(const DigitizingRunContext& context);
    ~DigitizingRun() override;
    DigitizingRun(const DigitizingRun&) = delete;
    DigitizingRun& operator=(const DigitizingRun&) = delete;

    // ---- IDigitizingRun ----
    void cmdBeginDigitalizing_Click() override;
    void cmdDigitizePauseOrContinue_Click() override;
    void cmdFinishCurrentFeatureAndCreateNewFeature_Click() override;
    void FinishFeature() override;
    void cmdEndDigitalizing_Click() override;
    void AbortRun() override;
    void timerDigitalizing_Timer() override;
    void Command1_Click() override;
    void Command2_Click() override;
    void optGeometryType_Click(int index) override;
    void optNewOrExistingLayer_Click(int index) override;
    void cboSelectLayer_Click() override;

    // ---- the parts the window and its tests look at ----
    void UpdateMeasureTrack();
    [[nodiscard]] const Geometry& CurrentShape() const {
        return cx_.target.FeatureUnderConstruction();
    }
    [[nodiscard]] int GeometryKind() const { return cx_.target.GeometryKind(); }
    [[nodiscard]] int RunNumber() const { return cx_.target.RunNumber(); }
    [[nodiscard]] std::string LiveName() const;
    [[nodiscard]] std::filesystem::path LiveKmlPath() const;
    [[nodiscard]] std::shared_ptr<IFeatureClass> TargetClass() const {
        return cx_.target.TargetFeatureClass();
    }
    [[nodiscard]] std::shared_ptr<IFeatureLayer> TargetLayer() const {
        return cx_.target.TargetFeatureLayer();
    }
    [[nodiscard]] bool CaptureEnabled() const { return captureEnabled_; }
    [[nodiscard]] int ClickCount() const { return clickCount_; }
    [[nodiscard]] ClickState PendingClick() const { return clickState_; }
    [[nodiscard]] ViewPosition PendingPosition() const { return pending_; }
    [[nodiscard]] bool ViewChanged() const { return viewChanged_; }
    [[nodiscard]] basKML& Kml() { return kml_; }

private:
    // edit session
    void startEditing();
    void stopEditing(bool save);
    // layer choice
    void checkChosenLayer();
    // capture
    void startCapture();
    void stopCapture();
    void installHooks();
    void removeHooks();
    HookResult clickHook(const MouseEvent& event);
    HookResult recordHook(const MouseEvent& event);
    // The common entry of both hooks; false when the event is not for the render view.
    bool hookEntry(const MouseEvent& event, Point& client, Size& render);
    void drawCursorMarker(Point client);
    void drawRubberBand(Point client);
    void drawTrack(Point client);
    void captureStep();
    void addVertex(const IPointOnTerrainGE& point);
    void removeLastVertex();
    void drawArcMapCursor(const IPointOnTerrainGE& point);
    void redrawInArcMap();
    void updateFinishButtons();
    void playAnimation(const MapPoint& vertex, Point clickScreen, bool towardsMap);
    void autoFinish();
    void alarmLamp();
    // shared
    [[nodiscard]] IMapApplication& host();
    [[nodiscard]] IApplicationGE& ge();
    [[nodiscard]] bool checked(const std::string& item);
    void setOptionQuietly(controls::OptionArray& options, int index);
    void createSymbols();
    // The feature under construction and the geometry kind, kept by the target layer.
    [[nodiscard]] Geometry& shape() { return cx_.target.FeatureUnderConstruction(); }
    [[nodiscard]] int kind() const { return cx_.target.GeometryKind(); }

    DigitizingRunContext cx_;
    basKML kml_;
    basOutputKML exportChecks_;

    // run state
    bool captureEnabled_ = false;
    bool useKmlFile_ = true;
    int recordRate_ = 5;
    std::vector<Point> pixelTrack_ = std::vector<Point>(kPixelTrackSize);
    double firstX_ = 0.0;
    double firstY_ = 0.0;
    ViewPosition pending_;
    std::optional<Rect> lastRenderRect_;
    WindowHandle mapViewWindow_ = kNoWindow;
    bool changingOptions_ = false;
    bool gridPrepared_ = false;

    // edit session
    std::shared_ptr<IEditor> editor_;

    // hook-to-tick exchange
    ClickState clickState_ = ClickState::Nothing;
    int clickCount_ = 0;
    std::vector<Point> clickTrack_ = std::vector<Point>(kPixelTrackSize);
    Point lastClickScreen_;
    Point pointerClient_;
    Point pointerScreen_;
    bool leftHeld_ = false;
    bool rightHeld_ = false;
    bool viewChanged_ = false;
    IViewExtentsGE startExtents_;
    HookHandle mouseHook_ = 0;
    HookHandle keyboardHook_ = 0;
    WindowHandle geMainWindow_ = kNoWindow;
    KeyEvent lastKey_;

    // ArcMap feedback
    bool arcCursorShowing_ = false;
    scribeline::Point arcCursorAt_;
    Symbol pointSymbol_, firstVertexSymbol_, lastVertexSymbol_, lineSymbol_, fillSymbol_,
        greenLineSymbol_;
};

// The export of the chosen layer to the globe.
class LayerExport final : public ILayerExport {
public:
    explicit LayerExport(const LayerExportContext& context);
    void cmdExportKML_Click() override;

private:
    LayerExportContext cx_;
};

} // namespace digitizing
} // namespace scribeline
