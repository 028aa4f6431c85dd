#include "hosts/qtdesktop/qt_desktop.hpp"

#include "platform/hook_chain.hpp"

#include "hosts/desktop/send_keys.hpp"
#include "hosts/desktop/window_tree.hpp"
#include "hosts/qtdesktop/qt_input.hpp"

#include <QApplication>
#include <QBitmap>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QRegion>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <map>
#include <random>
#include <stdexcept>
#include <thread>
#include <unordered_map>

namespace scribeline::qtdesktop {

namespace {

constexpr WindowHandle kDesktopHandle = desktop::kDesktopWindow;
constexpr const char* kMessageBoxClass = "#32770";
constexpr std::uint32_t kDesktopColour = 0x003A6EA5;
// Timestamps of the events we send ourselves; real input carries 32-bit server times, so
// these never collide with it.
constexpr ulong kSyntheticStampBase = 1ul << 40;

QColor qColourOf(Colour c) {
    return {redOf(c), greenOf(c), blueOf(c)};
}

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

Bitmap bitmapOf(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    Bitmap b;
    b.width = image.width();
    b.height = image.height();
    b.pixels.resize(static_cast<std::size_t>(b.width) * static_cast<std::size_t>(b.height));
    for (int y = 0; y < b.height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < b.width; ++x) {
            b.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(b.width) +
                     static_cast<std::size_t>(x)] = row[x] & 0x00FFFFFFu;
        }
    }
    return b;
}

QImage imageOf(const Bitmap& b) {
    QImage image(b.width, b.height, QImage::Format_RGB32);
    for (int y = 0; y < b.height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < b.width; ++x) {
            row[x] = 0xFF000000u |
                     b.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(b.width) +
                              static_cast<std::size_t>(x)];
        }
    }
    return image;
}

QFont qFontOf(const Font& font) {
    QFont f(qs(font.face));
    f.setPointSizeF(font.size);
    f.setBold(font.bold);
    f.setItalic(font.italic);
    f.setUnderline(font.underline);
    f.setStrikeOut(font.strikethrough);
    return f;
}

// One drawing call kept on a window.
struct DrawOp {
    enum class Kind { Line, Circle, Rectangle, Text } kind = Kind::Line;
    Point from;
    Point to;
    int radius = 0;
    Pen pen;
    Colour fill = 0;
    Colour outline = 0;
    std::string text;
    Font font;
    Rect rect;
    unsigned flags = 0;

    [[nodiscard]] bool sameXor(const DrawOp& o) const {
        return kind == o.kind && from == o.from && to == o.to && pen.width == o.pen.width &&
               pen.op == RasterOp::Invert && o.pen.op == RasterOp::Invert;
    }
};

void paintOp(QPainter& p, const DrawOp& op) {
    const bool invert = op.pen.op == RasterOp::Invert;
    p.setCompositionMode(invert ? QPainter::RasterOp_SourceXorDestination
                                : QPainter::CompositionMode_SourceOver);
    QPen pen(invert ? QColor(Qt::white) : qColourOf(op.pen.colour));
    pen.setWidth(std::max(1, op.pen.width));
    pen.setCapStyle(Qt::SquareCap);
    p.setBrush(Qt::NoBrush);
    switch (op.kind) {
    case DrawOp::Kind::Line:
        p.setPen(pen);
        p.drawLine(QPoint(op.from.x, op.from.y), QPoint(op.to.x, op.to.y));
        break;
    case DrawOp::Kind::Rectangle:
        p.setPen(pen);
        // Right and bottom are exclusive: the outline covers the last pixel inside.
        p.drawRect(QRect(op.from.x, op.from.y, std::max(0, op.to.x - op.from.x - 1),
                         std::max(0, op.to.y - op.from.y - 1)));
        break;
    case DrawOp::Kind::Circle:
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.setPen(QPen(qColourOf(op.outline), 1));
        p.setBrush(qColourOf(op.fill));
        p.drawEllipse(QPoint(op.from.x, op.from.y), op.radius, op.radius);
        break;
    case DrawOp::Kind::Text: {
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.setPen(qColourOf(op.fill));
        p.setFont(qFontOf(op.font));
        int align = Qt::AlignTop;
        if ((op.flags & dt::Center) != 0) {
            align |= Qt::AlignHCenter;
        } else if ((op.flags & dt::Right) != 0) {
            align |= Qt::AlignRight;
        } else {
            align |= Qt::AlignLeft;
        }
        if ((op.flags & dt::VCenter) != 0) {
            align = (align & ~Qt::AlignTop) | Qt::AlignVCenter;
        }
        if ((op.flags & dt::SingleLine) == 0) {
            align |= Qt::TextWordWrap;
        }
        p.drawText(QRect(op.rect.left, op.rect.top, op.rect.width(), op.rect.height()), align,
                   qs(op.text));
        break;
    }
    }
}

// Paints a window's drawing calls above its own content and its children. Transparent for
// the mouse, so input still reaches what lies under it.
class OverlayWidget final : public QWidget {
public:
    explicit OverlayWidget(QWidget* target) : QWidget(target) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        setGeometry(target->rect());
        show();
        raise();
    }
    std::vector<DrawOp> ops;

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing, false);
        for (const DrawOp& op : ops) {
            paintOp(p, op);
        }
    }
};

// What the Qt desktop keeps per window beside the registry data of the window tree (handle,
// class, title, port parent, handler, children in z-order).
struct QtWindow {
    QPointer<QWidget> widget;
    bool owned = false;
    bool messageBox = false;
    QPointer<OverlayWidget> overlay;
    Size reportedSize{-1, -1};
    WindowRenderer renderer;
    QMetaObject::Connection destroyedConnection;
    // A hidden top-level window's outer rectangle, applied once its frame is known.
    std::optional<Rect> outer;

    // A widget the host deleted leaves its entry dead until the registry forgets it.
    [[nodiscard]] bool Alive() const { return !widget.isNull(); }
    // The widget of a live entry (the registry only hands out entries whose widget lives).
    [[nodiscard]] QWidget& w() const {
        QWidget* p = widget.data();
        if (p == nullptr) {
            throw PortError("window", "the widget is gone");
        }
        return *p;
    }
};

using WindowTree = desktop::WindowTree<QtWindow>;
using Entry = WindowTree::Node;

struct TimerEntry {
    QPointer<QTimer> timer;
    std::function<void()> callback;
    bool running = false;
};

class PortWindow;

} // namespace

struct QtDesktop::Impl : QObject {
    QtDesktop& self;
    QtDesktopOptions options;
    QElapsedTimer clock;
    std::mt19937 random;

    WindowTree tree; // z-order as the port knows it
    std::unordered_map<const QWidget*, WindowHandle> byWidget;
    WindowHandle foreground = kNoWindow;
    WindowHandle mainWindow = kNoWindow;

