#include "hosts/desktop/headless_desktop.hpp"

#include "hosts/desktop/headless_windows.hpp"
#include "hosts/desktop/input_router.hpp"
#include "hosts/desktop/scheduler.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <system_error>

namespace scribeline::desktop {

namespace {

struct OpenBox {
    WindowHandle window = kNoWindow;
    bool closed = false;
    int result = 0;
};

class BoxHandler final : public IWindowHandler {
public:
    BoxHandler(OpenBox& box, int closeResult) : box_(box), closeResult_(closeResult) {}
    bool onClose() override {
        box_.closed = true;
        box_.result = closeResult_;
        return false; // the box's own loop destroys it
    }

private:
    OpenBox& box_;
    int closeResult_;
};

std::filesystem::path makeUniqueTempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "scribeline-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    }
    return std::filesystem::path(pattern);
}

} // namespace

// The public face composes the parts: windows (tree, geometry, pictures), the scheduler
// (virtual clock, timers, posted messages) and the input router (cursor, hooks, delivery).
struct HeadlessDesktop::Impl {
    explicit Impl(DesktopOptions opts)
        : options(std::move(opts)), windows(options.screen), input(windows, options.screen) {}

    DesktopOptions options;
    std::filesystem::path tempFolder;
    bool ownsTempFolder = false;
    std::mt19937 random;
    HeadlessWindows windows;
    InputRouter input;
    Scheduler scheduler;
    MessageBoxResponder responder;
    std::vector<MessageBoxRecord> boxes;
};

HeadlessDesktop::HeadlessDesktop(DesktopOptions options)
    : impl_(std::make_unique<Impl>(std::move(options))) {
    if (impl_->options.tempFolder.empty()) {
        impl_->tempFolder = makeUniqueTempFolder();
        impl_->ownsTempFolder = true;
    } else {
        std::filesystem::create_directories(impl_->options.tempFolder);
        impl_->tempFolder = std::filesystem::canonical(impl_->options.tempFolder);
    }
    impl_->random.seed(impl_->options.randomSeed);
}

HeadlessDesktop::~HeadlessDesktop() {
    // Handlers are not told: their owners may already be gone, and nothing can be done with a
    // window of a desktop that is going away.
    if (impl_->ownsTempFolder) {
        std::error_code ignored;
        std::filesystem::remove_all(impl_->tempFolder, ignored);
    }
}

// ---- windows ----

WindowHandle HeadlessDesktop::CreateWindow(const WindowSpec& params, IWindowHandler* handler) {
    return impl_->windows.Create(params, handler);
}

void HeadlessDesktop::DestroyWindow(WindowHandle window) {
    impl_->windows.Destroy(window);
}

bool HeadlessDesktop::IsWindow(WindowHandle window) const {
    return impl_->windows.Find(window) != nullptr;
}

std::optional<Rect> HeadlessDesktop::GetWindowRect(WindowHandle window) const {
    const auto* w = impl_->windows.Find(window);
    if (w == nullptr) {
        return std::nullopt;
    }
    return impl_->windows.ScreenRect(*w);
}

std::optional<Rect> HeadlessDesktop::GetClientRect(WindowHandle window) const {
    const auto* w = impl_->windows.Find(window);
    if (w == nullptr) {
        return std::nullopt;
    }
    return Rect{0, 0, w->rect.width(), w->rect.height()};
}

std::string HeadlessDesktop::GetClassName(WindowHandle window) const {
    const auto* w = impl_->windows.Find(window);
    return w == nullptr ? std::string() : w->className;
}

std::string HeadlessDesktop::GetWindowText(WindowHandle window) const {
    const auto* w = impl_->windows.Find(window);
    return w == nullptr ? std::string() : w->title;
}

void HeadlessDesktop::SetWindowText(WindowHandle window, const std::string& text) {
    if (auto* w = impl_->windows.Find(window)) {
        w->title = text;
    }
}

WindowHandle HeadlessDesktop::GetParent(WindowHandle window) const {
    const auto* w = impl_->windows.Find(window);
    return w == nullptr ? kNoWindow : w->parent;
}

WindowHandle HeadlessDesktop::SetParent(WindowHandle child, WindowHandle newParent) {
    return impl_->windows.SetParent(child, newParent);
}

WindowHandle HeadlessDesktop::WindowFromPoint(Point screen) const {
    return impl_->windows.WindowFromPoint(screen);
}

