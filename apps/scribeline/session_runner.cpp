#include "apps/scribeline/session_runner.hpp"

#include "attributes/frmDefProperty.hpp"
#include "command/clsScribeline.hpp"
#include "composition/default_subsystems.hpp"
#include "hosts/desktop/headless_desktop.hpp"
#include "hosts/gis/gis_host.hpp"
#include "hosts/globe/base_earth.hpp"
#include "hosts/globe/raster_dem.hpp"
#include "hosts/globe/terrain_stack.hpp"
#include "hosts/stack/headless_stack.hpp"
#include "platform/key_chord.hpp"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <deque>
#include <fstream>
#include <map>
#include <set>
#include <variant>

namespace scribeline::app {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// The images of one control array, by index.
struct ImageGroup {
    std::vector<controls::Image*> images;
};

// The window's controls a session can work, by name.
using ControlRef =
    std::variant<controls::OptionArray*, controls::ComboBox*, controls::TextBox*,
                 controls::ScrollBar*, controls::Button*, controls::Image*, ImageGroup>;

// Found through the window's list of controls: option buttons as their groups, images of an
// array as one group.
std::map<std::string, ControlRef> ControlsOf(Controls& c) {
    std::map<std::string, ControlRef> m;
    c.ForEach([&m](controls::Control& control) {
        const std::string& name = control.Name();
        if (auto* o = dynamic_cast<controls::OptionButton*>(&control); o && o->Group()) {
            m.emplace(name, o->Group());
        } else if (auto* cbo = dynamic_cast<controls::ComboBox*>(&control)) {
            m.emplace(name, cbo);
        } else if (auto* t = dynamic_cast<controls::TextBox*>(&control)) {
            m.emplace(name, t);
        } else if (auto* bar = dynamic_cast<controls::ScrollBar*>(&control)) {
            m.emplace(name, bar);
        } else if (auto* b = dynamic_cast<controls::Button*>(&control)) {
            m.emplace(name, b);
        } else if (auto* i = dynamic_cast<controls::Image*>(&control)) {
            if (i->Index() < 0) {
                m.emplace(name, i);
            } else {
                auto [it, added] = m.emplace(name, ImageGroup{});
                (void)added;
                std::get<ImageGroup>(it->second).images.push_back(i);
            }
        }
    });
    return m;
}

// Which actions work which kinds of control.
const char* KindName(const ControlRef& ref) {
    static const char* names[] = {"an option group", "a drop-down list", "a text box",
                                  "a scroll bar",    "a button",         "an image",
                                  "an image array"};
    return names[ref.index()];
}

const char* ActionFor(const ControlRef& ref) {
    static const char* actions[] = {"select", "choose", "type", "scroll", "push", "push", "push"};
    return actions[ref.index()];
}

const char* GeometryName(GeometryType type) {
    switch (type) {
    case GeometryType::Point:
        return "point";
    case GeometryType::Multipoint:
        return "multipoint";
    case GeometryType::Polyline:
        return "polyline";
    case GeometryType::Polygon:
        return "polygon";
    default:
        return "other";
    }
}

using FileStamps = std::map<std::string, std::pair<std::uintmax_t, fs::file_time_type>>;

FileStamps StampFiles(const fs::path& folder) {
    FileStamps stamps;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec)) {
            stamps[fs::relative(it->path(), folder, ec).generic_string()] = {
                it->file_size(ec), it->last_write_time(ec)};
        }
    }
    return stamps;
}

struct QueuedAnswer {
    bool titled = false;
    std::string title;
    int result = idr::Ok;
    int keepOpenMs = 0;
};

// The headless desktop on its virtual clock: a person's acts are the control model's User...
// members and input injected into the desktop.
class HeadlessFrontEnd final : public FrontEnd {
public:
    // All borrowed; they outlive the front end.
    HeadlessFrontEnd(desktop::HeadlessDesktop& desk, globe::SimulatedGlobe& globe,
                     gis::GisHost& host, clsScribeline& command)
        : desk_(desk), globe_(globe), host_(host), command_(command) {}

    globe::SimulatedGlobe& Globe() override { return globe_; }
    gis::GisHost& Host() override { return host_; }
    clsScribeline& Command() override { return command_; }
    [[nodiscard]] std::int64_t ElapsedMs() const override { return desk_.TickCount(); }

    void AnswerBoxes(std::function<BoxAnswer(const std::string&)> answer) override {
        desk_.SetMessageBoxResponder([answer](const desktop::MessageBoxRecord& box) {
            const BoxAnswer a = answer(box.title);
            return desktop::MessageBoxAnswer{a.result, a.keepOpenMs};
        });
    }
    [[nodiscard]] std::vector<ShownBox> Boxes() const override {
        std::vector<ShownBox> out;
        for (const auto& box : desk_.MessageBoxes()) {
            out.push_back(ShownBox{box.title, box.text, box.result});
        }
        return out;
    }

