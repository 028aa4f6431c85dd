#include "frontends/qt/map_window.hpp"

#include "frontends/qt/icons.hpp"
#include "hosts/gis/layers.hpp"
#include "hosts/gis/map.hpp"
#include "hosts/gis/render.hpp"

#include <QAction>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QRubberBand>
#include <QToolBar>
#include <QTreeWidget>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <string>

namespace scribeline::frontend {

// ---- the map view's picture ------------------------------------------------------------------

gis::GisHostOptions MapPicture::HostOptions(qtdesktop::QtDesktop& desktop,
                                            const std::shared_ptr<MapPicture>& picture,
                                            gis::GisHostOptions options) {
    std::weak_ptr<MapPicture> weak = picture;
    options.registerCaptureRenderer = [&desktop, weak](WindowHandle window,
                                                       std::function<Bitmap(Size)> renderer) {
        auto p = weak.lock();
        if (!p) {
            return;
        }
        p->render_ = std::move(renderer);
        p->cached_.reset();
        desktop.SetRenderer(window, [weak](Size size) {
            auto self = weak.lock();
            return self ? self->picture(size) : Bitmap{};
        });
    };
    options.repaint = [&desktop, weak](WindowHandle window) {
        auto p = weak.lock();
        if (p) {
            p->cached_.reset();
        }
        desktop.Repaint(window);
        if (QWidget* widget = desktop.Widget(window)) {
            widget->update();
        }
        if (p && p->onRepaint) {
            p->onRepaint();
        }
    };
    return options;
}

Bitmap MapPicture::picture(Size size) {
    if (!cached_ || cached_->width != size.width || cached_->height != size.height) {
        if (!render_) {
            return {};
        }
        cached_ = render_(size);
        ++renders_;
    }
    return *cached_;
}

// ---- the drape ---------------------------------------------------------------------------------

std::optional<globe::Image> RenderDrape(gis::GisHost& host, const globe::DrapeArea& area) {
    gis::Map& map = host.FocusMapImpl();
    const auto reference = map.SpatialReference();
    if (reference && reference->FactoryCode() != 4326) {
        return std::nullopt;
    }
    const Size size{area.Columns(), area.Rows()};
    gis::ActiveView view([size] { return size; }, [] {},
                         Envelope{area.west, area.south, area.east, area.north});
    const gis::RgbaImage map_picture = gis::RenderView(map, view, size, false);
    globe::Image image(map_picture.width, map_picture.height);
    for (std::size_t i = 0; i + 3 < map_picture.rgba.size(); i += 4) {
        const std::uint8_t* p = &map_picture.rgba[i];
        const bool background = p[0] == 255 && p[1] == 255 && p[2] == 255;
        image.rgba[i] = p[0];
        image.rgba[i + 1] = p[1];
        image.rgba[i + 2] = p[2];
        // Land tinted, not painted over: the hill shading stays readable through the map.
        image.rgba[i + 3] = background ? 0 : 150;
    }
    return image;
}

// ---- the map view's mouse ------------------------------------------------------------------

class MapWindow::ViewFilter final : public QObject {
public:
    explicit ViewFilter(MapWindow& window) : window_(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* view = qobject_cast<QWidget*>(watched);
        if (view == nullptr) {
            return false;
        }
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (e->button() == Qt::LeftButton) {
                last_ = e->pos();
                start_ = e->pos();
                if (e->modifiers() & Qt::ShiftModifier) {
                    box_ = new QRubberBand(QRubberBand::Rectangle, view);
                    box_->setGeometry(QRect(start_, QSize()));
                    box_->show();
                } else {
                    dragging_ = true;
                    view->setCursor(Qt::ClosedHandCursor);
                }
            }
            return false;
        }
        case QEvent::MouseMove: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (box_ != nullptr) {
                box_->setGeometry(QRect(start_, e->pos()).normalized());
            } else if (dragging_) {
                const QPoint d = e->pos() - last_;
                last_ = e->pos();
                if (d.x() != 0 || d.y() != 0) {
                    window_.Pan(d.x(), d.y());
                }
            }
            return false;
        }
        case QEvent::MouseButtonRelease: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (e->button() != Qt::LeftButton) {
                return false;
            }
            if (box_ != nullptr) {
                const QRect r = box_->geometry();
                delete box_;
                box_ = nullptr;
                if (r.width() > 4 && r.height() > 4) {
                    const double factor =
                        std::min(static_cast<double>(view->width()) / r.width(),
                                 static_cast<double>(view->height()) / r.height());
                    window_.Pan(view->width() / 2 - r.center().x(),
                                view->height() / 2 - r.center().y());
                    window_.ZoomAt({view->width() / 2, view->height() / 2}, factor);
                }
            }
            if (dragging_) {
                dragging_ = false;
                view->unsetCursor();
            }
            return false;
        }
        case QEvent::Wheel: {
            auto* e = static_cast<QWheelEvent*>(event);
            const int notches = e->angleDelta().y() / 120;
            if (notches != 0) {
                const QPoint at = e->position().toPoint();
                window_.ZoomAt({at.x(), at.y()}, std::pow(1.25, notches));
            }
            return true;
        }
        default:
            return false;
        }
    }