std::optional<Point> HeadlessDesktop::ClientToScreen(WindowHandle window, Point client) const {
    const auto* w = impl_->windows.Find(window);
    if (w == nullptr) {
        return std::nullopt;
    }
    const Point o = impl_->windows.Origin(*w);
    return Point{o.x + client.x, o.y + client.y};
}

std::optional<Point> HeadlessDesktop::ScreenToClient(WindowHandle window, Point screen) const {
    const auto* w = impl_->windows.Find(window);
    if (w == nullptr) {
        return std::nullopt;
    }
    const Point o = impl_->windows.Origin(*w);
    return Point{screen.x - o.x, screen.y - o.y};
}

WindowHandle HeadlessDesktop::FindWindowEx(WindowHandle parent, WindowHandle after,
                                           const std::optional<std::string>& className,
                                           const std::optional<std::string>& title) const {
    return impl_->windows.tree().FindChild(parent, after, className, title);
}

WindowHandle HeadlessDesktop::FindWindow(const std::optional<std::string>& className,
                                         const std::optional<std::string>& title) const {
    return FindWindowEx(kNoWindow, kNoWindow, className, title);
}

bool HeadlessDesktop::SetForegroundWindow(WindowHandle window) {
    return impl_->windows.SetForeground(window);
}

WindowHandle HeadlessDesktop::GetForegroundWindow() const {
    return impl_->windows.Foreground();
}

bool HeadlessDesktop::IsIconic(WindowHandle window) const {
    const auto* w = impl_->windows.Find(window);
    return w != nullptr && w->minimised;
}

bool HeadlessDesktop::IsWindowVisible(WindowHandle window) const {
    const auto* w = impl_->windows.Find(window);
    return w != nullptr && impl_->windows.Shown(*w);
}

void HeadlessDesktop::ShowWindow(WindowHandle window, ShowCommand command) {
    impl_->windows.Show(window, command);
}

bool HeadlessDesktop::SetWindowPos(WindowHandle window, int x, int y, int width, int height,
                                   unsigned flags) {
    return impl_->windows.SetPos(window, x, y, width, height, flags);
}

void HeadlessDesktop::SetWindowRegion(WindowHandle window, const WindowRegion& region) {
    if (auto* w = impl_->windows.Find(window)) {
        w->region = region;
    }
}

void HeadlessDesktop::PostCloseMessage(WindowHandle window) {
    if (impl_->windows.Find(window) != nullptr) {
        HeadlessWindows* windows = &impl_->windows;
        impl_->scheduler.Post([windows, window] { windows->Close(window); });
    }
}

void HeadlessDesktop::RequestClose(WindowHandle window) {
    impl_->windows.Close(window);
}

// ---- screen ----

Size HeadlessDesktop::GetScreenSize() const {
    return impl_->options.screen;
}
int HeadlessDesktop::TwipsPerPixelX() const {
    return impl_->options.twipsPerPixel;
}
int HeadlessDesktop::TwipsPerPixelY() const {
    return impl_->options.twipsPerPixel;
}
WindowHandle HeadlessDesktop::GetDesktopWindow() const {
    return kDesktopWindow;
}

// ---- hooks and input ----

HookHandle HeadlessDesktop::SetMouseHook(MouseHookProc proc) {
    return impl_->input.SetMouseHook(std::move(proc));
}

HookHandle HeadlessDesktop::SetKeyboardHook(KeyboardHookProc proc) {
    return impl_->input.SetKeyboardHook(std::move(proc));
}

bool HeadlessDesktop::Unhook(HookHandle hook) {
    return impl_->input.Unhook(hook);
}

void HeadlessDesktop::InjectMouse(MouseMessage message, Point screen, int wheelDelta, bool ready) {
    impl_->input.InjectMouse(message, screen, wheelDelta, ready);
}

void HeadlessDesktop::InjectKey(const KeyEvent& event) {
    impl_->input.InjectKey(event);
}

Point HeadlessDesktop::GetCursorPos() const {
    return impl_->input.Cursor();
}

void HeadlessDesktop::SetCursorPos(Point screen) {
    impl_->input.MoveCursor(screen);
}

void HeadlessDesktop::SendMouseInput(MouseMessage message) {
    impl_->input.SendMouse(message);
}

void HeadlessDesktop::SendKeys(const std::string& keys) {
    impl_->input.SendKeys(keys);
}

// ---- message boxes ----