    Point cursor;
    Qt::MouseButtons buttons = Qt::NoButton;
    QPointer<QWidget> mouseCapture;
    QPointer<QWidget> toolWindowOwner; // null: top-level windows are windows of their own
    ulong nextStamp = kSyntheticStampBase;
    MessageBoxResponder responder;
    std::vector<MessageBoxRecord> boxes;

    HookHandle nextHook = 1;
    HookChain<MouseEvent> mouseHooks;
    HookChain<KeyEvent> keyboardHooks;

    // The input event the hooks saw last, to recognise Qt's repeats of one unaccepted event
    // up the parent chain.
    struct LastInput {
        QEvent::Type type = QEvent::None;
        ulong stamp = 0;
        QPoint global;
        int code = 0;
        int modifiers = 0;
        QPointer<QObject> receiver;
    } last;

    TimerHandle nextTimer = 1;
    std::map<TimerHandle, TimerEntry> timers;

    int handlerDepth = 0; // inside a window handler: widgets are deleted later, not now
    int reportedErrors = 0;

    explicit Impl(QtDesktop& owner) : self(owner) {}

    // ---- error barrier ----
    template <class F> bool guard(const char* where, F&& f) {
        try {
            f();
            return true;
        } catch (const std::exception& e) {
            report(std::string(where) + ": " + e.what());
        } catch (...) {
            report(std::string(where) + ": unknown exception");
        }
        return false;
    }
    void report(const std::string& text) {
        ++reportedErrors;
        if (options.errorReporter) {
            try {
                options.errorReporter(text);
                return;
            } catch (...) {
                // A failing reporter falls back to standard error below.
            }
        }
        std::cerr << "Scribeline: " << text << '\n';
    }

    // ---- registry ----
    Entry* find(WindowHandle h) { return tree.Find(h); }
    const Entry* find(WindowHandle h) const { return tree.Find(h); }
    WindowHandle root(WindowHandle h) const { return tree.Root(h); }
    // The registered window a widget belongs to: itself or its nearest registered ancestor.
    WindowHandle owning(const QWidget* w) const {
        for (; w != nullptr; w = w->parentWidget()) {
            auto it = byWidget.find(w);
            if (it != byWidget.end()) {
                return it->second;
            }
        }
        return kNoWindow;
    }
    WindowHandle add(QWidget* widget, const std::string& className, const std::string& title,
                     WindowHandle parent, IWindowHandler* handler, bool owned) {
        QtWindow data;
        data.widget = widget;
        data.owned = owned;
        Entry& e = tree.Add(className, title, parent, handler, std::move(data));
        const WindowHandle h = e.handle;
        e.destroyedConnection =
            QObject::connect(widget, &QObject::destroyed, this, [this, h] { widgetGone(h); });
        byWidget[widget] = h;
        if (!mouseHooks.Empty()) {
            widget->setMouseTracking(true);
        }
        return h;
    }
    // Lets go of everything that points at a window leaving the registry.
    void forget(Entry& e) {
        const WindowHandle h = e.handle;
        if (foreground == h) {
            foreground = kNoWindow;
        }
        if (mainWindow == h) {
            mainWindow = kNoWindow;
        }
        for (auto it = byWidget.begin(); it != byWidget.end();) {
            it = it->second == h ? byWidget.erase(it) : std::next(it);
        }
        QObject::disconnect(e.destroyedConnection);
    }
    // Destroys a registered window: children first, each handler told while its handle is
    // still valid, then our own widgets deleted (later when a handler of theirs is running).
    void destroy(WindowHandle h) {
        tree.Destroy(h, [this](Entry& e) {
            if (IWindowHandler* handler = e.handler) {
                guard("window destroy", [&] { handler->onDestroy(); });
            }
            forget(e);
            QPointer<QWidget> widget = e.widget;
            if (e.owned && widget) {
                widget->hide();
                if (handlerDepth > 0) {
                    widget->deleteLater();
                } else {
                    delete widget.data();
                }
            }
        });
    }
    // The host (or Qt) deleted a registered widget.
    void widgetGone(WindowHandle h) {
        Entry* e = tree.FindAny(h);
        if (e == nullptr || e->destroying) {
            return;
        }
        e->owned = false; // already on its way out
        destroy(h);
    }
    void close(WindowHandle h);

    // ---- geometry ----
    static QRect frameOf(const QWidget* w) {
        if (w->isWindow()) {
            return w->frameGeometry();
        }
        return {w->mapToGlobal(QPoint(0, 0)), w->size()};
    }
    static Rect rectOf(const QRect& r) {
        return {r.left(), r.top(), r.right() + 1, r.bottom() + 1};
    }
    bool shown(const Entry& e) const { return e.w().isVisible() && !e.w().window()->isMinimized(); }
    bool hits(const Entry& e, Point screen) const {
        const QRect r = frameOf(&e.w());
        if (!r.contains(screen.x, screen.y)) {
            return false;
        }
        const QRegion mask = e.w().mask();
        return mask.isEmpty() || mask.contains(QPoint(screen.x - r.left(), screen.y - r.top()));
    }
    WindowHandle windowFromPoint(Point screen) const {
        const WindowHandle h =
            tree.Deepest([&](const Entry& e, bool) { return shown(e) && hits(e, screen); });
        return h == kNoWindow ? kDesktopHandle : h;
    }
    void raise(WindowHandle h) {
        tree.Raise(h);
        Entry& e = tree.At(h);
        e.w().raise();
        if (e.overlay) {
            e.overlay->raise();
        }
    }
    // Top-level windows are placed by their outer rectangle, frame included; the frame is
    // known only while the window is shown, so a hidden window is placed again when shown.
    static void place(Entry& e, const Rect& outer) {
        QWidget* w = &e.w();
        w->move(outer.left, outer.top);
        QSize frame(0, 0);
        if (w->isVisible()) {
            frame = w->frameGeometry().size() - w->size();
        }
        w->resize(std::max(0, outer.width() - frame.width()),
                  std::max(0, outer.height() - frame.height()));
        e.outer = w->isVisible() ? std::nullopt : std::optional<Rect>(outer);
    }
    void shownNow(WindowHandle h) {
        Entry* e = find(h);
        if (e != nullptr && e->outer && e->w().isWindow() && e->w().isVisible()) {
            place(*e, *e->outer);
            reportResize(h);
        }
    }
    void reportResize(WindowHandle h) {
        Entry* e = find(h);
        if (e == nullptr) {
            return;
        }
        const Size size{e->w().width(), e->w().height()};
        if (e->overlay) {
            e->overlay->setGeometry(e->w().rect());
        }
        if (size == e->reportedSize) {
            return;
        }
        e->reportedSize = size;
        if (IWindowHandler* handler = e->handler) {
            ++handlerDepth;
            guard("window resize", [&] { handler->onResize(size); });
            --handlerDepth;
        }
    }