    void PressCommand() override { command_.OnClick(); }
    void Mouse(MouseMessage message, Point client, int wheelDelta) override {
        const auto screen = desk_.ClientToScreen(globe_.RenderWindow(), client);
        if (!screen) {
            throw std::runtime_error("the globe's render window is gone");
        }
        desk_.InjectMouse(message, *screen, wheelDelta);
    }
    void Wait(int ms) override { desk_.AdvanceTime(ms); }
    void Key(const KeyChord& chord) override {
        desk_.SetForegroundWindow(command_.Window().hWnd());
        KeyEvent e = chord;
        desk_.InjectKey(e);
        e.message = chord.alt ? KeyMessage::SysKeyUp : KeyMessage::KeyUp;
        desk_.InjectKey(e);
    }
    void CloseWindow() override {
        desk_.RequestClose(command_.Window().hWnd());
        desk_.DoEvents();
    }
    void Toolbar(const std::string& key) override {
        command_.Window().ctl.toolbarScribeline.UserClick(key);
    }
    MenuOutcome Menu(const std::string& item) override {
        frmGE2Arc& w = command_.Window();
        // Left of every frame and below the toolbar.
        const Point client{2, 30};
        const Point screen = desk_.ClientToScreen(w.hWnd(), client).value_or(Point{});
        w.Errors().Run("The options menu", [&] { w.Form_RightButton(client, screen); });
        if (!w.Options().IsPoppedUp()) {
            return MenuOutcome::DidNotOpen;
        }
        return w.Options().Choose(item) ? MenuOutcome::Chosen : MenuOutcome::NotAvailable;
    }
    void Select(controls::OptionArray& options, int index) override { options.UserSelect(index); }
    void Choose(controls::ComboBox& list, int index) override { list.UserChoose(index); }
    void Type(controls::TextBox& box, const std::string& text) override {
        // A person empties the box with Backspace, then types.
        std::string keys(box.Text().size(), static_cast<char>(vk::Back));
        box.UserType(keys + text);
    }
    void TypeKeys(controls::TextBox& box, const std::string& text, bool enter) override {
        if (text == std::string(1, static_cast<char>(vk::Back))) {
            box.UserKey(vk::Back);
        } else {
            box.UserType(text);
        }
        if (enter) {
            box.UserKey(vk::Return);
        }
    }
    void Scroll(controls::ScrollBar& bar, int value) override { bar.UserSetValue(value); }
    void Push(controls::Button& button) override { button.UserClick(); }
    void Click(controls::Image& image) override {
        image.UserMouseDown();
        image.UserMouseUp();
        image.UserClick();
    }
    void ClickCell(controls::ListView& grid, int row, int column) override {
        grid.UserClickCell(row, column);
    }

private:
    desktop::HeadlessDesktop& desk_;
    globe::SimulatedGlobe& globe_;
    gis::GisHost& host_;
    clsScribeline& command_;
};

class Player {
public:
    Player(const Session& session, const RunOptions& options)
        : session_(session), options_(options) {}

    json Run();

private:
    void startHosts();
    // One row per action a session can name: how it is checked against the loaded window
    // before anything is played (null: nothing to check), and how it is played.
    struct Action {
        const char* name;
        void (*validate)(Player&, const Step&);
        void (*play)(Player&, const Step&);
    };
    static const std::vector<Action>& Actions();
    static const Action* FindAction(const std::string& name);

    void validate();
    void validateToolbar(const Step& step);
    void validateMenu(const Step& step);
    void validateControl(const Step& step);
    void validateKey(const Step& step);
    void validatePoints(const Step& step);
    void validateFields(const Step& step);
    void play(const Step& step);
    void playToolbar(const Step& step);
    void playMenu(const Step& step);
    void playKey(const Step& step);
    void playClose(const Step& step);
    void drag(const Step& step);
    void requireWindow(const Step& step) const;
    [[noreturn]] void fail(const Step& step, const std::string& field,
                           const std::string& problem) const {
        throw SessionError(StepError(session_, step, field, problem));
    }
    void mouse(MouseMessage message, Point client, int wheel = 0);
    BoxAnswer answerBox(const std::string& title);
    void control(const Step& step);
    void defineFields(const Step& step);
    void gridValue(const Step& step);
    void savePicture(const std::string& of, const std::string& file);
    void endActiveRun();
    json report();
    json layers();
    json terrainReport() const;
    void collectLayers(const std::shared_ptr<ILayer>& layer, json& out);
    void loadTerrain();
    json zSources(const fs::path& shapefile, json& warnings) const;