int HeadlessDesktop::MessageBox(WindowHandle owner, const std::string& text,
                                const std::string& title, unsigned flags) {
    MessageBoxRecord record;
    record.owner = owner;
    record.text = text;
    record.title = title;
    record.flags = flags;
    record.openedAtMs = impl_->scheduler.Now();
    const unsigned buttons = flags & 0xF;
    const int closeResult = buttons == mb::Ok ? idr::Ok : idr::Cancel;
    OpenBox box;
    BoxHandler handler(box, closeResult);
    const Size s = impl_->options.screen;
    WindowSpec params{"#32770",
                      title,
                      kNoWindow,
                      {s.width / 2 - 150, s.height / 2 - 60, s.width / 2 + 150, s.height / 2 + 60},
                      true};
    box.window = CreateWindow(params, &handler);
    const WindowHandle previousForeground = impl_->windows.Foreground();
    SetForegroundWindow(box.window);

    const MessageBoxAnswer answer =
        impl_->responder ? impl_->responder(record) : MessageBoxAnswer{};
    // The modal loop: time passes while the box is open and timers keep running.
    impl_->scheduler.Advance(answer.keepOpenMs, [&box] { return box.closed; });
    record.closedByMessage = box.closed;
    record.result = box.closed ? box.result : answer.result;
    record.closedAtMs = impl_->scheduler.Now();
    impl_->windows.Destroy(box.window);
    impl_->windows.RestoreForeground(previousForeground);
    impl_->boxes.push_back(record);
    return record.result;
}

void HeadlessDesktop::SetMessageBoxResponder(MessageBoxResponder responder) {
    impl_->responder = std::move(responder);
}

const std::vector<MessageBoxRecord>& HeadlessDesktop::MessageBoxes() const {
    return impl_->boxes;
}

void HeadlessDesktop::ClearMessageBoxes() {
    impl_->boxes.clear();
}

// ---- drawing ----

namespace {

void record(HeadlessWindows& windows, WindowHandle window, DrawCall call) {
    if (auto* w = windows.Find(window)) {
        w->drawCalls.push_back(std::move(call));
    }
}

} // namespace

void HeadlessDesktop::DrawLine(WindowHandle window, Point from, Point to, const Pen& pen) {
    DrawCall d;
    d.kind = DrawKind::Line;
    d.from = from;
    d.to = to;
    d.pen = pen;
    record(impl_->windows, window, std::move(d));
}

void HeadlessDesktop::FillCircle(WindowHandle window, Point centre, int radius, Colour fill,
                                 Colour outline) {
    DrawCall d;
    d.kind = DrawKind::FilledCircle;
    d.from = centre;
    d.radius = radius;
    d.fill = fill;
    d.outline = outline;
    record(impl_->windows, window, std::move(d));
}

void HeadlessDesktop::DrawRectangle(WindowHandle window, const Rect& rect, const Pen& pen) {
    DrawCall d;
    d.kind = DrawKind::Rectangle;
    d.from = {rect.left, rect.top};
    d.to = {rect.right, rect.bottom};
    d.rect = rect;
    d.pen = pen;
    record(impl_->windows, window, std::move(d));
}

void HeadlessDesktop::DrawText(WindowHandle window, const std::string& text, const Rect& rect,
                               const Font& font, Colour colour, unsigned flags) {
    DrawCall d;
    d.kind = DrawKind::Text;
    d.text = text;
    d.rect = rect;
    d.from = {rect.left, rect.top};
    d.font = font;
    d.fill = colour;
    d.flags = flags;
    record(impl_->windows, window, std::move(d));
}

Size HeadlessDesktop::MeasureText(const std::string& text, const Font& font) const {
    // A fixed-pitch metric at 96 dpi: deterministic, and close to a proportional UI font.
    const double em = font.size * 96.0 / 72.0;
    const int charWidth = std::max(1, static_cast<int>(std::lround(em * (font.bold ? 0.6 : 0.55))));
    const int height = std::max(1, static_cast<int>(std::lround(em * 1.2)));
    return {charWidth * static_cast<int>(text.size()), height};
}

const std::vector<DrawCall>& HeadlessDesktop::DrawCalls(WindowHandle window) const {
    static const std::vector<DrawCall> none;
    const auto* w = impl_->windows.Find(window);
    return w == nullptr ? none : w->drawCalls;
}

void HeadlessDesktop::Repaint(WindowHandle window) {
    if (auto* w = impl_->windows.Find(window)) {
        w->drawCalls.clear();
    }
}

void HeadlessDesktop::SetRenderer(WindowHandle window, WindowRenderer renderer) {
    if (auto* w = impl_->windows.Find(window)) {
        w->renderer = std::move(renderer);
    }
}

// ---- time ----

void HeadlessDesktop::Sleep(int milliseconds) {
    impl_->scheduler.Sleep(milliseconds);
}