    // ---- hooks ----
    // A hook that throws is reported and passes the event on.
    template <class Event> auto guarded(const char* where) {
        return
            [this, where](const std::function<HookResult(const Event&)>& proc, const Event& event) {
                HookResult result = HookResult::Pass;
                guard(where, [&] { result = proc(event); });
                return result;
            };
    }
    bool mouseHooksDiscard(const MouseEvent& event) {
        return mouseHooks.Discards(event, guarded<MouseEvent>("mouse hook"));
    }
    bool keyboardHooksDiscard(const KeyEvent& event) {
        return keyboardHooks.Discards(event, guarded<KeyEvent>("keyboard hook"));
    }
    static bool synthetic(ulong stamp) { return stamp >= kSyntheticStampBase; }

    // True when this is Qt handing the same event to the next widget up the parent chain.
    bool repeatOfLast(QObject* receiver, QEvent::Type type, ulong stamp, QPoint global, int code,
                      int modifiers) {
        QObject* previous = last.receiver.data();
        const bool same =
            last.type == type && last.stamp == stamp && last.global == global &&
            last.code == code && last.modifiers == modifiers && previous != nullptr &&
            receiver->isWidgetType() && previous->isWidgetType() &&
            static_cast<QWidget*>(receiver)->isAncestorOf(static_cast<QWidget*>(previous));
        last = {type, stamp, global, code, modifiers, receiver};
        return same;
    }

    // The application event filter: real input reaches the hook chains here, once per event.
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove: {
            if (!watched->isWidgetType()) {
                return false; // the window-level copy; its widget gets the event next
            }
            auto* me = static_cast<QMouseEvent*>(event);
            if (synthetic(me->timestamp())) {
                return false; // our own input has been through the hooks already
            }
            const QPoint global = me->globalPos();
            if (repeatOfLast(watched, event->type(), me->timestamp(), global, me->button(),
                             static_cast<int>(me->modifiers()))) {
                return false;
            }
            const auto message = mouseMessageOf(event->type(), me->button());
            if (!message) {
                return false;
            }
            const Point at{global.x(), global.y()};
            if (*message == MouseMessage::Move && at == cursor) {
                return false; // the echo of a cursor move the port made itself
            }
            cursor = at;
            if (*message == MouseMessage::LeftDown || *message == MouseMessage::RightDown) {
                // The user clicked a window: it becomes the foreground window.
                const WindowHandle h = owning(static_cast<QWidget*>(watched));
                if (h != kNoWindow) {
                    foreground = root(h);
                }
            }
            MouseEvent e;
            e.message = *message;
            e.screen = at;
            return mouseHooksDiscard(e);
        }
        case QEvent::Wheel: {
            if (!watched->isWidgetType()) {
                return false;
            }
            auto* we = static_cast<QWheelEvent*>(event);
            if (synthetic(we->timestamp())) {
                return false;
            }
            const QPoint global = we->globalPosition().toPoint();
            if (repeatOfLast(watched, event->type(), we->timestamp(), global, we->angleDelta().y(),
                             static_cast<int>(we->modifiers()))) {
                return false;
            }
            MouseEvent e;
            e.message = MouseMessage::Wheel;
            e.screen = {global.x(), global.y()};
            e.wheelDelta = we->angleDelta().y();
            return mouseHooksDiscard(e);
        }
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            if (!watched->isWidgetType()) {
                return false;
            }
            auto* ke = static_cast<QKeyEvent*>(event);
            if (synthetic(ke->timestamp())) {
                return false;
            }
            if (repeatOfLast(watched, event->type(), ke->timestamp(), {}, ke->key(),
                             static_cast<int>(ke->modifiers()))) {
                return false;
            }
            return keyboardHooksDiscard(keyEventOf(*ke));
        }
        case QEvent::Resize:
            if (watched->isWidgetType()) {
                // Keep a host widget's overlay covering it.
                auto it = byWidget.find(static_cast<QWidget*>(watched));
                if (it != byWidget.end()) {
                    const Entry* e = find(it->second);
                    if (e != nullptr && e->overlay) {
                        e->overlay->setGeometry(e->w().rect());
                    }
                }
            }
            return false;
        case QEvent::ChildAdded:
            if (watched->isWidgetType()) {
                // A child added later must not cover the drawing on its parent.
                auto it = byWidget.find(static_cast<QWidget*>(watched));
                if (it != byWidget.end()) {
                    const Entry* e = find(it->second);
                    if (e != nullptr && e->overlay &&
                        static_cast<QChildEvent*>(event)->child() != e->overlay) {
                        QPointer<OverlayWidget> overlay = e->overlay;
                        QTimer::singleShot(0, overlay, [overlay] { overlay->raise(); });
                    }
                }
            }
            return false;
        default:
            return false;
        }
    }

    // ---- synthetic input ----
    void deliverMouse(const MouseEvent& event) {
        if (mouseHooksDiscard(event)) {
            return;
        }
        QWidget* target = mouseCapture.data();
        if (target == nullptr) {
            const Entry* e = find(windowFromPoint(event.screen));
            if (e == nullptr) {
                return;
            }
            target = &e->w();
            // Into the host's own child widgets (a canvas viewport) the registry does not know.
            const QPoint local = target->mapFromGlobal(QPoint(event.screen.x, event.screen.y));
            if (QWidget* child = target->childAt(local)) {
                target = child;
            }
        }
        const QtMouse q = qtMouseOf(event.message);
        if (q.type == QEvent::MouseButtonPress || q.type == QEvent::MouseButtonDblClick) {
            buttons |= q.button;
            mouseCapture = target;
        } else if (q.type == QEvent::MouseButtonRelease) {
            buttons &= ~Qt::MouseButtons(q.button);
            if (buttons == Qt::NoButton) {
                mouseCapture = nullptr;
            }
        }
        const QPointF global(event.screen.x, event.screen.y);
        const QPointF local = target->mapFromGlobal(global.toPoint());
        const QPointer<QWidget> guardTarget = target;
        if (q.type == QEvent::Wheel) {
            QWheelEvent wheel(local, global, QPoint(), QPoint(0, event.wheelDelta), buttons,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            wheel.setTimestamp(nextStamp++);
            QCoreApplication::sendEvent(target, &wheel);
        } else {
            const QPointF windowPos = target->window()->mapFromGlobal(global.toPoint());
            QMouseEvent mouse(q.type, local, windowPos, global, q.button, buttons, Qt::NoModifier);
            mouse.setTimestamp(nextStamp++);
            QCoreApplication::sendEvent(target, &mouse);
        }
    }
    QWidget* keyTarget() const {
        const Entry* e = find(foreground);
        if (e == nullptr) {
            return nullptr;
        }
        QWidget* focus = e->w().focusWidget();
        if (focus != nullptr && (focus == &e->w() || e->w().isAncestorOf(focus))) {
            return focus;
        }
        return &e->w();
    }

    // ---- drawing ----
    // The window drawing goes to and the offset from the caller's coordinates to its own.
    Entry* drawTarget(WindowHandle h, QPoint& offset) {
        offset = {};
        if (h != kDesktopHandle) {
            return find(h);
        }
        WindowHandle host = mainWindow;
        if (find(host) == nullptr) {
            host = foreground;
        }
        Entry* e = find(host);
        if (e != nullptr) {
            offset = e->w().mapFromGlobal(QPoint(0, 0));
        }
        return e;
    }
    void draw(WindowHandle h, DrawOp op) {
        QPoint offset;
        Entry* e = drawTarget(h, offset);
        if (e == nullptr) {
            return;
        }
        op.from = {op.from.x + offset.x(), op.from.y + offset.y()};
        op.to = {op.to.x + offset.x(), op.to.y + offset.y()};
        op.rect = {op.rect.left + offset.x(), op.rect.top + offset.y(), op.rect.right + offset.x(),
                   op.rect.bottom + offset.y()};
        OverlayWidget* overlay = e->overlay.data();
        if (overlay == nullptr) {
            overlay = new OverlayWidget(&e->w());
            e->overlay = overlay;
        }
        auto& ops = overlay->ops;
        // Inverting twice restores the picture: the pair cancels out.
        auto twin =
            std::find_if(ops.begin(), ops.end(), [&](const DrawOp& o) { return o.sameXor(op); });
        if (twin != ops.end()) {
            ops.erase(twin);
        } else {
            ops.push_back(std::move(op));
        }
        overlay->raise();
        overlay->update();
    }
};