    const Session& session_;
    const RunOptions& options_;
    fs::path out_;
    FileStamps before_;
    FileStamps started_; // after the hosts started: what changes from here was written
    std::shared_ptr<const globe::ElevationModel> terrain_;
    json terrainWarnings_ = json::array();
    std::unique_ptr<stack::HeadlessStack> stack_; // owns the desktop and the globe below
    desktop::HeadlessDesktop* desk_ = nullptr;
    globe::SimulatedGlobe* globe_ = nullptr;
    std::shared_ptr<gis::GisHost> host_;
    std::unique_ptr<clsScribeline> command_;
    std::unique_ptr<FrontEnd> front_; // what the steps are played on
    std::map<std::string, ControlRef> controls_;
    std::deque<QueuedAnswer> answers_;
    std::vector<int> boxSteps_; // the step each message box opened in
    int currentStep_ = 0;
    json stepLog_ = json::array();
    json pictures_ = json::object();
    std::string outcome_;
    bool endedActiveRun_ = false;
    std::string error_;
};

void Player::startHosts() {
    stack::HeadlessStackOptions o;
    o.desktop.tempFolder = out_;
    o.globe->terrain = terrain_;
    if (session_.camera) {
        const CameraSpec& c = *session_.camera;
        o.globe->camera =
            globe::CameraState{c.latitude, c.longitude, 0.0, 1, c.range, c.tilt, c.azimuth};
    }
    o.project = options_.project;
    o.defaultMap = true;
    o.mapFolder = out_;
    o.worldMapSource = options_.worldMapSource;
    try {
        stack_ = std::make_unique<stack::HeadlessStack>(std::move(o));
    } catch (const stack::MapLoadError& e) {
        throw std::runtime_error(std::string(options_.project ? "--map " : "the default map: ") +
                                 (options_.project ? options_.project->string() + ": " : "") +
                                 e.what());
    }
    desk_ = &stack_->Desktop();
    globe_ = &stack_->Globe();
    host_ = stack_->MapHost();

    command_ = std::make_unique<clsScribeline>(Environment{*desk_, globe_->Connector()},
                                               DefaultSubsystems());
    command_->OnCreate(host_);
}

void Player::validate() {
    for (const Step& step : session_.steps) {
        const Action* action = FindAction(step.action);
        if (action == nullptr) {
            fail(step, "do", "unknown action \"" + step.action + "\"");
        }
        if (action->validate != nullptr) {
            action->validate(*this, step);
        }
    }
}

void Player::validateToolbar(const Step& step) {
    frmGE2Arc& w = front_->Command().Window();
    if (!w.ctl.toolbarScribeline.HasButton(step.name)) {
        std::vector<std::string> keys;
        for (const auto& b : w.ctl.toolbarScribeline.Buttons()) {
            if (!b.key.empty()) {
                keys.push_back(b.key);
            }
        }
        std::string list;
        for (const auto& k : keys) {
            list += (list.empty() ? "" : ", ") + k;
        }
        fail(step, "key", "unknown toolbar key \"" + step.name + "\"; the keys are: " + list);
    }
}

void Player::validateMenu(const Step& step) {
    frmGE2Arc& w = front_->Command().Window();
    const auto names = w.Options().ItemNames();
    if (std::find(names.begin(), names.end(), step.name) == names.end()) {
        fail(step, "item", "unknown options menu item \"" + step.name + "\"");
    }
}

void Player::validateControl(const Step& step) {
    const std::string& a = step.action;
    const auto it = controls_.find(step.name);
    if (it == controls_.end()) {
        fail(step, "control", "unknown control \"" + step.name + "\"");
    }
    if (a != ActionFor(it->second)) {
        fail(step, "control",
             "\"" + step.name + "\" is " + KindName(it->second) + "; use \"" +
                 ActionFor(it->second) + "\"");
    }
    if (auto* options = std::get_if<controls::OptionArray*>(&it->second)) {
        controls::OptionArray& o = **options;
        if (step.index && *step.index >= o.Count()) {
            fail(step, "index",
                 "\"" + step.name + "\" has options 0 to " + std::to_string(o.Count() - 1));
        }
        if (!step.index) {
            bool found = false;
            std::string captions;
            for (int i = 0; i < o.Count(); ++i) {
                found = found || o[i].Caption() == step.text;
                captions += (i ? ", \"" : "\"") + o[i].Caption() + "\"";
            }
            if (!found) {
                fail(step, "option",
                     "\"" + step.name + "\" has no option \"" + step.text +
                         "\"; its options are: " + captions);
            }
        }
    }
    if (auto* group = std::get_if<ImageGroup>(&it->second)) {
        const int count = static_cast<int>(group->images.size());
        if (!step.index || *step.index >= count) {
            fail(step, "index",
                 "\"" + step.name + "\" needs an index 0 to " + std::to_string(count - 1));
        }
    } else if (a == "push" && step.index) {
        fail(step, "index", "\"" + step.name + "\" is not a control array");
    }
}

void Player::validateKey(const Step& step) {
    if (!ParseKeyChord(step.name)) {
        fail(step, "keys",
             "unknown key \"" + step.name + "\"; write e.g. \"Ctrl+F8\" or \"Ctrl+I\"");
    }
}

