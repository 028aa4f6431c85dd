#include "command/clsScribeline.hpp"

#include "errors/ErrorHandling.hpp"

#include <cctype>
#include <exception>

namespace scribeline {

namespace {

std::string upper(std::string text) {
    for (auto& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

// Host feature types of annotation classes, which cannot take digitized shapes.
constexpr int kAnnotationFeatureType = 11;
constexpr int kDimensionFeatureType = 12;

} // namespace

bool CheckMapLayers(IMxDocument* document, const std::string& mode) {
    if (document == nullptr) {
        throw PortError("Document", "the command has no host document");
    }
    const std::string wanted = upper(mode);
    if (wanted == "LAYOUT") {
        return document->ActiveViewIsPageLayout();
    }
    auto map = document->FocusMap();
    if (map->LayerCount() == 0) {
        return false;
    }
    if (wanted == "SELECTION") {
        return map->SelectionCount() > 0;
    }
    return true;
}

void FillLayerList(controls::ComboBox& list, IMap& map) {
    list.Clear();
    for (const auto& layer : map.Layers()) {
        if (layer->Kind() != LayerKind::Feature) {
            continue;
        }
        auto featureLayer = std::dynamic_pointer_cast<IFeatureLayer>(layer);
        if (!featureLayer) {
            continue;
        }
        auto featureClass = featureLayer->FeatureClass();
        if (!featureClass) {
            continue;
        }
        const GeometryType shape = featureClass->ShapeType();
        if (shape != GeometryType::Point && shape != GeometryType::Polyline &&
            shape != GeometryType::Polygon) {
            continue;
        }
        const int featureType = featureClass->FeatureType();
        if (featureType == kAnnotationFeatureType || featureType == kDimensionFeatureType) {
            continue;
        }
        const QueryFilter everything;
        if (featureClass->FeatureCount(&everything) < 1) {
            continue;
        }
        list.AddItem(layer->Name());
    }
    if (!list.Items().empty()) {
        list.SetText(list.Items().front());
    }
}

clsScribeline::clsScribeline(Environment environment, Subsystems subsystems)
    : environment_(environment), subsystems_(std::move(subsystems)) {}

clsScribeline::~clsScribeline() {
    try {
        Class_Terminate();
    } catch (...) {
        // Nothing may escape into the host while it releases the command.
    }
}

frmGE2Arc& clsScribeline::Window() {
    if (!window_) {
        window_ = std::make_unique<frmGE2Arc>(environment_, process_, subsystems_);
    }
    return *window_;
}

template <class Result, class Body>
Result clsScribeline::trap(const char* member, Result result, Body&& body) {
    int line = 0; // the numbered step the member has reached
    try {
        if (probe_) {
            probe_(member);
        }
        body(result, line);
    } catch (...) {
        ErrorHandling::Raise(ErrorHandling::Describe(std::current_exception(), kClassName));
        const ErrorHandling::ErrorInfo error = ErrorHandling::CurrentError();
        ErrorHandling::HandleError(
            true, std::string(member) + " " + kClassName + " " + ErrorHandling::LineText(line),
            error.number, error.source, error.description, ErrorHandling::kSilent);
    }
    return result;
}

bool clsScribeline::Enabled() {
    return trap("ICommand_Enabled", false,
                [&](bool& result, int&) { result = CheckMapLayers(document_.get(), ""); });
}

bool clsScribeline::Checked() {
    return trap("ICommand_Checked", false, [](bool& result, int&) { result = false; });
}

std::string clsScribeline::Name() {
    return trap("ICommand_Name", std::string(),
                [](std::string& result, int&) { result = "Scribeline"; });
}

std::string clsScribeline::Caption() {
    return trap("ICommand_Caption", std::string(),
                [](std::string& result, int&) { result = "Scribeline 2.2"; });
}

std::string clsScribeline::Tooltip() {
    return trap("ICommand_Tooltip", std::string(),
                [](std::string& result, int&) { result = "Scribeline 2.2"; });
}

std::string clsScribeline::Message() {
    return trap("ICommand_Message", std::string(), [](std::string& result, int&) {
        result = "Export points, polylines or polygons digitized on Google Earth to ArcMap.";
    });
}

std::string clsScribeline::HelpFile() {
    return trap("ICommand_HelpFile", std::string(),
                [](std::string& result, int&) { result.clear(); });
}

int clsScribeline::HelpContextID() {
    return trap("ICommand_HelpContextID", 0, [](int& result, int&) { result = 0; });
}

PictureHandle clsScribeline::Bitmap() {
    return trap("ICommand_Bitmap", PictureHandle{0}, [&](PictureHandle& result, int&) {
        frmGE2Arc& window = Window();
        window.Load(); // touching the window's picture loads it
        result = window.Images().Handle(window.ctl.picDigitizerIcon.PictureKey());
    });
}

std::string clsScribeline::Category() {
    return trap("ICommand_Category", std::string(),
                [](std::string& result, int&) { result = "Scribeline"; });
}

void clsScribeline::OnCreate(std::shared_ptr<IMapApplication> hook) {
    trap("ICommand_OnCreate", 0, [&](int&, int& line) {
        line = 10;
        application_ = std::move(hook);
        if (!application_) {
            throw PortError("OnCreate", "the host gave no application");
        }
        document_ = application_->Document();
        line = 20;
        process_.windowOpen = false;
        line = 30;
        frmGE2Arc& window = Window();
        window.Load();
        window.SetControlParentToGE(window.ctl.pictGEInfoWelcome);
    });
}

void clsScribeline::OnClick() {
    trap("ICommand_OnClick", 0, [&](int&, int& line) {
        line = 10;
        frmGE2Arc& window = Window();
        line = 20;
        window.Check_GEisIsInitialized();
        if (process_.windowOpen) {
            // A second press while the window is open continues a paused run.
            line = 30;
            window.cmdDigitizePauseOrContinue_Click();
            return;
        }
        line = 40;
        process_.windowOpen = true;
        window.state.vertexCount = 0;
        window.SetApplication(application_);
        line = 50;
        window.Load();
        if (!document_) {
            throw PortError("Document", "the command has no host document");
        }
        FillLayerList(window.ctl.cboSelectLayer, *document_->FocusMap());
        line = 60;
        window.RecoverControlParent();
        window.SetControlParentToGE(window.ctl.pictGEInfoReady);
        line = 70;
        window.SetMeIntoArcWindow(1);
        line = 80;
        window.Show(true);
    });
}

void clsScribeline::Class_Terminate() {
    if (terminated_) {
        return;
    }
    terminated_ = true;
    // Unloading removes a form from the collection: walk a copy.
    const std::vector<IForm*> loaded = process_.loadedForms;
    for (IForm* form : loaded) {
        try {
            (void)form->UnloadForm();
        } catch (...) {
            // A form that fails to unload is taken down with its owner below.
        }
    }
    window_.reset();
    application_.reset();
    document_.reset();
}

} // namespace scribeline
