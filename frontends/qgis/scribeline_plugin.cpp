// The QGIS 3.22 C++ plugin: the exported functions QGIS's plugin registry looks for, and the
// plugin object that puts the command on a toolbar button and into the Plugins menu and the
// globe into a dock. Everything that needs no QGIS header lives in plugin_session.cpp, so this
// is the one QGIS-including file of the plugin.
#include "frontends/qgis/plugin_session.hpp"
#include "frontends/qgis/self_test.hpp"

#include <QAction>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <qgisinterface.h>
#include <qgisplugin.h>
#include <qgscoordinatereferencesystem.h>
#include <qgscoordinatetransform.h>
#include <qgsfeatureiterator.h>
#include <qgsgeometry.h>
#include <qgslayertree.h>
#include <qgsmapcanvas.h>
#include <qgsmaplayer.h>
#include <qgsmaplayercombobox.h>
#include <qgsmaplayerproxymodel.h>
#include <qgsmaprendererparalleljob.h>
#include <qgsmapsettings.h>
#include <qgsproject.h>
#include <qgsrasterblock.h>
#include <qgsrasterdataprovider.h>
#include <qgsrasterlayer.h>
#include <qgsvectorlayer.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

namespace scribeline::qgisplugin {

namespace {

const QString kName = QStringLiteral("Scribeline");
const QString kDescription =
    QStringLiteral("Digitize points, polylines and polygons on a 3D globe into QGIS layers");
const QString kCategory = QStringLiteral("Vector");
const QString kVersion = QStringLiteral("2.2.0");
const QString kMenu = QStringLiteral("&Scribeline");
// Where the project remembers the globe's terrain layer (its layer id; empty: base Earth).
const QString kScope = QStringLiteral("Scribeline");
const QString kTerrainKey = QStringLiteral("/terrainLayer");
// How often a deferred deletion looks whether a terrain command's loops have unwound.
constexpr int kUnwindPollMs = 100;
// The self-test waits this long at most for QGIS to have read the project it was started with.
constexpr int kProjectWaitMs = 30000;
// The dock's width while the self-test plays (pixels).
constexpr int kSelfTestDockWidth = 620;

QString text(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

// The largest map picture drawn for the globe, per side.
constexpr int kMaxDrapeSide = 2048;

// Draws the canvas's layers over an area in WGS 84 with QGIS's own renderer: the layers are
// rendered on QGIS's worker threads while this waits.
std::optional<globe::Image> RenderDrape(QgsMapCanvas* canvas, const globe::DrapeArea& area) {
    if (canvas == nullptr || canvas->layers().isEmpty()) {
        return std::nullopt;
    }
    const int columns = std::min(area.Columns(), kMaxDrapeSide);
    const int rows = std::min(area.Rows(), kMaxDrapeSide);
    QgsMapSettings settings;
    settings.setLayers(canvas->layers());
    settings.setDestinationCrs(QgsCoordinateReferenceSystem(QStringLiteral("EPSG:4326")));
    settings.setTransformContext(canvas->mapSettings().transformContext());
    settings.setOutputSize(QSize(columns, rows));
    settings.setExtent(QgsRectangle(area.west, area.south, area.east, area.north));
    settings.setBackgroundColor(Qt::transparent);
    settings.setOutputImageFormat(QImage::Format_ARGB32_Premultiplied);
    QgsMapRendererParallelJob job(settings);
    job.start();
    job.waitForFinished();
    const QImage picture = job.renderedImage().convertToFormat(QImage::Format_RGBA8888);
    globe::Image image(picture.width(), picture.height());
    const auto rowBytes = static_cast<std::size_t>(picture.width()) * 4;
    for (int y = 0; y < picture.height(); ++y) {
        std::memcpy(image.rgba.data() + static_cast<std::size_t>(y) * rowBytes,
                    picture.constScanLine(y), rowBytes);
    }
    return image;
}

void report(const char* where, const std::exception& e) {
    std::fprintf(stderr, "Scribeline: %s: %s\n", where, e.what());
}

// A stored feature's vertices, a ring's closing vertex left out.
LayerFacts::Feature FeatureFacts(const QgsGeometry& geometry) {
    LayerFacts::Feature f;
    f.type = QgsWkbTypes::displayString(geometry.wkbType()).toStdString();
    const QgsAbstractGeometry* g = geometry.constGet();
    if (g == nullptr) {
        return f;
    }
    f.parts = g->partCount();
    const bool rings =
        QgsWkbTypes::geometryType(geometry.wkbType()) == QgsWkbTypes::PolygonGeometry;
    for (const QgsRingSequence& part : g->coordinateSequence()) {
        for (const QgsPointSequence& ring : part) {
            const int n =
                ring.size() - (rings && ring.size() > 1 && ring.front() == ring.back() ? 1 : 0);
            for (int i = 0; i < n; ++i) {
                f.vertices.push_back(VertexFacts{ring[i].x(), ring[i].y(), ring[i].z()});
            }
        }
    }
    return f;
}

// The project's vector layers with their features, by name, but for the known ones.
std::vector<LayerFacts> VectorLayerFacts(const std::vector<std::string>& known) {
    std::vector<LayerFacts> out;
    for (QgsMapLayer* layer : QgsProject::instance()->mapLayers().values()) {
        auto* vector = qobject_cast<QgsVectorLayer*>(layer);
        if (vector == nullptr ||
            std::find(known.begin(), known.end(), vector->id().toStdString()) != known.end()) {
            continue;
        }
        LayerFacts facts;
        facts.id = vector->id().toStdString();
        facts.name = vector->name().toStdString();
        facts.type = QgsWkbTypes::displayString(vector->wkbType()).toStdString();
        QgsFeatureIterator it = vector->getFeatures();
        QgsFeature feature;
        while (it.nextFeature(feature)) {
            facts.features.push_back(FeatureFacts(feature.geometry()));
        }
        out.push_back(std::move(facts));
    }
    std::sort(out.begin(), out.end(),
              [](const LayerFacts& a, const LayerFacts& b) { return a.name < b.name; });
    return out;
}

// The raster's height at a position in WGS 84, interpolated between the four posts (pixel
// centres) round it as QGIS reads them; nothing outside the posts or on a gap.
std::optional<double> RasterHeight(QgsRasterLayer* raster, double longitude, double latitude) {
    if (raster == nullptr || raster->dataProvider() == nullptr) {
        return std::nullopt;
    }
    QgsRasterDataProvider* provider = raster->dataProvider();
    QgsPointXY point(longitude, latitude);
    const QgsCoordinateReferenceSystem wgs84(QStringLiteral("EPSG:4326"));
    if (raster->crs().isValid() && raster->crs() != wgs84) {
        point =
            QgsCoordinateTransform(wgs84, raster->crs(), QgsProject::instance()).transform(point);
    }
    const QgsRectangle extent = provider->extent();
    const int columns = provider->xSize();
    const int rows = provider->ySize();
    if (columns < 2 || rows < 2) {
        return std::nullopt;
    }
    const double dx = extent.width() / columns;
    const double dy = extent.height() / rows;
    const double u = (point.x() - extent.xMinimum()) / dx - 0.5;
    const double v = (extent.yMaximum() - point.y()) / dy - 0.5;
    if (u < 0.0 || v < 0.0 || u > columns - 1 || v > rows - 1) {
        return std::nullopt;
    }
    const int c = std::min(static_cast<int>(u), columns - 2);
    const int r = std::min(static_cast<int>(v), rows - 2);
    const QgsRectangle cells(extent.xMinimum() + c * dx, extent.yMaximum() - (r + 2) * dy,
                             extent.xMinimum() + (c + 2) * dx, extent.yMaximum() - r * dy);
    std::unique_ptr<QgsRasterBlock> block(provider->block(1, cells, 2, 2));
    if (!block || !block->isValid() || block->isNoData(0, 0) || block->isNoData(0, 1) ||
        block->isNoData(1, 0) || block->isNoData(1, 1)) {
        return std::nullopt;
    }
    const double fu = u - c;
    const double fv = v - r;
    const double top = block->value(0, 0) * (1 - fu) + block->value(0, 1) * fu;
    const double bottom = block->value(1, 0) * (1 - fu) + block->value(1, 1) * fu;
    return top * (1 - fv) + bottom * fv;
}

} // namespace

class ScribelinePlugin final : public QgisPlugin {
public:
    explicit ScribelinePlugin(QgisInterface* iface)
        : QgisPlugin(kName, kDescription, kCategory, kVersion, QgisPlugin::UI), iface_(iface) {}