private:
    MapWindow& window_;
    bool dragging_ = false;
    QPoint last_;
    QPoint start_;
    QRubberBand* box_ = nullptr;
};

// The main window resized: the map view takes the new room, the tool bar and list follow.
class MapWindow::ResizeFilter final : public QObject {
public:
    explicit ResizeFilter(MapWindow& window) : window_(window) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            window_.fitView();
        }
        return false;
    }

private:
    MapWindow& window_;
};

// ---- the window --------------------------------------------------------------------------------

MapWindow::MapWindow(qtdesktop::QtDesktop& desktop, gis::GisHost& host,
                     std::shared_ptr<MapPicture> picture, ICommand& command)
    : desktop_(desktop), host_(host), picture_(std::move(picture)), command_(command) {
    build();
    picture_->onRepaint = [this] {
        RefreshLayers();
        RefreshCommand();
    };
    RefreshLayers();
    RefreshCommand();
}

MapWindow::~MapWindow() {
    picture_->onRepaint = nullptr;
    host_.Progress().changed = nullptr;
    if (QWidget* main = MainWidget()) {
        main->removeEventFilter(resize_.get());
    }
    if (QWidget* view = MapViewWidget()) {
        view->removeEventFilter(filter_.get());
    }
}

QWidget* MapWindow::MainWidget() const {
    return desktop_.Widget(host_.hWnd());
}
QWidget* MapWindow::MapViewWidget() const {
    return desktop_.Widget(host_.MapViewWindow());
}