void Player::validatePoints(const Step& step) {
    const Size size = front_->Globe().RenderSize();
    for (const Point& p : step.points) {
        if (p.x < 0 || p.y < 0 || p.x >= size.width || p.y >= size.height) {
            fail(step, step.action == "drag" ? "path" : "at",
                 "[" + std::to_string(p.x) + ", " + std::to_string(p.y) +
                     "] lies outside the globe's render window (" + std::to_string(size.width) +
                     " by " + std::to_string(size.height) + " pixels)");
        }
    }
}

void Player::validateFields(const Step& step) {
    static const std::set<std::string> types = {"Short Integer", "Long Integer", "Float",
                                                "Double",        "Text",         "Date"};
    for (std::size_t i = 0; i < step.fields.size(); ++i) {
        if (types.count(step.fields[i].type) == 0) {
            fail(step, "fields[" + std::to_string(i) + "].type",
                 "unknown field type \"" + step.fields[i].type +
                     "\"; the types are: Short Integer, Long Integer, Float, Double, Text, "
                     "Date");
        }
    }
}

void Player::requireWindow(const Step& step) const {
    frmGE2Arc& w = front_->Command().Window();
    if (!w.IsLoaded() || !w.Visible()) {
        fail(step, "do", "the digitizer window is not open; press the command first");
    }
}

void Player::mouse(MouseMessage message, Point client, int wheel) {
    front_->Mouse(message, client, wheel);
}

BoxAnswer Player::answerBox(const std::string& title) {
    boxSteps_.push_back(currentStep_);
    const auto it = std::find_if(answers_.begin(), answers_.end(), [&](const QueuedAnswer& a) {
        return !a.titled || a.title == title;
    });
    if (it == answers_.end()) {
        return BoxAnswer{idr::Ok, 0};
    }
    const BoxAnswer answer{it->result, it->keepOpenMs};
    answers_.erase(it);
    return answer;
}

void Player::control(const Step& step) {
    requireWindow(step);
    ControlRef ref = controls_.at(step.name);
    if (auto* o = std::get_if<controls::OptionArray*>(&ref)) {
        int index = step.index.value_or(-1);
        for (int i = 0; index < 0 && i < (*o)->Count(); ++i) {
            if ((**o)[i].Caption() == step.text) {
                index = i;
            }
        }
        if (!(**o)[index].Enabled()) {
            outcome_ = "ignored: the option is disabled";
        }
        front_->Select(**o, index);
    } else if (auto* list = std::get_if<controls::ComboBox*>(&ref)) {
        const auto& items = (*list)->Items();
        int index = step.index.value_or(-1);
        if (!step.index) {
            const auto it = std::find(items.begin(), items.end(), step.text);
            if (it == items.end()) {
                std::string entries;
                for (const auto& item : items) {
                    entries += (entries.empty() ? "\"" : ", \"") + item + "\"";
                }
                fail(step, "item",
                     "\"" + step.name + "\" has no entry \"" + step.text +
                         "\"; its entries are: " + (entries.empty() ? "none" : entries));
            }
            index = static_cast<int>(it - items.begin());
        } else if (index >= static_cast<int>(items.size())) {
            fail(step, "index",
                 "\"" + step.name + "\" has " + std::to_string(items.size()) + " entries");
        }
        front_->Choose(**list, index);
    } else if (auto* box = std::get_if<controls::TextBox*>(&ref)) {
        front_->Type(**box, step.text);
        if ((*box)->Text() != step.text) {
            outcome_ = "typed; the box shows \"" + (*box)->Text() + "\"";
        }
    } else if (auto* bar = std::get_if<controls::ScrollBar*>(&ref)) {
        if (step.value < (*bar)->Min() || step.value > (*bar)->Max()) {
            fail(step, "value",
                 "\"" + step.name + "\" runs from " + std::to_string((*bar)->Min()) + " to " +
                     std::to_string((*bar)->Max()));
        }
        front_->Scroll(**bar, step.value);
    } else if (auto* button = std::get_if<controls::Button*>(&ref)) {
        if (!(*button)->Enabled() || !(*button)->Visible()) {
            outcome_ = "ignored: the button is disabled or hidden";
        }
        front_->Push(**button);
    } else if (auto* image = std::get_if<controls::Image*>(&ref)) {
        front_->Click(**image);
    } else if (auto* group = std::get_if<ImageGroup>(&ref)) {
        front_->Click(*group->images.at(static_cast<std::size_t>(*step.index)));
    }
}