void HeadlessDesktop::DoEvents() {
    impl_->scheduler.RunDue();
}

void HeadlessDesktop::AdvanceTime(int milliseconds) {
    impl_->scheduler.Advance(milliseconds);
}

float HeadlessDesktop::Timer() const {
    const DateTime& s = impl_->options.start;
    const double startSeconds = s.hour * 3600.0 + s.minute * 60.0 + s.second;
    const double seconds =
        std::fmod(startSeconds + static_cast<double>(impl_->scheduler.Now()) / 1000.0, 86400.0);
    return static_cast<float>(seconds);
}

DateTime HeadlessDesktop::Now() const {
    using namespace std::chrono;
    const DateTime& s = impl_->options.start;
    const sys_days day = year{s.year} / month{static_cast<unsigned>(s.month)} /
                         std::chrono::day{static_cast<unsigned>(s.day)};
    const auto t = day + hours{s.hour} + minutes{s.minute} + seconds{s.second} +
                   milliseconds{impl_->scheduler.Now()};
    const sys_days d = floor<days>(t);
    const year_month_day ymd{d};
    const hh_mm_ss hms{floor<seconds>(t - d)};
    return {static_cast<int>(ymd.year()),
            static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day())),
            static_cast<int>(hms.hours().count()),
            static_cast<int>(hms.minutes().count()),
            static_cast<int>(hms.seconds().count())};
}

std::int64_t HeadlessDesktop::TickCount() const {
    return impl_->scheduler.Now();
}

TimerHandle HeadlessDesktop::SetTimer(int intervalMs, std::function<void()> callback) {
    return impl_->scheduler.SetTimer(intervalMs, std::move(callback));
}

void HeadlessDesktop::KillTimer(TimerHandle timer) {
    impl_->scheduler.KillTimer(timer);
}

int HeadlessDesktop::ActiveTimers() const {
    return impl_->scheduler.ActiveTimers();
}

// ---- random, folders ----

double HeadlessDesktop::Rnd() {
    return std::uniform_real_distribution<double>(0.0, 1.0)(impl_->random);
}

void HeadlessDesktop::Randomize() {
    // Seeded from the virtual clock, so a run stays reproducible.
    impl_->random.seed(static_cast<std::uint32_t>(impl_->scheduler.Now()) ^
                       impl_->options.randomSeed ^ 0x9E3779B9u);
}

std::string HeadlessDesktop::GetTempPath() const {
    std::string s = impl_->tempFolder.string();
    if (s.empty() || s.back() != '/') {
        s.push_back('/');
    }
    return s;
}

std::string HeadlessDesktop::GetModuleFolder() const {
    const auto& folder =
        impl_->options.moduleFolder.empty() ? impl_->tempFolder : impl_->options.moduleFolder;
    std::string s = folder.string();
    while (s.size() > 1 && s.back() == '/') {
        s.pop_back();
    }
    return s;
}

// ---- capture ----

std::optional<Bitmap> HeadlessDesktop::CaptureWindow(WindowHandle window) {
    if (window == kDesktopWindow) {
        return CaptureDesktop();
    }
    const auto* w = impl_->windows.Find(window);
    if (w == nullptr) {
        return std::nullopt;
    }
    return impl_->windows.Paint(*w);
}

Bitmap HeadlessDesktop::CaptureDesktop() {
    return impl_->windows.PaintDesktop();
}

// ---- inspection ----

const std::vector<std::string>& HeadlessDesktop::SentKeys() const {
    return impl_->input.SentKeys();
}
int HeadlessDesktop::InstalledMouseHooks() const {
    return impl_->input.InstalledMouseHooks();
}
int HeadlessDesktop::InstalledKeyboardHooks() const {
    return impl_->input.InstalledKeyboardHooks();
}
std::vector<WindowHandle> HeadlessDesktop::Children(WindowHandle parent) const {
    if (parent == kNoWindow || parent == kDesktopWindow) {
        return impl_->windows.tree().TopLevel();
    }
    const auto* w = impl_->windows.Find(parent);
    return w == nullptr ? std::vector<WindowHandle>{} : w->children;
}
std::vector<WindowHandle> HeadlessDesktop::TopLevelWindows() const {
    return impl_->windows.tree().TopLevel();
}
WindowRegion HeadlessDesktop::GetWindowRegion(WindowHandle window) const {
    const auto* w = impl_->windows.Find(window);
    return w == nullptr ? WindowRegion{} : w->region;
}

} // namespace scribeline::desktop
