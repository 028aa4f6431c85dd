#include "tests/hosts/qgis/qgis_support.hpp"

#include <QMainWindow>
#include <QStatusBar>

#include <qgsapplication.h>
#include <qgslayertreemapcanvasbridge.h>
#include <qgsmapcanvas.h>
#include <qgsproject.h>
#include <qgsproviderregistry.h>
#include <qgsvectorlayer.h>

#include <filesystem>

namespace scribeline::qgis::testing {

namespace {

QgsApplication* application = nullptr;

std::string start() {
    // No X server in tests: Qt draws offscreen unless the caller chose a platform.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    // A profile of the test's own, so that QGIS settings of the machine play no part.
    static const std::string profile =
        (std::filesystem::temp_directory_path() / "scribeline-qgis-test-profile").string();
    std::filesystem::create_directories(profile);
    static int argc = 1;
    static char name[] = "qgis_host_test";
    static char* argv[] = {name, nullptr};
    application = new QgsApplication(argc, argv, true, QString::fromStdString(profile));
    QgsApplication::setPrefixPath(QStringLiteral("/usr"), true);
    QgsApplication::initQgis();
    if (!QgsProviderRegistry::instance()->providerList().contains(QStringLiteral("ogr"))) {
        return "QGIS has no ogr data provider (is the qgis package installed?)";
    }
    return {};
}

} // namespace

const std::string& QgisMissing() {
    static const std::string reason = start();
    return reason;
}

struct QgisWindows::Impl {
    QgsProject project;
    QMainWindow main;
    QgsMapCanvas* canvas = nullptr;
};

QgisWindows::QgisWindows(int canvasWidth, int canvasHeight) : impl_(std::make_unique<Impl>()) {
    impl_->main.setWindowTitle(QStringLiteral("Untitled Project - QGIS"));
    impl_->canvas = new QgsMapCanvas(&impl_->main);
    impl_->canvas->setFrameShape(QFrame::NoFrame);
    impl_->canvas->setProject(&impl_->project);
    impl_->main.setCentralWidget(impl_->canvas);
    impl_->main.statusBar()->show();
    new QgsLayerTreeMapCanvasBridge(impl_->project.layerTreeRoot(), impl_->canvas, impl_->canvas);
    impl_->main.move(0, 0);
    impl_->main.show();
    impl_->canvas->setFixedSize(canvasWidth, canvasHeight);
    impl_->main.adjustSize();
    QCoreApplication::processEvents();
}

QgisWindows::~QgisWindows() {
    impl_->canvas->stopRendering();
    impl_->project.clear();
}

QgisParts QgisWindows::Parts() const {
    return QgisParts{&impl_->main, impl_->canvas, &impl_->project, impl_->main.statusBar()};
}

QgsProject& QgisWindows::Project() const {
    return impl_->project;
}

QgsMapCanvas& QgisWindows::Canvas() const {
    return *impl_->canvas;
}

QMainWindow& QgisWindows::Main() const {
    return impl_->main;
}

void RemoveFromProject(QgisWindows& windows, IFeatureLayer& layer) {
    QgsVectorLayer* vector = QgisHost::VectorLayerOf(layer);
    ASSERT_NE(vector, nullptr);
    windows.Project().removeMapLayer(vector->id());
}

WindowRegistrar HeadlessRegistrar(IDesktop& desktop) {
    return [&desktop](QWidget* widget, const std::string& className, const std::string& title,
                      WindowHandle parent) {
        WindowSpec window;
        window.className = className;
        window.title = title;
        window.parent = parent;
        if (parent == kNoWindow) {
            const QRect g = widget->frameGeometry();
            window.rect = Rect{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
        } else {
            const QPoint at = widget->mapTo(widget->window(), QPoint(0, 0));
            window.rect = Rect{at.x(), at.y(), at.x() + widget->width(), at.y() + widget->height()};
        }
        return desktop.CreateWindow(window, nullptr);
    };
}

} // namespace scribeline::qgis::testing

// Under LeakSanitizer: QGIS, Qt, GDAL and PROJ keep process-lifetime allocations (registries,
// caches, plugin state) that they never free; what our code leaks is still reported.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libqgis_core\n"
           "leak:libqgis_gui\n"
           "leak:libQt5\n"
           "leak:libgdal\n"
           "leak:libproj\n"
           "leak:libspatialite\n"
           "leak:libfontconfig\n"
           "leak:libqca\n"
           "leak:libcrypto\n"
           "leak:libssl\n";
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    if (scribeline::qgis::testing::application != nullptr) {
        QgsApplication::exitQgis();
        delete scribeline::qgis::testing::application;
    }
    return result;
}