void Player::defineFields(const Step& step) {
    requireWindow(step);
    frmGE2Arc& w = front_->Command().Window();
    front_->Click(w.ctl.imgDefProperty);
    // The dialog is found like any loaded form, whichever grid opened it.
    frmDefProperty* dialog = nullptr;
    for (IForm* form : front_->Command().Process().loadedForms) {
        if (form->FormName() == frmDefProperty::kFormName) {
            dialog = dynamic_cast<frmDefProperty*>(form);
        }
    }
    if (dialog == nullptr || !dialog->Visible()) {
        outcome_ = "ignored: the field definition dialog did not open";
        return;
    }
    static const std::vector<std::string> types = {"Short Integer", "Long Integer", "Float",
                                                   "Double",        "Text",         "Date"};
    auto& c = dialog->ctl;
    std::string refused;
    for (const FieldSpec& field : step.fields) {
        front_->Push(c.cmdClear);
        front_->Type(c.txtFieldName, field.name);
        const auto type = std::find(types.begin(), types.end(), field.type) - types.begin();
        front_->Choose(c.cboFieldType, static_cast<int>(type));
        if (!field.length.empty()) {
            front_->Type(c.txtFieldLength, field.length);
        }
        const int before = c.List1.ListCount();
        front_->Push(c.cmdAdd);
        if (c.List1.ListCount() == before) {
            refused += (refused.empty() ? "" : ", ") + field.name;
        }
    }
    front_->Push(step.accept ? c.Command1 : c.Command2);
    if (!refused.empty()) {
        outcome_ = "the dialog did not add: " + refused;
    }
}

void Player::gridValue(const Step& step) {
    requireWindow(step);
    frmGE2Arc& w = front_->Command().Window();
    controls::ListView& list = w.ctl.listviewProperty;
    if (!w.ctl.frameProperty.Visible() || !list.Visible()) {
        outcome_ = "ignored: the attribute grid is not shown (the run has no feature properties)";
        return;
    }
    int row = -1;
    std::string rows;
    for (int i = 0; i < list.ItemCount(); ++i) {
        if (list.CellText(i, 1) == step.name) {
            row = i;
        }
        rows += (i ? ", \"" : "\"") + list.CellText(i, 1) + "\"";
    }
    if (row < 0) {
        fail(step, "field",
             "the attribute grid has no row \"" + step.name +
                 "\"; its rows are: " + (rows.empty() ? "none" : rows));
    }
    front_->ClickCell(list, row, 3);
    controls::TextBox& box = w.ctl.txtQty;
    if (!box.Visible()) {
        outcome_ = "ignored: the value cell did not open for editing";
        return;
    }
    // The edit box opens with the old value selected: typing replaces it.
    front_->TypeKeys(
        box, step.text.empty() ? std::string(1, static_cast<char>(vk::Back)) : step.text, true);
    if (list.CellText(row, 3) != step.text) {
        outcome_ = "typed; the cell shows \"" + list.CellText(row, 3) + "\"";
    }
}

void Player::savePicture(const std::string& of, const std::string& file) {
    const fs::path path = out_ / file;
    if (of == "globe") {
        front_->Globe().SavePng(path);
    } else {
        front_->Host().SaveMapViewPng(path);
    }
    pictures_[of] = path.string();
}

void Player::play(const Step& step) {
    outcome_ = "done";
    FindAction(step.action)->play(*this, step);
}

void Player::playToolbar(const Step& step) {
    frmGE2Arc& w = front_->Command().Window();
    requireWindow(step);
    const auto& button = w.ctl.toolbarScribeline.Button(step.name);
    if (!button.enabled || !button.visible) {
        outcome_ = "ignored: the button is disabled or hidden";
    }
    front_->Toolbar(step.name);
}

void Player::playMenu(const Step& step) {
    requireWindow(step);
    // A right click on the window's background pops the menu up, as a person opens it.
    switch (front_->Menu(step.name)) {
    case MenuOutcome::Chosen:
        break;
    case MenuOutcome::DidNotOpen:
        outcome_ = "ignored: the options menu did not open (it does not during a run)";
        break;
    case MenuOutcome::NotAvailable:
        outcome_ = "ignored: the item is disabled or hidden";
        break;
    }
}

void Player::playKey(const Step& step) {
    requireWindow(step);
    front_->Key(*ParseKeyChord(step.name));
}

void Player::drag(const Step& step) {
    const bool left = step.name == "left";
    mouse(left ? MouseMessage::LeftDown : MouseMessage::RightDown, step.points.front());
    for (std::size_t i = 1; i < step.points.size(); ++i) {
        front_->Wait(step.ms);
        mouse(MouseMessage::Move, step.points[i]);
    }
    front_->Wait(step.ms);
    mouse(left ? MouseMessage::LeftUp : MouseMessage::RightUp, step.points.back());
}

void Player::playClose(const Step& step) {
    frmGE2Arc& w = front_->Command().Window();
    if (!w.IsLoaded()) {
        fail(step, "do", "the digitizer window is not open");
    }
    front_->CloseWindow();
}

