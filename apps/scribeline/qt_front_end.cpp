#include "apps/scribeline/qt_front_end.hpp"

#include "command/clsScribeline.hpp"
#include "frontends/qt/desk.hpp"
#include "frontends/qt/session_driver.hpp"
#include "hosts/qtdesktop/qt_input.hpp"

#include <QAction>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QToolButton>
#include <QTreeWidget>
#include <QWidget>

#include <chrono>

namespace scribeline::app {

namespace {

using frontend::SessionDriver;
using std::chrono::milliseconds;

// What a step's own events set off (attaching the widgets to a newly loaded window, the
// widgets following the model, a menu or dialog shown) runs before the next step.
void Settle() {
    SessionDriver::Wait(milliseconds(15));
}

class QtFrontEnd final : public FrontEnd {
public:
    explicit QtFrontEnd(const FrontEndSetup& setup) {
        frontend::DeskOptions options;
        options.dems = setup.dems;
        options.project = setup.project;
        options.outDir = setup.outDir;
        options.moduleFolder = setup.outDir; // screen shots land beside the report, as headless
        options.baseEarth = setup.baseEarth;
        options.worldMapSource = setup.worldMapSource;
        // The drape costs the event loop time the capture tick needs; the terrain shows.
        options.drape = false;
        options.quit = [] {};
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect r = screen->availableGeometry();
            options.screen = Rect{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
        }
        const auto camera = setup.camera;
        const Rect screen = options.screen;
        options.adjustGlobe = [camera, screen](globe::GlobeOptions& g) {
            // The headless render window's size, so a client point of the session is the same
            // ray onto the ground; the window is just the view, at the screen's top right
            // beside the map.
            const globe::GlobeOptions plain;
            const int width = plain.mainWindow.width() - plain.sidePanelWidth;
            const int height =
                plain.mainWindow.height() - plain.toolBarHeight - plain.statusBarHeight;
            g.mainWindow =
                Rect{screen.right - width, screen.top, screen.right, screen.top + height};
            g.sidePanelWidth = 0;
            g.toolBarHeight = 0;
            g.statusBarHeight = 0;
            g.dragNavigation = false;
            if (camera) {
                g.camera =
                    globe::CameraState{camera->latitude, camera->longitude, 0.0, 1, camera->range,
                                       camera->tilt,     camera->azimuth};
            }
        };
        try {
            desk_ = std::make_unique<frontend::Desk>(options);
        } catch (const frontend::DeskError& e) {
            throw std::runtime_error(e.what());
        }
        desk_->Show();
        // The digitizer window's widgets, and the field-definition dialog's while it is open.
        driver_ = std::make_unique<SessionDriver>(
            [this](const controls::Control& control) -> QWidget* {
                if (QWidget* widget = desk_->Digitizer().WidgetFor(control)) {
                    return widget;
                }
                frontend::FieldDialog* fields = desk_->Fields();
                return fields != nullptr ? fields->WidgetFor(control) : nullptr;
            },
            [this] { return desk_->Digitizer().FormWidget(); });
        started_ = desk_->Desktop().TickCount();
        Settle();
    }

    ~QtFrontEnd() override {
        driver_.reset();
        desk_.reset();
    }

    globe::SimulatedGlobe& Globe() override { return desk_->Globe(); }
    gis::GisHost& Host() override { return desk_->Host(); }
    clsScribeline& Command() override { return desk_->Command(); }
    [[nodiscard]] std::int64_t ElapsedMs() const override {
        return desk_->Desktop().TickCount() - started_;
    }

    void AnswerBoxes(std::function<BoxAnswer(const std::string&)> answer) override {
        desk_->Desktop().SetMessageBoxResponder([answer](const qtdesktop::MessageBoxShown& box) {
            const BoxAnswer a = answer(box.title);
            return qtdesktop::MessageBoxAnswer{a.result, a.keepOpenMs};
        });
    }
    [[nodiscard]] std::vector<ShownBox> Boxes() const override {
        std::vector<ShownBox> out;
        for (const auto& record : desk_->Desktop().MessageBoxes()) {
            out.push_back(ShownBox{record.box.title, record.box.text, record.result});
        }
        return out;
    }

    void PressCommand() override {
        // The command's button in the map window's tool bar.
        QAction* action = desk_->Map().CommandAction();
        QWidget* button = nullptr;
        if (action != nullptr) {
            for (QWidget* w : action->associatedWidgets()) {
                if (qobject_cast<QToolButton*>(w) != nullptr && w->isVisible()) {
                    button = w;
                }
            }
        }
        if (button != nullptr) {
            SessionDriver::Click(button, SessionDriver::Centre(button));
        } else {
            desk_->PressCommand();
        }
        // The window loads (its widgets attach after the click) or a run pauses or goes on.
        (void)SessionDriver::WaitUntil(
            [this] {
                const frmGE2Arc& w = desk_->Command().Window();
                return !w.IsLoaded() || driver_->FormWidget() != nullptr;
            },
            milliseconds(2000));
        Settle();
    }