namespace {

// A window the core created: forwards what Qt delivers to the port handler.
class PortWindow final : public QWidget {
public:
    PortWindow(QtDesktop::Impl& desktop, WindowHandle handle, QWidget* parent)
        : QWidget(parent), desktop_(desktop), handle_(handle) {
        setMouseTracking(true);
        setAutoFillBackground(true);
        // Keys go to the top-level port window, as the port delivers them to the foreground
        // window; its port children never take the focus.
        setFocusPolicy(parent == nullptr ? Qt::StrongFocus : Qt::NoFocus);
    }

protected:
    void mousePressEvent(QMouseEvent* e) override { mouse(e); }
    void mouseReleaseEvent(QMouseEvent* e) override { mouse(e); }
    void mouseDoubleClickEvent(QMouseEvent* e) override { mouse(e); }
    void mouseMoveEvent(QMouseEvent* e) override { mouse(e); }
    void wheelEvent(QWheelEvent* e) override {
        MouseEvent m;
        m.message = MouseMessage::Wheel;
        const QPoint global = e->globalPosition().toPoint();
        m.screen = {global.x(), global.y()};
        m.wheelDelta = e->angleDelta().y();
        m.injected = QtDesktop::Impl::synthetic(e->timestamp());
        const QPoint local = e->position().toPoint();
        call("window mouse", [&](IWindowHandler& h) { h.onMouse(m, {local.x(), local.y()}); });
        e->accept();
    }
    void keyPressEvent(QKeyEvent* e) override { key(e); }
    void keyReleaseEvent(QKeyEvent* e) override { key(e); }
    void resizeEvent(QResizeEvent* /*event*/) override { desktop_.reportResize(handle_); }
    void closeEvent(QCloseEvent* e) override {
        // The user's close box: the handler may refuse; accepted, the port destroys the
        // window once the event is over.
        e->ignore();
        QtDesktop::Impl* desktop = &desktop_;
        const WindowHandle h = handle_;
        QMetaObject::invokeMethod(
            desktop, [desktop, h] { desktop->close(h); }, Qt::QueuedConnection);
    }
    void paintEvent(QPaintEvent* e) override {
        const Entry* entry = desktop_.tree.FindAny(handle_);
        if (entry == nullptr || !entry->renderer) {
            QWidget::paintEvent(e);
            return;
        }
        Bitmap picture;
        const WindowRenderer renderer = entry->renderer;
        desktop_.guard("window renderer", [&] { picture = renderer({width(), height()}); });
        if (picture.width > 0 && picture.height > 0 &&
            picture.pixels.size() == static_cast<std::size_t>(picture.width) *
                                         static_cast<std::size_t>(picture.height)) {
            QPainter p(this);
            p.drawImage(rect(), imageOf(picture));
        }
    }

private:
    template <class F> void call(const char* where, F&& f) {
        const Entry* entry = desktop_.tree.FindAny(handle_);
        if (entry == nullptr || entry->handler == nullptr || entry->destroying) {
            return;
        }
        IWindowHandler* handler = entry->handler;
        ++desktop_.handlerDepth;
        desktop_.guard(where, [&] { f(*handler); });
        --desktop_.handlerDepth;
    }
    void mouse(QMouseEvent* e) {
        e->accept();
        const auto message = mouseMessageOf(e->type(), e->button());
        if (!message) {
            return;
        }
        MouseEvent m;
        m.message = *message;
        m.screen = {e->globalPos().x(), e->globalPos().y()};
        m.injected = QtDesktop::Impl::synthetic(e->timestamp());
        const Point client{e->pos().x(), e->pos().y()};
        call("window mouse", [&](IWindowHandler& h) { h.onMouse(m, client); });
    }
    void key(QKeyEvent* e) {
        e->accept();
        const KeyEvent k = keyEventOf(*e);
        call("window key", [&](IWindowHandler& h) { h.onKey(k); });
    }

    QtDesktop::Impl& desktop_;
    WindowHandle handle_;
};

} // namespace

void QtDesktop::Impl::close(WindowHandle h) {
    Entry* e = find(h);
    if (e == nullptr) {
        return;
    }
    if (e->messageBox) {
        // The box's own loop ends and unregisters it.
        auto* box = static_cast<QMessageBox*>(&e->w());
        box->setProperty("scribelineClosedByMessage", true);
        box->done(0);
        return;
    }
    bool accept = true;
    if (IWindowHandler* handler = e->handler) {
        ++handlerDepth;
        if (!guard("window close", [&] { accept = handler->onClose(); })) {
            accept = false; // a failing handler keeps its window
        }
        --handlerDepth;
    }
    if (accept) {
        destroy(h);
    }
}

// ---- construction ----