    ~ScribelinePlugin() override { teardown(); }
    ScribelinePlugin(const ScribelinePlugin&) = delete;
    ScribelinePlugin& operator=(const ScribelinePlugin&) = delete;

    void initGui() override {
        if (iface_ == nullptr || session_) {
            return;
        }
        auto* main = qobject_cast<QMainWindow*>(iface_->mainWindow());
        QgsMapCanvas* canvas = iface_->mapCanvas();
        if (main == nullptr || canvas == nullptr) {
            std::fputs("Scribeline: QGIS gave no main window or map canvas\n", stderr);
            return;
        }
        try {
            session_ = std::make_unique<PluginSession>(
                qgis::QgisParts{main, canvas, QgsProject::instance(), main->statusBar()},
                [canvas](const globe::DrapeArea& area) { return RenderDrape(canvas, area); });
        } catch (const std::exception& e) {
            report("start", e);
            return;
        }
        action_ = new QAction(session_->Icon(), QString(), main);
        action_->setObjectName(QStringLiteral("mActionScribeline"));
        QObject::connect(action_, &QAction::triggered, action_, [this] { press(); });
        iface_->addToolBarIcon(action_);
        iface_->addPluginToMenu(kMenu, action_);

        dock_ = new QDockWidget(QStringLiteral("Scribeline globe"), main);
        dock_->setObjectName(QStringLiteral("ScribelineGlobeDock"));
        dock_->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                           QDockWidget::DockWidgetFloatable);
        dockBody_ = new QWidget(dock_);
        new QVBoxLayout(dockBody_);
        dockBody_->layout()->setContentsMargins(0, 0, 0, 0);
        auto* row = new QWidget(dockBody_);
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(4, 2, 4, 2);
        rowLayout->addWidget(new QLabel(QStringLiteral("Terrain"), row));
        terrainBox_ = new QgsMapLayerComboBox(row);
        terrainBox_->setObjectName(QStringLiteral("ScribelineTerrainLayer"));
        terrainBox_->setFilters(QgsMapLayerProxyModel::RasterLayer);
        terrainBox_->setAllowEmptyLayer(true, QStringLiteral("Base Earth only"));
        terrainBox_->setLayer(nullptr);
        rowLayout->addWidget(terrainBox_, 1);
        dockBody_->layout()->addWidget(row);
        QObject::connect(terrainBox_, &QgsMapLayerComboBox::layerChanged, terrainBox_,
                         [this](QgsMapLayer* layer) { terrainChosen(layer); });
        dock_->setWidget(dockBody_);
        iface_->addDockWidget(Qt::RightDockWidgetArea, dock_);
        placeGlobe();