    void Mouse(MouseMessage message, Point client, int wheelDelta) override {
        QWidget* render = desk_->Desktop().Widget(desk_->Globe().RenderWindow());
        if (render == nullptr) {
            throw std::runtime_error("the globe's render window is gone");
        }
        const QPoint at(client.x, client.y);
        switch (message) {
        case MouseMessage::Move:
            SessionDriver::Move(render, at, held_);
            break;
        case MouseMessage::LeftDown:
            held_ |= Qt::LeftButton;
            SessionDriver::Press(render, at, Qt::LeftButton);
            break;
        case MouseMessage::LeftUp:
            held_ &= ~Qt::MouseButtons(Qt::LeftButton);
            SessionDriver::Release(render, at, Qt::LeftButton);
            break;
        case MouseMessage::RightDown:
            held_ |= Qt::RightButton;
            SessionDriver::Press(render, at, Qt::RightButton);
            break;
        case MouseMessage::RightUp:
            held_ &= ~Qt::MouseButtons(Qt::RightButton);
            SessionDriver::Release(render, at, Qt::RightButton);
            break;
        case MouseMessage::Wheel:
            SessionDriver::Wheel(render, at, wheelDelta);
            break;
        default:
            break;
        }
        SessionDriver::Pump();
    }

    void Wait(int ms) override { SessionDriver::Wait(milliseconds(ms)); }

    void Key(const KeyChord& chord) override {
        desk_->Desktop().SetForegroundWindow(desk_->Command().Window().hWnd());
        (void)driver_->KeyChord(qtdesktop::qtKeyOf(chord), qtdesktop::qtModifiersOf(chord));
        Settle();
    }

    void CloseWindow() override {
        if (QWidget* form = desk_->Desktop().Widget(desk_->Command().Window().hWnd())) {
            form->close(); // the close box: the form may refuse
        }
        Settle();
    }

    bool Screenshot(const std::filesystem::path& file) override {
        // Once the globe shows the frame of the view as it is now.
        (void)desk_->Frames().WaitShown(std::chrono::seconds(30));
        Settle();
        QScreen* screen = QGuiApplication::primaryScreen();
        return screen != nullptr &&
               screen->grabWindow(0).save(QString::fromStdString(file.string()), "PNG");
    }

    void Toolbar(const std::string& key) override {
        (void)driver_->Toolbar(key);
        Settle();
    }

    MenuOutcome Menu(const std::string& item) override {
        // Left of every frame and below the toolbar, as on the headless desktop.
        const frontend::MenuChoice choice = driver_->ChooseMenuItem(item, QPoint(2, 60));
        Settle();
        switch (choice) {
        case frontend::MenuChoice::Chosen:
            return MenuOutcome::Chosen;
        case frontend::MenuChoice::NoMenu:
            return MenuOutcome::DidNotOpen;
        default:
            return MenuOutcome::NotAvailable;
        }
    }

    void Select(controls::OptionArray& options, int index) override {
        (void)driver_->Select(options, index);
        Settle();
    }
    void Choose(controls::ComboBox& list, int index) override {
        (void)driver_->Choose(list, index);
        Settle();
    }
    void Type(controls::TextBox& box, const std::string& text) override {
        (void)driver_->TypeInto(box, text);
        Settle();
    }
    void TypeKeys(controls::TextBox& box, const std::string& text, bool enter) override {
        Settle(); // a box just shown gets its widget
        QWidget* edit = desk_->Digitizer().WidgetFor(box);
        if (edit == nullptr) {
            return;
        }
        if (text == std::string(1, static_cast<char>(vk::Back))) {
            SessionDriver::Key(edit, Qt::Key_Backspace);
        } else {
            SessionDriver::Type(edit, QString::fromStdString(text));
        }
        if (enter) {
            SessionDriver::Key(edit, Qt::Key_Return);
        }
        Settle();
    }
    void Scroll(controls::ScrollBar& bar, int value) override {
        (void)driver_->Scroll(bar, value);
        Settle();
    }
    void Push(controls::Button& button) override {
        (void)driver_->Push(button);
        Settle();
    }
    void Click(controls::Image& image) override {
        (void)driver_->Push(image);
        Settle();
    }
    void ClickCell(controls::ListView& grid, int row, int column) override {
        auto* tree = qobject_cast<QTreeWidget*>(desk_->Digitizer().WidgetFor(grid));
        if (tree == nullptr || row < 0 || row >= tree->topLevelItemCount()) {
            return;
        }
        const QRect cell = tree->visualRect(tree->model()->index(row, std::max(column - 1, 0)));
        SessionDriver::Click(tree->viewport(), cell.center());
        Settle();
    }

private:
    std::unique_ptr<frontend::Desk> desk_;
    std::unique_ptr<SessionDriver> driver_;
    std::int64_t started_ = 0;
    Qt::MouseButtons held_ = Qt::NoButton;
};

} // namespace

std::unique_ptr<FrontEnd> StartQtFrontEnd(const FrontEndSetup& setup) {
    return std::make_unique<QtFrontEnd>(setup);
}

} // namespace scribeline::app