QtDesktop::QtDesktop(QtDesktopOptions options) : impl_(std::make_unique<Impl>(*this)) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        throw PortError("QtDesktop", "a QApplication must exist before the desktop");
    }
    impl_->options = std::move(options);
    impl_->toolWindowOwner = impl_->options.toolWindowOwner;
    impl_->clock.start();
    impl_->random.seed(std::random_device{}());
    const QPoint pos = QCursor::pos();
    impl_->cursor = {pos.x(), pos.y()};
    QCoreApplication::instance()->installEventFilter(impl_.get());
}

QtDesktop::~QtDesktop() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeEventFilter(impl_.get());
    }
    for (auto& [id, t] : impl_->timers) {
        delete t.timer.data();
    }
    std::vector<QPointer<QWidget>> owned;
    for (auto& [h, e] : impl_->tree.Nodes()) {
        QObject::disconnect(e.destroyedConnection);
        if (e.owned) {
            owned.push_back(e.widget);
        }
        delete e.overlay.data();
    }
    impl_->tree.Clear();
    for (const QPointer<QWidget>& w : owned) {
        delete w.data(); // a parent deleted earlier has taken its children with it
    }
}

// ---- windows ----

WindowHandle QtDesktop::CreateWindow(const WindowSpec& params, IWindowHandler* handler) {
    const WindowHandle parent = params.parent == kDesktopHandle ? kNoWindow : params.parent;
    QWidget* parentWidget = nullptr;
    if (parent != kNoWindow) {
        Entry* p = impl_->find(parent);
        if (p == nullptr) {
            throw PortError("CreateWindow", "parent window does not exist");
        }
        parentWidget = &p->w();
    }
    const WindowHandle h = impl_->tree.NextHandle(); // add() takes this one
    auto* w = new PortWindow(*impl_, h, parentWidget);
    if (parentWidget == nullptr && impl_->toolWindowOwner) {
        w->setParent(impl_->toolWindowOwner, Qt::Tool);
    }
    w->setWindowTitle(qs(params.title));
    impl_->add(w, params.className, params.title, parent, handler, true);
    Entry& e = impl_->tree.At(h);
    const Rect& r = params.rect;
    if (parentWidget == nullptr) {
        Impl::place(e, r);
    } else {
        w->setGeometry(r.left, r.top, std::max(0, r.width()), std::max(0, r.height()));
    }
    e.reportedSize = {w->width(), w->height()};
    if (params.visible) {
        w->show();
        impl_->shownNow(h);
    }
    return h;
}

WindowHandle QtDesktop::RegisterForeign(QWidget* widget, const std::string& className,
                                        const std::string& title, WindowHandle parent) {
    if (widget == nullptr) {
        throw PortError("RegisterForeign", "no widget");
    }
    if (impl_->byWidget.count(widget) != 0) {
        throw PortError("RegisterForeign", "widget already registered");
    }
    if (parent == kDesktopHandle) {
        parent = kNoWindow;
    }
    if (parent != kNoWindow && impl_->find(parent) == nullptr) {
        throw PortError("RegisterForeign", "parent window does not exist");
    }
    const WindowHandle h = impl_->add(widget, className, title, parent, nullptr, false);
    impl_->tree.At(h).reportedSize = {widget->width(), widget->height()};
    return h;
}

void QtDesktop::DestroyWindow(WindowHandle window) {
    if (window != kDesktopHandle && impl_->find(window) != nullptr) {
        impl_->destroy(window);
    }
}

bool QtDesktop::IsWindow(WindowHandle window) const {
    return window == kDesktopHandle || impl_->find(window) != nullptr;
}

std::optional<Rect> QtDesktop::GetWindowRect(WindowHandle window) const {
    if (window == kDesktopHandle) {
        const Size s = GetScreenSize();
        return Rect{0, 0, s.width, s.height};
    }
    const Entry* e = impl_->find(window);
    if (e == nullptr) {
        return std::nullopt;
    }
    return Impl::rectOf(Impl::frameOf(&e->w()));
}

std::optional<Rect> QtDesktop::GetClientRect(WindowHandle window) const {
    if (window == kDesktopHandle) {
        const Size s = GetScreenSize();
        return Rect{0, 0, s.width, s.height};
    }
    const Entry* e = impl_->find(window);
    if (e == nullptr) {
        return std::nullopt;
    }
    return Rect{0, 0, e->w().width(), e->w().height()};
}

std::string QtDesktop::GetClassName(WindowHandle window) const {
    if (window == kDesktopHandle) {
        return "#32769";
    }
    const Entry* e = impl_->find(window);
    return e == nullptr ? std::string() : e->className;
}

std::string QtDesktop::GetWindowText(WindowHandle window) const {
    const Entry* e = impl_->find(window);
    return e == nullptr ? std::string() : e->title;
}

void QtDesktop::SetWindowText(WindowHandle window, const std::string& text) {
    if (Entry* e = impl_->find(window)) {
        e->title = text;
        e->w().setWindowTitle(qs(text));
    }
}

WindowHandle QtDesktop::GetParent(WindowHandle window) const {
    const Entry* e = impl_->find(window);
    return e == nullptr ? kNoWindow : e->parent;
}

WindowHandle QtDesktop::SetParent(WindowHandle child, WindowHandle newParent) {
    const std::optional<WindowHandle> old = impl_->tree.Reparent(child, newParent);
    if (!old) {
        return kNoWindow;
    }
    Entry* e = impl_->find(child);
    const WindowHandle parent = e->parent;
    QWidget* parentWidget = parent == kNoWindow ? nullptr : &impl_->tree.At(parent).w();
    // Same numbers, now relative to the new parent's client area.
    // The window keeps its outer size: a frame is gained or lost with the top-level state.
    QWidget* w = &e->w();
    const QRect before = Impl::frameOf(w);
    const QPoint pos = w->isWindow() ? before.topLeft() : w->pos();
    const bool wasShown = !w->isHidden();
    w->setParent(parentWidget, parentWidget == nullptr ? Qt::Window : Qt::Widget);
    if (wasShown) {
        w->show();
    }
    if (parentWidget == nullptr) {
        Impl::place(*e, {pos.x(), pos.y(), pos.x() + before.width(), pos.y() + before.height()});
    } else {
        e->outer.reset();
        w->setGeometry(QRect(pos, before.size()));
    }
    impl_->reportResize(child);
    return *old;
}

WindowHandle QtDesktop::WindowFromPoint(Point screen) const {
    return impl_->windowFromPoint(screen);
}

std::optional<Point> QtDesktop::ClientToScreen(WindowHandle window, Point client) const {
    if (window == kDesktopHandle) {
        return client;
    }
    const Entry* e = impl_->find(window);
    if (e == nullptr) {
        return std::nullopt;
    }
    const QPoint p = e->w().mapToGlobal(QPoint(client.x, client.y));
    return Point{p.x(), p.y()};
}

