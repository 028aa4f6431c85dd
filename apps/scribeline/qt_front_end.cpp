#include "apps/scribeline/qt_front_end.hpp"

#include "command/clsScribeline.hpp"
#include "frontends/qt/desk.hpp"
#include "frontends/qt/session_driver.hpp"

#include <QAction>
#include <QPointer>
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

int QtKeyOf(int virtualKey) {
    if (virtualKey >= 0x70 && virtualKey <= 0x7B) {
        return Qt::Key_F1 + (virtualKey - 0x70);
    }
    if ((virtualKey >= 'A' && virtualKey <= 'Z') || (virtualKey >= '0' && virtualKey <= '9')) {
        return virtualKey; // Qt's keys for letters and digits are their codes too
    }
    switch (virtualKey) {
    case vk::Return:
        return Qt::Key_Return;
    case vk::Escape:
        return Qt::Key_Escape;
    case vk::Tab:
        return Qt::Key_Tab;
    case vk::Back:
        return Qt::Key_Backspace;
    case vk::Up:
        return Qt::Key_Up;
    case vk::Down:
        return Qt::Key_Down;
    case vk::Home:
        return Qt::Key_Home;
    case vk::End:
        return Qt::Key_End;
    default:
        return Qt::Key_unknown;
    }
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
        const auto camera = setup.camera;
        options.adjustGlobe = [camera](globe::GlobeOptions& g) {
            // The headless layout: the render window is as large and placed as there, so a
            // client point of the session is the same ray onto the ground.
            const globe::GlobeOptions plain;
            g.mainWindow = plain.mainWindow;
            g.sidePanelWidth = plain.sidePanelWidth;
            g.toolBarHeight = plain.toolBarHeight;
            g.statusBarHeight = plain.statusBarHeight;
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
        driver_ = std::make_unique<SessionDriver>(desk_->Digitizer());
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
        Qt::KeyboardModifiers modifiers = Qt::NoModifier;
        modifiers |= chord.shift ? Qt::ShiftModifier : Qt::NoModifier;
        modifiers |= chord.control ? Qt::ControlModifier : Qt::NoModifier;
        modifiers |= chord.alt ? Qt::AltModifier : Qt::NoModifier;
        desk_->Desktop().SetForegroundWindow(desk_->Command().Window().hWnd());
        (void)driver_->KeyChord(QtKeyOf(chord.virtualKey), modifiers);
        Settle();
    }

    void CloseWindow() override {
        if (QWidget* form = desk_->Desktop().Widget(desk_->Command().Window().hWnd())) {
            form->close(); // the close box: the form may refuse
        }
        Settle();
    }

    void Toolbar(const std::string& key) override {
        (void)driver_->Toolbar(key);
        Settle();
    }

    MenuOutcome Menu(const std::string& item) override {
        // Left of every frame and below the toolbar, as on the headless desktop.
        const frontend::MenuChoice choice = driver_->ChooseMenuItem(item, QPoint(2, 30));
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