const std::vector<Player::Action>& Player::Actions() {
    using P = Player;
    auto pointsOk = [](P& p, const Step& s) { p.validatePoints(s); };
    auto controlOk = [](P& p, const Step& s) { p.validateControl(s); };
    auto control = [](P& p, const Step& s) { p.control(s); };
    static const std::vector<Action> actions = {
        {"command", nullptr, [](P& p, const Step&) { p.front_->PressCommand(); }},
        {"toolbar", [](P& p, const Step& s) { p.validateToolbar(s); },
         [](P& p, const Step& s) { p.playToolbar(s); }},
        {"menu", [](P& p, const Step& s) { p.validateMenu(s); },
         [](P& p, const Step& s) { p.playMenu(s); }},
        {"select", controlOk, control},
        {"choose", controlOk, control},
        {"type", controlOk, control},
        {"scroll", controlOk, control},
        {"push", controlOk, control},
        {"key", [](P& p, const Step& s) { p.validateKey(s); },
         [](P& p, const Step& s) { p.playKey(s); }},
        {"move", pointsOk, [](P& p, const Step& s) { p.mouse(MouseMessage::Move, s.points[0]); }},
        {"leftDown", pointsOk,
         [](P& p, const Step& s) { p.mouse(MouseMessage::LeftDown, s.points[0]); }},
        {"leftUp", pointsOk,
         [](P& p, const Step& s) { p.mouse(MouseMessage::LeftUp, s.points[0]); }},
        {"rightDown", pointsOk,
         [](P& p, const Step& s) { p.mouse(MouseMessage::RightDown, s.points[0]); }},
        {"rightUp", pointsOk,
         [](P& p, const Step& s) { p.mouse(MouseMessage::RightUp, s.points[0]); }},
        {"click", pointsOk,
         [](P& p, const Step& s) {
             p.mouse(MouseMessage::LeftDown, s.points[0]);
             p.mouse(MouseMessage::LeftUp, s.points[0]);
         }},
        {"rightClick", pointsOk,
         [](P& p, const Step& s) {
             p.mouse(MouseMessage::RightDown, s.points[0]);
             p.mouse(MouseMessage::RightUp, s.points[0]);
         }},
        {"wheel", pointsOk,
         [](P& p, const Step& s) { p.mouse(MouseMessage::Wheel, s.points[0], s.value); }},
        {"clicks", pointsOk,
         [](P& p, const Step& s) {
             for (const Point& point : s.points) {
                 p.mouse(MouseMessage::LeftDown, point);
                 p.mouse(MouseMessage::LeftUp, point);
                 p.front_->Wait(s.ms);
             }
         }},
        {"drag", pointsOk, [](P& p, const Step& s) { p.drag(s); }},
        {"wait", nullptr, [](P& p, const Step& s) { p.front_->Wait(s.ms); }},
        {"answer", nullptr,
         [](P& p, const Step& s) {
             p.answers_.push_back(QueuedAnswer{s.titled, s.name, s.value, s.keepOpenMs});
         }},
        {"close", nullptr, [](P& p, const Step& s) { p.playClose(s); }},
        {"picture", nullptr, [](P& p, const Step& s) { p.savePicture(s.name, s.text); }},
        {"defineFields", [](P& p, const Step& s) { p.validateFields(s); },
         [](P& p, const Step& s) { p.defineFields(s); }},
        {"gridValue", nullptr, [](P& p, const Step& s) { p.gridValue(s); }},
    };
    return actions;
}

const Player::Action* Player::FindAction(const std::string& name) {
    for (const Action& action : Actions()) {
        if (name == action.name) {
            return &action;
        }
    }
    return nullptr;
}

void Player::endActiveRun() {
    frmGE2Arc& w = front_->Command().Window();
    if (w.IsLoaded() && w.DigitizingActive()) {
        // As when the person closes the window: the run ends and finished features are saved.
        front_->CloseWindow();
        endedActiveRun_ = true;
    }
}

void Player::collectLayers(const std::shared_ptr<ILayer>& layer, json& out) {
    auto featureLayer = std::dynamic_pointer_cast<IFeatureLayer>(layer);
    auto featureClass = featureLayer ? featureLayer->FeatureClass() : nullptr;
    if (!featureClass) {
        return;
    }
    json entry = {{"name", layer->Name()},
                  {"geometry", GeometryName(featureClass->ShapeType())},
                  {"hasZ", featureClass->HasZ()},
                  {"features", featureClass->FeatureCount(nullptr)}};
    if (auto g = std::dynamic_pointer_cast<gis::FeatureLayer>(layer); g && g->Class()) {
        const fs::path path = g->Class()->Path();
        entry["path"] = path.string();
        std::error_code ec;
        const std::string name = fs::relative(path, out_, ec).generic_string();
        const auto was = started_.find(name);
        bool written = false;
        if (!ec && !name.empty() && name.rfind("..", 0) != 0) {
            const std::pair<std::uintmax_t, fs::file_time_type> now{fs::file_size(path, ec),
                                                                    fs::last_write_time(path, ec)};
            written = !ec && (was == started_.end() || was->second != now);
        }
        if (written) {
            entry["zSources"] = zSources(path, terrainWarnings_);
        }
    }
    out.push_back(entry);
}