std::optional<Point> QtDesktop::ScreenToClient(WindowHandle window, Point screen) const {
    if (window == kDesktopHandle) {
        return screen;
    }
    const Entry* e = impl_->find(window);
    if (e == nullptr) {
        return std::nullopt;
    }
    const QPoint p = e->w().mapFromGlobal(QPoint(screen.x, screen.y));
    return Point{p.x(), p.y()};
}

WindowHandle QtDesktop::FindWindowEx(WindowHandle parent, WindowHandle after,
                                     const std::optional<std::string>& className,
                                     const std::optional<std::string>& title) const {
    return impl_->tree.FindChild(parent, after, className, title);
}

WindowHandle QtDesktop::FindWindow(const std::optional<std::string>& className,
                                   const std::optional<std::string>& title) const {
    return FindWindowEx(kNoWindow, kNoWindow, className, title);
}

bool QtDesktop::SetForegroundWindow(WindowHandle window) {
    if (window == kDesktopHandle || impl_->find(window) == nullptr) {
        return false;
    }
    const WindowHandle top = impl_->root(window);
    impl_->foreground = top;
    impl_->raise(top);
    QWidget* w = impl_->tree.At(top).w().window();
    w->raise();
    w->activateWindow(); // asynchronous on X11; the port's own record is what counts
    return true;
}

WindowHandle QtDesktop::GetForegroundWindow() const {
    return impl_->find(impl_->foreground) == nullptr ? kNoWindow : impl_->foreground;
}

bool QtDesktop::IsIconic(WindowHandle window) const {
    const Entry* e = impl_->find(window);
    return e != nullptr && e->w().isWindow() && e->w().isMinimized();
}

bool QtDesktop::IsWindowVisible(WindowHandle window) const {
    if (window == kDesktopHandle) {
        return true;
    }
    const Entry* e = impl_->find(window);
    return e != nullptr && impl_->shown(*e);
}

void QtDesktop::ShowWindow(WindowHandle window, ShowCommand command) {
    Entry* e = impl_->find(window);
    if (e == nullptr) {
        return;
    }
    QWidget* w = &e->w();
    switch (command) {
    case ShowCommand::Hide:
        w->hide();
        if (impl_->foreground == window) {
            impl_->foreground = kNoWindow;
        }
        break;
    case ShowCommand::Show:
        w->show();
        impl_->shownNow(window);
        break;
    case ShowCommand::ShowModal:
        if (w->isWindow() && w->isMinimized()) {
            w->showNormal();
        }
        w->show();
        impl_->shownNow(window);
        SetForegroundWindow(window);
        break;
    case ShowCommand::Minimize:
        if (w->isWindow()) {
            w->showMinimized();
            if (impl_->foreground == window) {
                impl_->foreground = kNoWindow;
            }
        }
        break;
    case ShowCommand::Restore:
        if (w->isWindow()) {
            w->showNormal();
        }
        w->show();
        impl_->shownNow(window);
        break;
    }
}

bool QtDesktop::SetWindowPos(WindowHandle window, int x, int y, int width, int height,
                             unsigned flags) {
    Entry* e = impl_->find(window);
    if (e == nullptr) {
        return false;
    }
    QWidget* w = &e->w();
    if (w->isWindow()) {
        const QRect frame = w->frameGeometry();
        Rect outer{frame.left(), frame.top(), frame.left() + frame.width(),
                   frame.top() + frame.height()};
        if (e->outer) {
            outer = *e->outer;
        }
        if ((flags & swp::NoMove) == 0) {
            outer = {x, y, x + outer.width(), y + outer.height()};
        }
        if ((flags & swp::NoSize) == 0) {
            outer.right = outer.left + std::max(0, width);
            outer.bottom = outer.top + std::max(0, height);
        }
        Impl::place(*e, outer);
    } else if ((flags & swp::NoMove) == 0) {
        QPoint pos(x, y);
        // Port coordinates are the port parent's client pixels, which need not be the Qt
        // parent's for a foreign widget.
        if (!w->isWindow()) {
            const Entry* p = impl_->find(e->parent);
            if (p != nullptr && &p->w() != w->parentWidget()) {
                pos = w->parentWidget()->mapFromGlobal(p->w().mapToGlobal(pos));
            }
        }
        w->move(pos);
    }
    if (!w->isWindow() && (flags & swp::NoSize) == 0) {
        w->resize(std::max(0, width), std::max(0, height));
    }
    if ((flags & swp::NoZOrder) == 0) {
        impl_->raise(window);
    }
    impl_->reportResize(window); // hidden widgets hear of their new size only when shown
    return true;
}

void QtDesktop::SetWindowRegion(WindowHandle window, const WindowRegion& region) {
    Entry* e = impl_->find(window);
    if (e == nullptr) {
        return;
    }
    if (region.empty()) {
        e->w().clearMask();
        return;
    }
    QRegion mask;
    for (const Rect& r : region) {
        mask += QRect(r.left, r.top, r.width(), r.height());
    }
    e->w().setMask(mask);
}

void QtDesktop::PostCloseMessage(WindowHandle window) {
    if (impl_->find(window) == nullptr) {
        return;
    }
    Impl* impl = impl_.get();
    QMetaObject::invokeMethod(
        impl, [impl, window] { impl->close(window); }, Qt::QueuedConnection);
}

// ---- screen ----

Size QtDesktop::GetScreenSize() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return {};
    }
    const QRect g = screen->geometry();
    return {g.width(), g.height()};
}

int QtDesktop::TwipsPerPixelX() const {
    return impl_->options.twipsPerPixel;
}

int QtDesktop::TwipsPerPixelY() const {
    return impl_->options.twipsPerPixel;
}

WindowHandle QtDesktop::GetDesktopWindow() const {
    return kDesktopHandle;
}

// ---- hooks and input ----

HookHandle QtDesktop::SetMouseHook(MouseHookProc proc) {
    const HookHandle h = impl_->nextHook++;
    impl_->mouseHooks.Add(h, std::move(proc));
    // Moves without a button reach only widgets that track the mouse.
    for (auto& [id, e] : impl_->tree.Nodes()) {
        if (e.widget) {
            e.w().setMouseTracking(true);
        }
    }
    return h;
}

HookHandle QtDesktop::SetKeyboardHook(KeyboardHookProc proc) {
    const HookHandle h = impl_->nextHook++;
    impl_->keyboardHooks.Add(h, std::move(proc));
    return h;
}

bool QtDesktop::Unhook(HookHandle hook) {
    return impl_->mouseHooks.Remove(hook) || impl_->keyboardHooks.Remove(hook);
}

Point QtDesktop::GetCursorPos() const {
    return impl_->cursor;
}