        watchProject();
        restoreTerrain();
        refresh();
        if (auto files = SelfTestFromEnvironment()) {
            selfTestWhenReady(*files);
        }
    }

    void unload() override {
        unloading_ = true;
        if (iface_ != nullptr && action_ != nullptr) {
            iface_->removePluginMenu(kMenu, action_);
            iface_->removeToolBarIcon(action_);
        }
        if (iface_ != nullptr && dock_ != nullptr) {
            iface_->removeDockWidget(dock_);
        }
        for (const QMetaObject::Connection& c : connections_) {
            QObject::disconnect(c);
        }
        connections_.clear();
        if (action_ != nullptr) {
            action_->setEnabled(false);
        }
    }

    // Deletes the plugin now, or once a terrain command's nested loops have unwound (deleting
    // it under them would pull the window out from under the running command).
    void release() {
        if (!session_ || !session_->Busy()) {
            delete this;
            return;
        }
        auto* poll = new QTimer();
        poll->setInterval(kUnwindPollMs);
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll] {
            if (session_ && session_->Busy()) {
                return;
            }
            poll->deleteLater();
            delete this;
        });
        poll->start();
    }

    [[nodiscard]] PluginSession* session() const { return session_.get(); }

private:
    void press() {
        if (!session_ || unloading_) {
            return;
        }
        session_->Press();
        placeGlobe();
        refresh();
    }

    // Re-reads the command's caption, tooltip and enabled state into the action.
    void refresh() {
        if (!session_ || action_ == nullptr || unloading_) {
            return;
        }
        const CommandFace face = session_->Face();
        action_->setText(text(face.caption));
        action_->setToolTip(text(face.tooltip));
        action_->setStatusTip(text(face.statusTip));
        action_->setEnabled(face.enabled);
    }

    // The globe client's window goes into the dock once the client runs.
    void placeGlobe() {
        if (!session_ || dockBody_ == nullptr || globeInDock_) {
            return;
        }
        QWidget* globe = session_->GlobeWidget();
        if (globe == nullptr) {
            return;
        }
        globe_ = globe;
        globeParent_ = globe->parentWidget();
        // The globe takes the dock's height; the terrain row keeps its own.
        static_cast<QVBoxLayout*>(dockBody_->layout())->addWidget(globe, 1);
        globe->show();
        globeInDock_ = true;
    }

    // Layers coming and going, selections and edit sessions change whether the command is
    // enabled; a project being closed (all its layers about to go) ends a run as closing
    // the window does.
    void watchProject() {
        QgsProject* project = QgsProject::instance();
        connections_.push_back(QObject::connect(project, &QgsProject::layersAdded, action_,
                                                [this](const QList<QgsMapLayer*>& layers) {
                                                    for (QgsMapLayer* l : layers) {
                                                        watchLayer(l);
                                                    }
                                                    refresh();
                                                }));
        // The map's layers are the layer tree's: it changes after the project's layer list.
        QgsLayerTree* root = project->layerTreeRoot();
        connections_.push_back(QObject::connect(root, &QgsLayerTreeNode::addedChildren, action_,
                                                [this] { refresh(); }));
        connections_.push_back(QObject::connect(root, &QgsLayerTreeNode::removedChildren, action_,
                                                [this] { refresh(); }));
        connections_.push_back(QObject::connect(project, &QgsProject::removeAll, action_, [this] {
            if (session_ && !session_->CloseWindow() && session_->Busy()) {
                std::fputs("Scribeline: the project closes while a terrain command runs; "
                           "the window closes when it ends\n",
                           stderr);
                closeWhenUnwound();
            }
        }));
        connections_.push_back(
            QObject::connect(project, &QgsProject::cleared, action_, [this] { refresh(); }));
        connections_.push_back(QObject::connect(project, &QgsProject::readProject, action_, [this] {
            restoreTerrain();
            refresh();
        }));
        for (QgsMapLayer* l : project->mapLayers().values()) {
            watchLayer(l);
        }
    }

    void watchLayer(QgsMapLayer* layer) {
        auto* vector = qobject_cast<QgsVectorLayer*>(layer);
        if (vector == nullptr) {
            return;
        }
        // Connected with the action as context: gone with the layer or the plugin's GUI.
        connections_.push_back(QObject::connect(vector, &QgsVectorLayer::selectionChanged, action_,
                                                [this] { refresh(); }));
        connections_.push_back(QObject::connect(vector, &QgsVectorLayer::editingStarted, action_,
                                                [this] { refresh(); }));
        connections_.push_back(QObject::connect(vector, &QgsVectorLayer::editingStopped, action_,
                                                [this] { refresh(); }));
    }

    // A raster layer chosen as the globe's DEM (null: the base Earth alone); the project
    // remembers it.
    void terrainChosen(QgsMapLayer* layer) {
        if (!session_ || unloading_) {
            return;
        }
        auto* raster = qobject_cast<QgsRasterLayer*>(layer);
        const QString id = raster == nullptr ? QString() : raster->id();
        try {
            session_->SetTerrainFile(raster == nullptr ? std::string()
                                                       : raster->source().toStdString());
        } catch (const std::exception& e) {
            report("terrain", e);
            return;
        }
        QgsProject* project = QgsProject::instance();
        if (project->readEntry(kScope, kTerrainKey) != id) {
            project->writeEntry(kScope, kTerrainKey, id);
        }
    }

    void restoreTerrain() {
        if (terrainBox_ == nullptr) {
            return;
        }
        const QString id = QgsProject::instance()->readEntry(kScope, kTerrainKey);
        terrainBox_->setLayer(id.isEmpty() ? nullptr : QgsProject::instance()->mapLayer(id));
    }

    // Once QGIS is up and has read the project it was started with, the session plays.
    void selfTestWhenReady(const SelfTestFiles& files) {
        std::fprintf(stderr, "Scribeline: self-test of %s\n", files.session.c_str());
        QObject::connect(iface_, &QgisInterface::initializationCompleted, action_, [this, files] {
            auto* poll = new QTimer(action_);
            poll->setInterval(200);
            auto clock = std::make_shared<QElapsedTimer>();
            clock->start();
            QObject::connect(poll, &QTimer::timeout, poll, [this, poll, clock, files] {
                if (QgsProject::instance()->count() == 0 && clock->elapsed() < kProjectWaitMs) {
                    return;
                }
                poll->stop();
                poll->deleteLater();
                runSelfTest(files);
            });
            poll->start();
        });
    }

    void runSelfTest(const SelfTestFiles& files) {
        if (!session_ || unloading_) {
            return;
        }
        SelfTestHost host;
        host.commandButton = [this]() -> QWidget* {
            for (QToolBar* bar : iface_->mainWindow()->findChildren<QToolBar*>()) {
                if (QWidget* button = bar->widgetForAction(action_)) {
                    return button;
                }
            }
            return nullptr;
        };
        host.layerIds = [] {
            std::vector<std::string> ids;
            for (const QString& id : QgsProject::instance()->mapLayers().keys()) {
                ids.push_back(id.toStdString());
            }
            return ids;
        };
        host.vectorLayers = [](const std::vector<std::string>& known) {
            return VectorLayerFacts(known);
        };
        host.demHeight = [this](double longitude, double latitude) {
            return RasterHeight(qobject_cast<QgsRasterLayer*>(terrainBox_->currentLayer()),
                                longitude, latitude);
        };
        host.clearModified = [] { QgsProject::instance()->setDirty(false); };
        host.quit = [this] {
            if (QAction* exit = iface_->actionExit()) {
                QTimer::singleShot(0, exit, &QAction::trigger);
            }
        };
        // The whole screen, with a dock wide enough for the session's clicks and a picture.
        auto* main = qobject_cast<QMainWindow*>(iface_->mainWindow());
        if (QScreen* screen = QGuiApplication::primaryScreen(); main != nullptr && screen) {
            main->setGeometry(screen->availableGeometry());
            main->resizeDocks({dock_}, {kSelfTestDockWidth}, Qt::Horizontal);
            // The picture shows the layer list from the top (the digitizer window sits
            // below it), not the file browser.
            if (!files.screenshot.empty()) {
                for (QDockWidget* d : main->findChildren<QDockWidget*>()) {
                    if (d->objectName().startsWith(QStringLiteral("Browser"))) {
                        d->hide();
                    }
                }
            }
        }
        RunSelfTest(files, *session_, host);
    }

    void closeWhenUnwound() {
        auto* poll = new QTimer(action_);
        poll->setInterval(kUnwindPollMs);
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll] {
            if (session_ && session_->Busy()) {
                return;
            }
            if (session_) {
                session_->CloseWindow();
            }
            poll->deleteLater();
        });
        poll->start();
    }

    void teardown() {
        unload();
        // The desktop owns the globe's window: take it out of the dock before the dock goes.
        if (globe_ != nullptr) {
            globe_->hide();
            globe_->setParent(globeParent_);
        }
        session_.reset();
        delete dock_;
        dock_ = nullptr;
        delete action_;
        action_ = nullptr;
    }

    QgisInterface* iface_;
    std::unique_ptr<PluginSession> session_;
    QAction* action_ = nullptr;
    QDockWidget* dock_ = nullptr;
    QWidget* dockBody_ = nullptr;
    QgsMapLayerComboBox* terrainBox_ = nullptr;
    QPointer<QWidget> globe_;
    QWidget* globeParent_ = nullptr;
    bool globeInDock_ = false;
    bool unloading_ = false;
    std::vector<QMetaObject::Connection> connections_;
};

} // namespace scribeline::qgisplugin

// ---- the functions QGIS's plugin registry resolves ----

QGISEXTERN QgisPlugin* classFactory(QgisInterface* iface) {
    return new scribeline::qgisplugin::ScribelinePlugin(iface);
}

QGISEXTERN const QString* name() {
    return &scribeline::qgisplugin::kName;
}

QGISEXTERN const QString* description() {
    return &scribeline::qgisplugin::kDescription;
}

QGISEXTERN const QString* category() {
    return &scribeline::qgisplugin::kCategory;
}

QGISEXTERN const QString* version() {
    return &scribeline::qgisplugin::kVersion;
}

QGISEXTERN const QString* icon() {
    static const QString none;
    return &none;
}

QGISEXTERN int type() {
    return QgisPlugin::UI;
}

QGISEXTERN void unload(QgisPlugin* plugin) {
    if (auto* p = dynamic_cast<scribeline::qgisplugin::ScribelinePlugin*>(plugin)) {
        p->release();
    } else {
        delete plugin;
    }
}