void MapWindow::build() {
    QWidget* main = MainWidget();
    if (main == nullptr) {
        return;
    }
    toolbar_ = new QToolBar(main);
    toolbar_->setIconSize(QSize(24, 24));
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    commandAction_ =
        toolbar_->addAction(Icon("scribeline"), QString::fromStdString(command_.Caption()));
    commandAction_->setToolTip(QString::fromStdString(command_.Tooltip()));
    commandAction_->setStatusTip(QString::fromStdString(command_.Message()));
    commandAction_->setCheckable(true);
    QObject::connect(commandAction_, &QAction::triggered, &context_, [this] {
        try {
            command_.OnClick();
        } catch (...) {
            // The command traps its own failures; nothing may cross the event loop.
        }
        RefreshCommand();
        if (afterCommand) {
            afterCommand();
        }
    });
    toolbar_->addSeparator();
    auto addTool = [this](const char* icon, const char* text, auto action) {
        QAction* a = toolbar_->addAction(Icon(icon), QString::fromUtf8(text));
        a->setToolTip(QString::fromUtf8(text));
        QObject::connect(a, &QAction::triggered, &context_, action);
        return a;
    };
    addTool("zoom_in", "Zoom In", [this] {
        if (QWidget* v = MapViewWidget()) {
            ZoomAt({v->width() / 2, v->height() / 2}, 2.0);
        }
    });
    addTool("zoom_out", "Zoom Out", [this] {
        if (QWidget* v = MapViewWidget()) {
            ZoomAt({v->width() / 2, v->height() / 2}, 0.5);
        }
    });
    addTool("full_extent", "Full Extent", [this] { ZoomToFullExtent(); });
    addTool("zoom_layer", "Zoom To Layer",
            [this] { ZoomToLayer(layers_ != nullptr ? layers_->currentIndex().row() : -1); });

    layers_ = new QTreeWidget(main);
    layers_->setColumnCount(2);
    layers_->setHeaderLabels({QStringLiteral("Layers"), QStringLiteral("Features")});
    layers_->header()->setStretchLastSection(false);
    layers_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    layers_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    layers_->setRootIsDecorated(false);
    layers_->setToolTip(QStringLiteral("Tick a layer to show it; double-click to zoom to it"));
    QObject::connect(
        layers_, &QTreeWidget::itemChanged, &context_, [this](QTreeWidgetItem* item, int column) {
            if (refreshingLayers_ || column != 0) {
                return;
            }
            const auto all = host_.FocusMapImpl().Layers();
            const int row = layers_->indexOfTopLevelItem(item);
            if (row < 0 || row >= static_cast<int>(all.size())) {
                return;
            }
            if (auto* f =
                    dynamic_cast<gis::FeatureLayer*>(all[static_cast<std::size_t>(row)].get())) {
                f->SetVisible(item->checkState(0) == Qt::Checked);
            } else if (auto* g = dynamic_cast<gis::GroupLayer*>(
                           all[static_cast<std::size_t>(row)].get())) {
                g->SetVisible(item->checkState(0) == Qt::Checked);
            } else if (auto* r = dynamic_cast<gis::RasterLayer*>(
                           all[static_cast<std::size_t>(row)].get())) {
                r->SetVisible(item->checkState(0) == Qt::Checked);
            }
            host_.DataView().Refresh();
        });
    QObject::connect(
        layers_, &QTreeWidget::itemDoubleClicked, &context_,
        [this](QTreeWidgetItem* item, int) { ZoomToLayer(layers_->indexOfTopLevelItem(item)); });

    status_ = new QLabel(main);
    progress_ = new QProgressBar(main);
    progress_->hide();
    // The host's step progressor has no range: the bar runs as a busy bar and the label counts
    // the steps. It follows the progressor's events, which come while the core stores features
    // and pumps the message loop between them.
    host_.Progress().changed = [this](const gis::ProgressEvent& e) { showProgress(e); };

    filter_ = std::make_unique<ViewFilter>(*this);
    if (QWidget* view = MapViewWidget()) {
        view->installEventFilter(filter_.get());
        view->setToolTip(
            QStringLiteral("Drag to pan, wheel to zoom, Shift + drag to zoom to a box"));
    }
    layout();
    toolbar_->show();
    layers_->show();
    resize_ = std::make_unique<ResizeFilter>(*this);
    main->installEventFilter(resize_.get());
}

void MapWindow::fitView() {
    QWidget* main = MainWidget();
    QWidget* view = MapViewWidget();
    if (main == nullptr || view == nullptr) {
        return;
    }
    const QRect v = view->geometry();
    const int width = std::max(main->width() - v.left() - 4, 50);
    const int height = std::max(main->height() - v.top() - 24, 50);
    if (width != v.width() || height != v.height()) {
        desktop_.SetWindowPos(host_.MapViewWindow(), v.left(), v.top(), width, height,
                              swp::NoZOrder);
        host_.DataView().Refresh();
    }
    layout();
}

void MapWindow::layout() {
    QWidget* main = MainWidget();
    QWidget* view = MapViewWidget();
    if (main == nullptr || view == nullptr) {
        return;
    }
    // The host placed its map view; the tool bar and the layer list take the space it left.
    const QRect v = view->geometry();
    toolbar_->setGeometry(0, 0, main->width(), std::max(v.top() - 4, 32));
    // The list leaves the room below it to the digitizer window, which the command places at
    // the window's bottom left corner.
    const int listHeight = std::max(v.height() - reserveBelowLayers_, 120);
    layers_->setGeometry(4, v.top(), std::max(v.left() - 8, 120), listHeight);
    const int barTop = v.bottom() + 2;
    const int barHeight = std::max(main->height() - barTop - 1, 16);
    progress_->setGeometry(main->width() - 214, barTop, 210, barHeight);
    status_->setGeometry(8, barTop, main->width() - 230, barHeight);
}

void MapWindow::ReserveBelowLayers(int pixels) {
    reserveBelowLayers_ = std::max(pixels, 0);
    layout();
}

void MapWindow::showProgress(const gis::ProgressEvent& e) {
    switch (e.kind) {
    case gis::ProgressEvent::Kind::Show:
        progress_->setRange(0, 0);
        progress_->show();
        status_->show();
        break;
    case gis::ProgressEvent::Kind::Hide:
        progress_->hide();
        status_->clear();
        return;
    default:
        break;
    }
    ++progressUpdates_;
    status_->setText(QStringLiteral("Storing features: %1").arg(e.position));
}