void QtDesktop::SetCursorPos(Point screen) {
    const Size s = GetScreenSize();
    screen.x = std::clamp(screen.x, 0, std::max(0, s.width - 1));
    screen.y = std::clamp(screen.y, 0, std::max(0, s.height - 1));
    if (screen == impl_->cursor) {
        return;
    }
    impl_->cursor = screen;
    // Refused on some platforms (Wayland); the port's own cursor still moves.
    QCursor::setPos(screen.x, screen.y);
    MouseEvent e;
    e.message = MouseMessage::Move;
    e.screen = screen;
    e.injected = true;
    impl_->deliverMouse(e);
}

void QtDesktop::SendMouseInput(MouseMessage message) {
    MouseEvent e;
    e.message = message;
    e.screen = impl_->cursor;
    e.injected = true;
    impl_->deliverMouse(e);
}

void QtDesktop::SendKeys(const std::string& keys) {
    for (const KeyEvent& k : desktop::parseSendKeys(keys)) {
        if (impl_->keyboardHooksDiscard(k)) {
            continue;
        }
        QWidget* target = impl_->keyTarget();
        if (target == nullptr) {
            continue;
        }
        const bool down = k.message == KeyMessage::KeyDown || k.message == KeyMessage::SysKeyDown;
        QKeyEvent event(down ? QEvent::KeyPress : QEvent::KeyRelease, qtKeyOf(k), qtModifiersOf(k),
                        qtTextOf(k));
        event.setTimestamp(impl_->nextStamp++);
        QCoreApplication::sendEvent(target, &event);
    }
}

// ---- message boxes ----

int QtDesktop::MessageBox(WindowHandle owner, const std::string& text, const std::string& title,
                          unsigned flags) {
    const unsigned buttons = flags & 0xF;
    QMessageBox::StandardButtons standard = QMessageBox::Ok;
    if (buttons == mb::OkCancel) {
        standard = QMessageBox::Ok | QMessageBox::Cancel;
    } else if (buttons == mb::YesNo) {
        standard = QMessageBox::Yes | QMessageBox::No;
    }
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (flags & 0xF0) {
    case mb::IconCritical:
        icon = QMessageBox::Critical;
        break;
    case mb::IconQuestion:
        icon = QMessageBox::Question;
        break;
    case mb::IconExclamation:
        icon = QMessageBox::Warning;
        break;
    case mb::IconInformation:
        icon = QMessageBox::Information;
        break;
    default:
        break;
    }
    const Entry* ownerEntry = impl_->find(owner);
    QWidget* parent = ownerEntry == nullptr ? nullptr : ownerEntry->w().window();
    QMessageBox box(icon, qs(title), qs(text), standard, parent);
    box.setWindowModality(Qt::ApplicationModal);
    const MessageBoxShown shown{owner, text, title, flags};
    std::optional<MessageBoxAnswer> scripted;
    if (impl_->responder) {
        scripted = impl_->responder(shown);
    }
    if (scripted) {
        // Answered as a person would press the button, once it stood open that long.
        QMessageBox::StandardButton button = QMessageBox::Ok;
        switch (scripted->result) {
        case idr::Cancel:
            button = QMessageBox::Cancel;
            break;
        case idr::Yes:
            button = QMessageBox::Yes;
            break;
        case idr::No:
            button = QMessageBox::No;
            break;
        default:
            break;
        }
        // The box is the timer's context: no answer arrives once it is gone.
        QMessageBox* target = &box;
        QTimer::singleShot(std::max(0, scripted->keepOpenMs), target,
                           [target, button] { target->done(button); });
    }
    const WindowHandle previousForeground = impl_->foreground;
    const WindowHandle h = impl_->add(&box, kMessageBoxClass, title, kNoWindow, nullptr, false);
    impl_->tree.At(h).messageBox = true;
    impl_->foreground = h;
    // The modal loop: timers and posted messages keep running, and may close the box.
    const int answer = box.exec();
    const bool closedByMessage = box.property("scribelineClosedByMessage").toBool();
    if (Entry* entry = impl_->tree.FindAny(h)) {
        entry->owned = false; // the box lives on this stack frame
        impl_->destroy(h);
    }
    if (impl_->find(previousForeground) != nullptr) {
        impl_->foreground = previousForeground;
    }
    const int closeResult = buttons == mb::Ok ? idr::Ok : idr::Cancel;
    int result = closeResult;
    if (!closedByMessage) {
        switch (answer) {
        case QMessageBox::Ok:
            result = idr::Ok;
            break;
        case QMessageBox::Cancel:
            result = idr::Cancel;
            break;
        case QMessageBox::Yes:
            result = idr::Yes;
            break;
        case QMessageBox::No:
            result = idr::No;
            break;
        default:
            break;
        }
    }
    if (scripted) {
        impl_->boxes.push_back(MessageBoxRecord{shown, result, closedByMessage});
    }
    return result;
}

void QtDesktop::SetMessageBoxResponder(MessageBoxResponder responder) {
    impl_->responder = std::move(responder);
}

const std::vector<MessageBoxRecord>& QtDesktop::MessageBoxes() const {
    return impl_->boxes;
}

// ---- time ----

void QtDesktop::Sleep(int milliseconds) {
    // Blocks without pumping: timers, hooks and window handlers wait for the next pump.
    std::this_thread::sleep_for(std::chrono::milliseconds(std::max(0, milliseconds)));
}

void QtDesktop::DoEvents() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

float QtDesktop::Timer() const {
    return static_cast<float>(QTime::currentTime().msecsSinceStartOfDay()) / 1000.0f;
}

DateTime QtDesktop::Now() const {
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
}

std::int64_t QtDesktop::TickCount() const {
    return impl_->clock.elapsed();
}

TimerHandle QtDesktop::SetTimer(int intervalMs, std::function<void()> callback) {
    if (intervalMs <= 0) {
        throw PortError("SetTimer", "interval must be positive");
    }
    const TimerHandle id = impl_->nextTimer++;
    auto* timer = new QTimer(impl_.get());
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(intervalMs);
    Impl* impl = impl_.get();
    QObject::connect(timer, &QTimer::timeout, impl, [impl, id] {
        auto it = impl->timers.find(id);
        if (it == impl->timers.end() || it->second.running) {
            return; // a callback still running in a nested loop does not run again
        }
        it->second.running = true;
        const auto run = it->second.callback; // the callback may kill its own timer
        impl->guard("timer", run);
        it = impl->timers.find(id);
        if (it != impl->timers.end()) {
            it->second.running = false;
        }
    });
    impl_->timers[id] = TimerEntry{timer, std::move(callback), false};
    timer->start();
    return id;
}

void QtDesktop::KillTimer(TimerHandle timer) {
    auto it = impl_->timers.find(timer);
    if (it == impl_->timers.end()) {
        return;
    }
    if (it->second.timer) {
        it->second.timer->stop();
        it->second.timer->deleteLater(); // it may be the timer whose callback is running
    }
    impl_->timers.erase(it);
}