json Player::layers() {
    json out = json::array();
    // Every layer, the members of groups included, in the map's order.
    for (const auto& layer : front_->Host().Document()->FocusMap()->Layers()) {
        collectLayers(layer, out);
    }
    return out;
}

json Player::report() {
    json boxes = json::array();
    const std::vector<ShownBox> records = front_->Boxes();
    for (std::size_t i = 0; i < records.size(); ++i) {
        boxes.push_back({{"step", i < boxSteps_.size() ? boxSteps_[i] : 0},
                         {"title", records[i].title},
                         {"text", records[i].text},
                         {"result", records[i].result}});
    }
    json files = json::array();
    json liveKml = nullptr;
    json liveKmlFiles = json::array();
    fs::file_time_type newest{};
    for (const auto& [name, stamp] : StampFiles(out_)) {
        const auto was = before_.find(name);
        if (name == "report.json" || (was != before_.end() && was->second == stamp)) {
            continue;
        }
        files.push_back(name);
        const std::string base = fs::path(name).filename().string();
        if (base.rfind(frmGE2Arc::kKmlBaseName, 0) == 0 && fs::path(name).extension() == ".kml") {
            liveKmlFiles.push_back((out_ / name).string());
            if (liveKml.is_null() || stamp.second >= newest) {
                newest = stamp.second;
                liveKml = (out_ / name).string();
            }
        }
    }
    return json{{"session", session_.source},
                {"description", session_.description},
                {"outDir", out_.string()},
                {"completed", error_.empty()},
                {"error", error_.empty() ? json(nullptr) : json(error_)},
                {"steps", stepLog_},
                {"endedActiveRun", endedActiveRun_},
                {"virtualTimeMs", front_->ElapsedMs()},
                {"messageBoxes", boxes},
                {"layers", layers()},
                {"files", files},
                {"liveKml", liveKml},
                {"liveKmlFiles", liveKmlFiles},
                {"pictures", pictures_},
                {"terrain", terrainReport()}};
}

void Player::loadTerrain() {
    const fs::path basePath =
        options_.baseEarth.empty() ? fs::path(globe::kEtopo5Path) : options_.baseEarth;
    auto base = options_.baseEarth.empty() ? globe::SharedBaseEarth()
                                           : std::make_shared<const globe::BaseEarth>(basePath);
    try {
        base->Check();
    } catch (const globe::BaseEarthError& e) {
        throw std::runtime_error(e.what());
    }
    std::vector<std::shared_ptr<const globe::RasterDem>> dems;
    for (const fs::path& dem : options_.dems) {
        try {
            dems.push_back(globe::RasterDem::Load(dem));
        } catch (const std::exception& e) {
            throw std::runtime_error("--dem " + dem.string() + ": " + e.what());
        }
    }
    terrain_ = dems.empty() ? std::shared_ptr<const globe::ElevationModel>(base)
                            : std::make_shared<globe::TerrainStack>(std::move(dems), base);
}

namespace {

// Every vertex (x, y) of a geometry, in order.
void VerticesOf(const OGRGeometry* g, std::vector<std::pair<double, double>>& out) {
    if (g == nullptr) {
        return;
    }
    const OGRwkbGeometryType type = wkbFlatten(g->getGeometryType());
    if (type == wkbPoint) {
        const auto* p = g->toPoint();
        out.emplace_back(p->getX(), p->getY());
    } else if (OGR_GT_IsCurve(type) && type != wkbCircularString && type != wkbCompoundCurve) {
        const auto* c = dynamic_cast<const OGRSimpleCurve*>(g);
        for (int i = 0; c != nullptr && i < c->getNumPoints(); ++i) {
            out.emplace_back(c->getX(i), c->getY(i));
        }
    } else if (type == wkbPolygon) {
        const auto* poly = g->toPolygon();
        VerticesOf(poly->getExteriorRing(), out);
        for (int i = 0; i < poly->getNumInteriorRings(); ++i) {
            VerticesOf(poly->getInteriorRing(i), out);
        }
    } else if (OGR_GT_IsSubClassOf(type, wkbGeometryCollection)) {
        const auto* c = g->toGeometryCollection();
        for (int i = 0; i < c->getNumGeometries(); ++i) {
            VerticesOf(c->getGeometryRef(i), out);
        }
    }
}

constexpr const char* kNotAnswered = "not a terrain answer";

} // namespace