void MapWindow::RefreshCommand() {
    if (commandAction_ == nullptr) {
        return;
    }
    try {
        commandAction_->setEnabled(command_.Enabled());
        commandAction_->setChecked(command_.Checked());
    } catch (...) {
        commandAction_->setEnabled(false);
    }
}

namespace {

std::string CountText(gis::FeatureLayer& layer) {
    try {
        if (auto c = layer.FeatureClass()) {
            return std::to_string(c->FeatureCount(nullptr));
        }
    } catch (...) {
        return "?";
    }
    return "";
}

bool LayerVisible(ILayer& layer) {
    if (auto* f = dynamic_cast<gis::FeatureLayer*>(&layer)) {
        return f->Visible();
    }
    if (auto* g = dynamic_cast<gis::GroupLayer*>(&layer)) {
        return g->Visible();
    }
    if (auto* r = dynamic_cast<gis::RasterLayer*>(&layer)) {
        return r->Visible();
    }
    return true;
}

} // namespace

void MapWindow::RefreshLayers() {
    if (layers_ == nullptr) {
        return;
    }
    refreshingLayers_ = true;
    const auto all = host_.FocusMapImpl().Layers();
    while (layers_->topLevelItemCount() > static_cast<int>(all.size())) {
        delete layers_->takeTopLevelItem(layers_->topLevelItemCount() - 1);
    }
    for (std::size_t i = 0; i < all.size(); ++i) {
        QTreeWidgetItem* item = layers_->topLevelItem(static_cast<int>(i));
        if (item == nullptr) {
            item = new QTreeWidgetItem(layers_);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        }
        ILayer& layer = *all[i];
        item->setText(0, QString::fromStdString(layer.Name()));
        item->setCheckState(0, LayerVisible(layer) ? Qt::Checked : Qt::Unchecked);
        auto* feature = dynamic_cast<gis::FeatureLayer*>(&layer);
        item->setText(1,
                      feature != nullptr ? QString::fromStdString(CountText(*feature)) : QString());
    }
    refreshingLayers_ = false;
}

void MapWindow::setExtent(const Envelope& extent) {
    try {
        host_.DataView().SetExtent(extent);
        host_.DataView().Refresh();
    } catch (...) {
        // An extent the view refuses (empty, not finite) leaves the view as it was.
    }
}

void MapWindow::ZoomToFullExtent() {
    if (const auto full = host_.FocusMapImpl().FullExtent()) {
        setExtent(*full);
    }
}

bool MapWindow::ZoomToLayer(int row) {
    const auto all = host_.FocusMapImpl().Layers();
    if (row < 0 || row >= static_cast<int>(all.size())) {
        return false;
    }
    const auto extent = gis::LayerExtent(*all[static_cast<std::size_t>(row)],
                                         host_.FocusMapImpl().SpatialReference());
    if (!extent) {
        return false;
    }
    Envelope e = *extent;
    // A point layer of one feature has no size: show some ground around it.
    const double pad = std::max({(e.XMax - e.XMin) * 0.05, (e.YMax - e.YMin) * 0.05, 1e-3});
    e = Envelope{e.XMin - pad, e.YMin - pad, e.XMax + pad, e.YMax + pad};
    setExtent(e);
    return true;
}

void MapWindow::ZoomAt(Point at, double factor) {
    if (!(factor > 0.0)) {
        return;
    }
    auto& t = host_.DataView().Transformation();
    const Envelope e = t.VisibleBounds();
    const MapPoint p = t.ToMapPoint(at);
    // The point under the pointer stays under it.
    setExtent(Envelope{p.x - (p.x - e.XMin) / factor, p.y - (p.y - e.YMin) / factor,
                       p.x + (e.XMax - p.x) / factor, p.y + (e.YMax - p.y) / factor});
}

void MapWindow::Pan(int dx, int dy) {
    auto& t = host_.DataView().Transformation();
    const Envelope e = t.VisibleBounds();
    const MapPoint a = t.ToMapPoint({0, 0});
    const MapPoint b = t.ToMapPoint({dx, dy});
    const double mx = b.x - a.x;
    const double my = b.y - a.y;
    setExtent(Envelope{e.XMin - mx, e.YMin - my, e.XMax - mx, e.YMax - my});
}

} // namespace scribeline::frontend