// ---- random, folders ----

double QtDesktop::Rnd() {
    return std::uniform_real_distribution<double>(0.0, 1.0)(impl_->random);
}

void QtDesktop::Randomize() {
    impl_->random.seed(static_cast<std::uint32_t>(QDateTime::currentMSecsSinceEpoch()));
}

std::string QtDesktop::GetTempPath() const {
    std::string s = impl_->options.tempFolder.empty()
                        ? QDir(QDir::tempPath()).canonicalPath().toStdString()
                        : impl_->options.tempFolder.string();
    if (s.empty() || s.back() != '/') {
        s.push_back('/');
    }
    return s;
}

std::string QtDesktop::GetModuleFolder() const {
    std::filesystem::path folder = impl_->options.moduleFolder;
    if (folder.empty()) {
        // The file this code was linked into: the executable, or the plugin's shared library.
        Dl_info info{};
        if (dladdr(reinterpret_cast<const void*>(&bitmapOf), &info) != 0 &&
            info.dli_fname != nullptr) {
            std::error_code ignored;
            folder = std::filesystem::canonical(info.dli_fname, ignored).parent_path();
        }
        if (folder.empty()) {
            folder = QCoreApplication::applicationDirPath().toStdString();
        }
    }
    std::string s = folder.string();
    while (s.size() > 1 && s.back() == '/') {
        s.pop_back();
    }
    return s;
}

// ---- drawing ----

void QtDesktop::DrawLine(WindowHandle window, Point from, Point to, const Pen& pen) {
    DrawOp op;
    op.kind = DrawOp::Kind::Line;
    op.from = from;
    op.to = to;
    op.pen = pen;
    impl_->draw(window, std::move(op));
}

void QtDesktop::FillCircle(WindowHandle window, Point centre, int radius, Colour fill,
                           Colour outline) {
    DrawOp op;
    op.kind = DrawOp::Kind::Circle;
    op.from = centre;
    op.to = centre;
    op.radius = radius;
    op.fill = fill;
    op.outline = outline;
    impl_->draw(window, std::move(op));
}

void QtDesktop::DrawRectangle(WindowHandle window, const Rect& rect, const Pen& pen) {
    DrawOp op;
    op.kind = DrawOp::Kind::Rectangle;
    op.from = {rect.left, rect.top};
    op.to = {rect.right, rect.bottom};
    op.pen = pen;
    impl_->draw(window, std::move(op));
}

void QtDesktop::DrawText(WindowHandle window, const std::string& text, const Rect& rect,
                         const Font& font, Colour colour, unsigned flags) {
    DrawOp op;
    op.kind = DrawOp::Kind::Text;
    op.text = text;
    op.rect = rect;
    op.from = {rect.left, rect.top};
    op.to = op.from;
    op.font = font;
    op.fill = colour;
    op.flags = flags;
    impl_->draw(window, std::move(op));
}

Size QtDesktop::MeasureText(const std::string& text, const Font& font) const {
    const QFontMetrics metrics(qFontOf(font));
    return {metrics.horizontalAdvance(qs(text)), metrics.height()};
}

void QtDesktop::Repaint(WindowHandle window) {
    QPoint offset;
    Entry* e = impl_->drawTarget(window, offset);
    if (OverlayWidget* overlay = e == nullptr ? nullptr : e->overlay.data()) {
        overlay->ops.clear();
        overlay->update();
    }
    if (Entry* own = impl_->find(window)) {
        own->w().update();
    }
}

void QtDesktop::SetRenderer(WindowHandle window, WindowRenderer renderer) {
    if (Entry* e = impl_->find(window)) {
        e->renderer = std::move(renderer);
        e->w().update();
    }
}

int QtDesktop::OverlayItems(WindowHandle window) const {
    QPoint offset;
    Entry* e = impl_->drawTarget(window, offset);
    const OverlayWidget* overlay = e == nullptr ? nullptr : e->overlay.data();
    return overlay == nullptr ? 0 : static_cast<int>(overlay->ops.size());
}

// ---- capture ----

std::optional<Bitmap> QtDesktop::CaptureWindow(WindowHandle window) {
    if (window == kDesktopHandle) {
        return CaptureDesktop();
    }
    const Entry* e = impl_->find(window);
    if (e == nullptr) {
        return std::nullopt;
    }
    return bitmapOf(e->w().grab().toImage());
}

Bitmap QtDesktop::CaptureDesktop() {
    const Size s = GetScreenSize();
    QScreen* screen = QGuiApplication::primaryScreen();
    const QString platform = QGuiApplication::platformName();
    // Platforms without a real screen give nothing useful (or stale window buffers); there
    // and where grabbing is refused (Wayland) the picture is composed from the windows.
    if (screen != nullptr && platform != "offscreen" && platform != "minimal") {
        const QPixmap grabbed = screen->grabWindow(0);
        if (!grabbed.isNull() && grabbed.width() > 0) {
            return bitmapOf(grabbed.toImage());
        }
    }
    QImage image(std::max(1, s.width), std::max(1, s.height), QImage::Format_RGB32);
    image.fill(QColor::fromRgb(static_cast<QRgb>(kDesktopColour)));
    QPainter p(&image);
    for (WindowHandle h : impl_->tree.TopLevel()) {
        const Entry* e = impl_->find(h);
        if (e != nullptr && impl_->shown(*e)) {
            const QRect r = e->w().geometry();
            p.drawPixmap(r.topLeft(), e->w().grab());
        }
    }
    p.end();
    return bitmapOf(image);
}

// ---- inspection and errors ----

void QtDesktop::SetMainWindow(WindowHandle window) {
    impl_->mainWindow = window;
}

QWidget* QtDesktop::Widget(WindowHandle window) const {
    const Entry* e = impl_->find(window);
    return e == nullptr ? nullptr : e->widget.data();
}

WindowHandle QtDesktop::HandleOf(const QWidget* widget) const {
    auto it = impl_->byWidget.find(widget);
    return it == impl_->byWidget.end() ? kNoWindow : it->second;
}

void QtDesktop::SetErrorReporter(ErrorReporter reporter) {
    impl_->options.errorReporter = std::move(reporter);
}

int QtDesktop::ReportedErrors() const {
    return impl_->reportedErrors;
}

int QtDesktop::InstalledMouseHooks() const {
    return static_cast<int>(impl_->mouseHooks.Size());
}

int QtDesktop::InstalledKeyboardHooks() const {
    return static_cast<int>(impl_->keyboardHooks.Size());
}

int QtDesktop::ActiveTimers() const {
    return static_cast<int>(impl_->timers.size());
}

} // namespace scribeline::qtdesktop