// Counts a layer's vertices by the source of the terrain answer at their position (contour
// vertices lie between samples and are no answer of their own).
json Player::zSources(const fs::path& shapefile, json& warnings) const {
    std::map<std::pair<double, double>, int> answered;
    for (const auto& a : front_->Globe().TerrainAnswers()) {
        if (a.hitGround) {
            answered[{a.longitude, a.latitude}] = a.source;
        }
    }
    const std::vector<std::string> sources = front_->Globe().TerrainSources();
    std::map<std::string, long long> counts;
    std::unique_ptr<GDALDataset> ds(
        GDALDataset::Open(shapefile.string().c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    if (!ds || ds->GetLayerCount() < 1) {
        return json::object();
    }
    std::vector<std::pair<double, double>> vertices;
    OGRLayer* layer = ds->GetLayer(0);
    layer->ResetReading();
    while (OGRFeature* f = layer->GetNextFeature()) {
        VerticesOf(f->GetGeometryRef(), vertices);
        OGRFeature::DestroyFeature(f);
    }
    long long fromBase = 0;
    for (const auto& v : vertices) {
        const auto it = answered.find(v);
        if (it == answered.end()) {
            ++counts[kNotAnswered];
        } else if (it->second < 0 || static_cast<std::size_t>(it->second) >= sources.size()) {
            ++counts["terrain off"];
        } else {
            ++counts[sources[static_cast<std::size_t>(it->second)]];
            fromBase += static_cast<std::size_t>(it->second) + 1 == sources.size() ? 1 : 0;
        }
    }
    if (!options_.dems.empty() && fromBase > 0) {
        warnings.push_back(shapefile.filename().string() + ": " + std::to_string(fromBase) +
                           " vertices took their height from the base Earth, outside every "
                           "DEM loaded (a click outside the DEM?)");
    }
    json out = json::object();
    for (const auto& [source, n] : counts) {
        out[source] = n;
    }
    return out;
}

json Player::terrainReport() const {
    json warnings = terrainWarnings_;
    return {{"sources", front_ ? json(front_->Globe().TerrainSources()) : json::array()},
            {"baseEarthNote", "base-Earth heights are coarse: ETOPO5 cells are 5 arc-minutes "
                              "(about 9 km), so a peak can read kilometres low"},
            {"warnings", warnings}};
}

json Player::Run() {
    loadTerrain(); // before anything is written: a DEM that cannot be used writes nothing
    fs::create_directories(options_.outDir);
    out_ = fs::canonical(options_.outDir);
    before_ = StampFiles(out_);
    if (options_.frontEnd) {
        FrontEndSetup setup;
        setup.outDir = out_;
        setup.dems = options_.dems;
        setup.baseEarth = options_.baseEarth;
        setup.project = options_.project;
        setup.worldMapSource = options_.worldMapSource;
        if (session_.camera) {
            const CameraSpec& c = *session_.camera;
            setup.camera =
                FrontEndSetup::Camera{c.latitude, c.longitude, c.range, c.tilt, c.azimuth};
        }
        front_ = options_.frontEnd(setup);
    } else {
        startHosts();
        front_ = std::make_unique<HeadlessFrontEnd>(*desk_, *globe_, *host_, *command_);
    }
    front_->AnswerBoxes([this](const std::string& title) { return answerBox(title); });
    controls_ = ControlsOf(front_->Command().Window().ctl);
    if (options_.bind) {
        options_.bind(front_->Command().Window().ctl);
    }
    started_ = StampFiles(out_);
    validate();
    const std::size_t total = session_.steps.size();
    bool shot = options_.screenshot.empty();
    auto takeScreenshot = [&] {
        shot = true;
        if (!front_->Screenshot(options_.screenshot)) {
            throw std::runtime_error("cannot write the screenshot " + options_.screenshot.string());
        }
    };
    for (const Step& step : session_.steps) {
        currentStep_ = step.number;
        if (!shot && step.number == static_cast<int>(total) && step.action == "close") {
            takeScreenshot();
        }
        try {
            play(step);
        } catch (const SessionError& e) {
            error_ = e.what();
        }
        if (!error_.empty()) {
            break;
        }
        stepLog_.push_back({{"step", step.number}, {"do", step.action}, {"outcome", outcome_}});
        if (options_.progress) {
            options_.progress("step " + std::to_string(step.number) + "/" + std::to_string(total) +
                              " " + step.action);
        }
    }
    currentStep_ = 0;
    if (!shot && error_.empty()) {
        takeScreenshot();
    }
    endActiveRun();
    if (options_.pictures.value_or(session_.pictures)) {
        savePicture("globe", "globe.png");
        savePicture("map", "map.png");
    }
    json result = report();
    {
        std::ofstream file(out_ / "report.json", std::ios::binary | std::ios::trunc);
        file << result.dump(2) << '\n';
    }
    // The host unloads what is still loaded when it lets the command go.
    front_.reset();
    command_.reset();
    if (!error_.empty()) {
        throw SessionError(error_);
    }
    return result;
}

} // namespace

json RunSession(const Session& session, const RunOptions& options) {
    Player player(session, options);
    return player.Run();
}

} // namespace scribeline::app
