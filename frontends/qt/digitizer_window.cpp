#include "frontends/qt/digitizer_window.hpp"

#include "frontends/qt/icons.hpp"

#include <QAbstractButton>
#include <QActionGroup>
#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QFont>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWidget>

#include <algorithm>
#include <map>
#include <string>

namespace scribeline::frontend {

int TwipsToPixels(int twips) {
    return twips / 15;
}

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// Where the model gives a control no place (its option buttons, text boxes, scroll bars and
// labels sit in the frames the form layout places), twips in the form: a row every 240 twips,
// captions on the left, values on the right, as in the frames' own order.
const std::map<std::string, controls::Bounds>& OwnLayout() {
    static const std::map<std::string, controls::Bounds> layout = {
        {"optGeometryType0", {240, 860, 1000, 240}},
        {"optGeometryType1", {240, 1130, 1000, 240}},
        {"optGeometryType2", {240, 1400, 1000, 240}},
        {"optNewOrExistingLayer0", {1500, 860, 2300, 240}},
        {"optNewOrExistingLayer1", {1500, 1130, 2300, 240}},
        {"lblDEMResolution", {240, 2520, 1300, 240}},
        {"txtDEMResolution", {240, 2820, 960, 300}},
        {"vscrollDEMResolution", {1200, 2820, 240, 300}},
        {"optContourLevel0", {1770, 2440, 1600, 240}},
        {"txtContourLevelNumber", {3370, 2430, 330, 255}},
        {"vscrollContourLevelnumber", {3690, 2430, 225, 255}},
        {"optContourLevel1", {1770, 2680, 1600, 240}},
        {"txtContourLevelInterval", {3370, 2670, 330, 255}},
        {"vscrollContourLevelInterval", {3690, 2670, 225, 255}},
        {"optContourLevel2", {1770, 2920, 1180, 240}},
        {"txtContourLevels", {2950, 2910, 965, 255}},
        {"optStartElevation0", {1830, 3300, 1380, 240}},
        {"txtStartElevation", {3210, 3290, 630, 255}},
        {"optStartElevation1", {1830, 3540, 1500, 240}},
        {"txtQty", {4260, 2490, 900, 270}},
        {"txtRecordPPS", {5220, 2490, 600, 270}},
        {"vscrollRecordPPS", {5820, 2490, 225, 270}},
        {"Label5", {4260, 720, 1800, 240}},
        {"Label6", {4260, 1000, 1800, 240}},
        {"Label7", {4260, 1280, 1800, 240}},
        {"imgMore", {3660, 3960, 360, 270}},
        {"imgLess", {3660, 3960, 360, 270}},
        {"imgCamera", {6780, 2900, 360, 300}},
        {"imgShot", {7200, 2900, 1140, 900}},
        {"imgLocation0", {4260, 3060, 300, 240}},
        {"imgLocation1", {4560, 3060, 300, 240}},
        {"imgLocation2", {4860, 3060, 300, 240}},
        {"imgLocation3", {4260, 3300, 300, 240}},
        {"imgLocation4", {4560, 3300, 300, 240}},
        {"imgLocation5", {4860, 3300, 300, 240}},
        {"imgLocation6", {4260, 3540, 300, 240}},
        {"imgLocation7", {4560, 3540, 300, 240}},
        {"imgLocation8", {4860, 3540, 300, 240}},
        {"optLocationReference0", {5280, 3060, 1300, 240}},
        {"optLocationReference1", {5280, 3300, 1300, 240}},
        {"optLocationReference2", {5280, 3540, 1300, 240}},
    };
    return layout;
}

std::string LayoutName(const controls::Control& control) {
    return control.Index() >= 0 ? control.Name() + std::to_string(control.Index()) : control.Name();
}

void Place(QWidget* widget, const controls::Control& control) {
    controls::Bounds b = control.GetBounds();
    bool placed = b.width > 0 && b.height > 0;
    if (!placed) {
        const auto it = OwnLayout().find(LayoutName(control));
        if (it != OwnLayout().end()) {
            b = it->second;
            placed = true;
        }
    }
    widget->setGeometry(TwipsToPixels(b.left), TwipsToPixels(b.top),
                        std::max(TwipsToPixels(b.width), 1), std::max(TwipsToPixels(b.height), 1));
    widget->setEnabled(control.Enabled());
    // A control with no place anywhere (the command buttons the toolbar stands for) has its
    // widget, state kept, but not on show.
    widget->setVisible(control.Visible() && placed);
}

// An event filter from a function.
class Filter final : public QObject {
public:
    explicit Filter(std::function<bool(QEvent*)> filter) : filter_(std::move(filter)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override { return filter_(event); }

private:
    std::function<bool(QEvent*)> filter_;
};

// Platform key codes of the keys a text box handles itself.
int VirtualKey(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return vk::Return;
    case Qt::Key_Escape:
        return vk::Escape;
    case Qt::Key_Tab:
        return vk::Tab;
    case Qt::Key_Backspace:
        return vk::Back;
    case Qt::Key_Up:
        return vk::Up;
    case Qt::Key_Down:
        return vk::Down;
    case Qt::Key_Home:
        return vk::Home;
    case Qt::Key_End:
        return vk::End;
    default:
        return 0;
    }
}

} // namespace

DigitizerWindow::DigitizerWindow(qtdesktop::QtDesktop& desktop, frmGE2Arc& form)
    : desktop_(desktop), form_(form) {}

DigitizerWindow::~DigitizerWindow() {
    // The filters go with the bindings; widgets the form's window still holds keep no
    // pointer to them once removed.
    for (auto& [control, binding] : bindings_) {
        if (binding.widget) {
            for (const auto& filter : filters_) {
                binding.widget->removeEventFilter(filter.get());
            }
        }
    }
}

void DigitizerWindow::Attach() {
    if (!form_.IsLoaded()) {
        return;
    }
    QWidget* widget = desktop_.Widget(form_.hWnd());
    if (widget == nullptr || (formWidget_ == widget && formWindow_ == form_.hWnd())) {
        return;
    }
    bindings_.clear();
    filters_.clear();
    subscription_.Reset();
    dirty_.clear();
    toolbarKeys_.clear();
    formWidget_ = widget;
    formWindow_ = form_.hWnd();
    // The form's twips layout was made for an 8-point face.
    QFont font = widget->font();
    font.setPointSize(8);
    widget->setFont(font);
    build(widget);
    SyncAll();
}

void DigitizerWindow::bind(const controls::Control& control, QWidget* widget,
                           std::function<void()> sync) {
    Binding& b = bindings_[&control];
    b.widget = widget;
    b.sync = std::move(sync);
}

void DigitizerWindow::guarded(const std::function<void()>& work) {
    // Nothing may cross Qt's event loop; a widget that cannot show its control's state keeps
    // the last it showed.
    try {
        work();
    } catch (const std::exception& e) {
        ++errors_;
        lastError_ = e.what();
    } catch (...) {
        ++errors_;
        lastError_ = "unknown failure";
    }
}

void DigitizerWindow::userAction(const std::function<void()>& action) {
    guarded(action);
    if (afterAction) {
        afterAction();
    }
}

void DigitizerWindow::Sync(const controls::Control& control) {
    const auto it = bindings_.find(&control);
    if (it == bindings_.end() || !it->second.widget) {
        return;
    }
    ++it->second.syncs;
    guarded(it->second.sync);
}

void DigitizerWindow::SyncAll() {
    for (auto& [control, binding] : bindings_) {
        if (binding.widget) {
            ++binding.syncs;
            guarded(binding.sync);
        }
    }
    if (formWidget_) {
        formWidget_->setWindowTitle(Q(form_.Caption()));
    }
}

QWidget* DigitizerWindow::WidgetFor(const controls::Control& control) const {
    const auto it = bindings_.find(&control);
    return it == bindings_.end() ? nullptr : it->second.widget.data();
}

QWidget* DigitizerWindow::FormWidget() const {
    return formWidget_.data();
}

std::vector<const controls::Control*> DigitizerWindow::BoundControls() const {
    std::vector<const controls::Control*> out;
    for (const auto& [control, binding] : bindings_) {
        out.push_back(control);
    }
    return out;
}

int DigitizerWindow::SyncCount(const controls::Control& control) const {
    const auto it = bindings_.find(&control);
    return it == bindings_.end() ? 0 : it->second.syncs;
}

void DigitizerWindow::build(QWidget* form) {
    auto& c = form_.ctl;
    // The model's user members go through the form's gate; the widgets follow the changes
    // they make through the change notification.
    auto user = [this](const std::function<void()>& action) { userAction(action); };
    std::map<std::string, controls::OptionArray*> optionArrays;
    std::map<std::string, QButtonGroup*> groups;
    for (controls::OptionArray* o :
         {&c.optNewOrExistingLayer, &c.optGeometryType, &c.optContourLevel, &c.optStartElevation,
          &c.optLocationReference}) {
        optionArrays[o->Name()] = o;
    }

    // Frames first: they sit under the controls placed over them.
    c.ForEach([&](controls::Control& control) {
        if (auto* f = dynamic_cast<controls::Frame*>(&control)) {
            auto* box = new QGroupBox(form);
            bind(*f, box, [f, box] {
                Place(box, *f);
                box->setTitle(Q(f->Caption()));
            });
        }
    });

    c.ForEach([&](controls::Control& control) {
        if (auto* t = dynamic_cast<controls::Toolbar*>(&control)) {
            // A button per key, our own icon for its image key.
            auto* bar = new QToolBar(form);
            bar->setIconSize(QSize(24, 24));
            bind(*t, bar, [this, t, bar, user] {
                Place(bar, *t);
                // The buttons change state far more often than the set of keys: the actions
                // are made again only when the keys change.
                std::vector<std::string> keys;
                for (const controls::ToolbarButton& button : t->Buttons()) {
                    keys.push_back(button.style == controls::ButtonStyle::Separator ? std::string()
                                                                                    : button.key);
                }
                if (keys != toolbarKeys_) {
                    for (QAction* old : bar->actions()) {
                        bar->removeAction(old);
                        old->deleteLater();
                    }
                    for (const std::string& key : keys) {
                        if (key.empty()) {
                            bar->addSeparator();
                            continue;
                        }
                        QAction* a = bar->addAction(Q(key));
                        a->setObjectName(Q(key));
                        QObject::connect(a, &QAction::triggered, &context_,
                                         [t, key, user] { user([t, key] { t->UserClick(key); }); });
                    }
                    toolbarKeys_ = keys;
                }
                for (const controls::ToolbarButton& button : t->Buttons()) {
                    if (button.style == controls::ButtonStyle::Separator) {
                        continue;
                    }
                    QAction* a = bar->findChild<QAction*>(Q(button.key));
                    if (a == nullptr) {
                        continue;
                    }
                    a->setIcon(Icon(button.imageKey));
                    a->setToolTip(Q(button.tooltip));
                    a->setStatusTip(Q(button.description));
                    a->setEnabled(button.enabled);
                    a->setVisible(button.visible);
                    a->setCheckable(button.style == controls::ButtonStyle::Check);
                    a->setChecked(button.value == 1);
                }
            });
        } else if (auto* l = dynamic_cast<controls::Label*>(&control)) {
            auto* label = new QLabel(form);
            bind(*l, label, [l, label] {
                Place(label, *l);
                label->setText(Q(l->Caption()));
            });
        } else if (auto* b = dynamic_cast<controls::Button*>(&control)) {
            auto* button = new QPushButton(form);
            bind(*b, button, [b, button] {
                Place(button, *b);
                button->setText(Q(b->Caption()));
            });
            QObject::connect(button, &QPushButton::clicked, &context_,
                             [b, user] { user([b] { b->UserClick(); }); });
        } else if (auto* option = dynamic_cast<controls::OptionButton*>(&control)) {
            const auto it = optionArrays.find(option->Name());
            QButtonGroup*& group = groups[option->Name()];
            if (group == nullptr) {
                group = new QButtonGroup(form);
            }
            auto* radio = new QRadioButton(form);
            group->addButton(radio, option->Index());
            bind(*option, radio, [option, radio] {
                Place(radio, *option);
                radio->setText(Q(option->Caption()));
                radio->setChecked(option->Value());
            });
            if (it != optionArrays.end()) {
                controls::OptionArray* array = it->second;
                const int index = option->Index();
                QObject::connect(radio, &QRadioButton::clicked, &context_, [array, index, user] {
                    user([array, index] { array->UserSelect(index); });
                });
            }
        } else if (auto* box = dynamic_cast<controls::TextBox*>(&control)) {
            bindTextBox(*box, form);
        } else if (auto* s = dynamic_cast<controls::ScrollBar*>(&control)) {
            auto* bar = new QScrollBar(Qt::Vertical, form);
            bind(*s, bar, [s, bar] {
                Place(bar, *s);
                const QSignalBlocker quiet(bar);
                // Bars whose Min is above Max count down, as the platform's do.
                bar->setRange(std::min(s->Min(), s->Max()), std::max(s->Min(), s->Max()));
                bar->setInvertedAppearance(s->Min() > s->Max());
                bar->setSingleStep(std::max(s->SmallChange(), 1));
                bar->setPageStep(std::max(s->LargeChange(), 1));
                bar->setValue(s->Value());
            });
            QObject::connect(bar, &QScrollBar::valueChanged, &context_, [s, user](int value) {
                user([s, value] { s->UserSetValue(value); });
            });
        } else if (auto* list = dynamic_cast<controls::ComboBox*>(&control)) {
            auto* combo = new QComboBox(form);
            bind(*list, combo, [list, combo] {
                Place(combo, *list);
                const QSignalBlocker quiet(combo);
                combo->clear();
                for (const std::string& item : list->Items()) {
                    combo->addItem(Q(item));
                }
                combo->setCurrentIndex(list->ListIndex());
            });
            QObject::connect(
                combo, QOverload<int>::of(&QComboBox::activated), &context_,
                [list, user](int index) { user([list, index] { list->UserChoose(index); }); });
        } else if (auto* image = dynamic_cast<controls::Image*>(&control)) {
            bindImage(*image, form);
        } else if (auto* grid = dynamic_cast<controls::ListView*>(&control)) {
            bindGrid(*grid, form);
        } else if (auto* picture = dynamic_cast<controls::PictureBox*>(&control)) {
            // A desktop window of its own, which the core draws on and moves (over the globe
            // too): its widget is the desktop's.
            if (QWidget* widget = desktop_.Widget(picture->hWnd())) {
                bind(*picture, widget, [] {});
            }
        }
    });

    subscription_ = c.OnChanged([this](const controls::Control& control) { queue(control); });
}

void DigitizerWindow::queue(const controls::Control& control) {
    // Changes arrive inside the model's calls (some inside a widget's own signal): the widget
    // follows once the call is done, once however often the control changed meanwhile.
    dirty_.insert(&control);
    if (flushQueued_) {
        return;
    }
    flushQueued_ = true;
    QMetaObject::invokeMethod(
        &context_, [this] { Flush(); }, Qt::QueuedConnection);
}

void DigitizerWindow::Flush() {
    flushQueued_ = false;
    const auto dirty = std::move(dirty_);
    dirty_.clear();
    for (const controls::Control* control : dirty) {
        Sync(*control);
    }
    if (formWidget_) {
        formWidget_->setWindowTitle(Q(form_.Caption()));
    }
}

void DigitizerWindow::bindTextBox(controls::TextBox& box, QWidget* form) {
    controls::TextBox* t = &box;
    auto* edit = new QLineEdit(form);
    bind(*t, edit, [t, edit] {
        Place(edit, *t);
        if (edit->text() != Q(t->Text())) {
            edit->setText(Q(t->Text()));
        }
        if (t->SelLength() > 0) {
            edit->setSelection(t->SelStart(), t->SelLength());
        } else {
            edit->setCursorPosition(t->SelStart());
        }
    });
    // Every key goes through the model (its KeyPress may refuse a character); shortcuts with
    // Ctrl or Alt and function keys go on to the form.
    auto filter = std::make_unique<Filter>([this, t](QEvent* event) {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        auto* e = static_cast<QKeyEvent*>(event);
        const bool chord = (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) != 0;
        const bool function = e->key() >= Qt::Key_F1 && e->key() <= Qt::Key_F24;
        if (chord || function) {
            return false;
        }
        const int key = VirtualKey(e->key());
        const int shift = (e->modifiers() & Qt::ShiftModifier) ? 1 : 0;
        if (key == vk::Back) {
            userAction([t] { t->UserType(std::string(1, static_cast<char>(vk::Back))); });
        } else if (key != 0) {
            userAction([t, key, shift] { t->UserKey(key, shift); });
        } else if (!e->text().isEmpty() && e->text().at(0).isPrint()) {
            const std::string typed = e->text().toStdString();
            userAction([t, typed] { t->UserType(typed); });
        } else {
            return false;
        }
        return true;
    });
    edit->installEventFilter(filter.get());
    filters_.push_back(std::move(filter));
}

void DigitizerWindow::bindImage(controls::Image& control, QWidget* form) {
    controls::Image* image = &control;
    auto* label = new QLabel(form);
    label->setAlignment(Qt::AlignCenter);
    bind(*image, label, [image, label] {
        Place(label, *image);
        const int side = std::max(1, std::min(label->width(), label->height()));
        label->setPixmap(image->PictureKey().empty() ? QPixmap()
                                                     : IconPixmap(image->PictureKey(), side));
        label->setFrameShape(image->Raised() ? QFrame::Panel : QFrame::NoFrame);
        label->setFrameShadow(QFrame::Raised);
    });
    auto filter = std::make_unique<Filter>([this, image](QEvent* event) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            userAction([image] { image->UserMouseDown(); });
            return true;
        case QEvent::MouseButtonRelease:
            userAction([image] {
                image->UserMouseUp();
                image->UserClick();
            });
            return true;
        case QEvent::Enter:
            userAction([image] { image->UserMouseMove(); });
            return false;
        default:
            return false;
        }
    });
    label->installEventFilter(filter.get());
    filters_.push_back(std::move(filter));
}

void DigitizerWindow::bindGrid(controls::ListView& control, QWidget* form) {
    controls::ListView* grid = &control;
    auto* tree = new QTreeWidget(form);
    tree->setRootIsDecorated(false);
    tree->setAlternatingRowColors(true);
    tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    bind(*grid, tree, [grid, tree] {
        Place(tree, *grid);
        const QSignalBlocker quiet(tree);
        tree->clear();
        QStringList headers;
        for (int i = 1; i <= grid->ColumnCount(); ++i) {
            headers << Q(grid->Header(i).caption);
        }
        tree->setColumnCount(std::max(grid->ColumnCount(), 1));
        tree->setHeaderLabels(headers);
        for (int i = 1; i <= grid->ColumnCount(); ++i) {
            tree->setColumnWidth(i - 1, TwipsToPixels(grid->Header(i).width));
        }
        for (int row = 0; row < grid->ItemCount(); ++row) {
            auto* item = new QTreeWidgetItem(tree);
            for (int col = 1; col <= grid->ColumnCount(); ++col) {
                item->setText(col - 1, Q(grid->CellText(row, col)));
            }
        }
        if (grid->SelectedIndex() >= 0 && grid->SelectedIndex() < tree->topLevelItemCount()) {
            tree->setCurrentItem(tree->topLevelItem(grid->SelectedIndex()));
        }
    });
    QObject::connect(tree, &QTreeWidget::itemClicked, &context_,
                     [this, grid, tree](QTreeWidgetItem* item, int column) {
                         const int row = tree->indexOfTopLevelItem(item);
                         userAction([grid, row, column] { grid->UserClickCell(row, column + 1); });
                     });
}

namespace {

void AddItems(QMenu* into, const MenuItem& parent) {
    QActionGroup* radios = nullptr;
    for (const MenuItem& item : parent.children) {
        if (!item.visible) {
            continue;
        }
        if (item.kind == MenuItemKind::Separator) {
            into->addSeparator();
            radios = nullptr;
            continue;
        }
        if (item.kind == MenuItemKind::Submenu) {
            QMenu* sub = into->addMenu(Q(item.caption));
            sub->menuAction()->setObjectName(Q(item.name));
            sub->setEnabled(item.enabled);
            AddItems(sub, item);
            radios = nullptr;
            continue;
        }
        QAction* a = into->addAction(Q(item.caption));
        a->setObjectName(Q(item.name));
        a->setEnabled(item.enabled);
        if (item.kind == MenuItemKind::Check || item.kind == MenuItemKind::Radio) {
            a->setCheckable(true);
            a->setChecked(item.checked);
        }
        if (item.kind == MenuItemKind::Radio) {
            if (radios == nullptr) {
                radios = new QActionGroup(into);
                radios->setExclusive(true);
            }
            radios->addAction(a);
        } else {
            radios = nullptr;
        }
        if (!item.shortcut.empty()) {
            // Shown in the menu; the keys themselves work through the window's key handling.
            a->setShortcut(QKeySequence(Q(item.shortcut)));
            a->setShortcutContext(Qt::WidgetShortcut);
        }
    }
}

} // namespace

QMenu* DigitizerWindow::BuildOptionsMenu(frmOptionsContextMenu& menu, QWidget* parent) {
    auto* qmenu = new QMenu(parent);
    AddItems(qmenu, menu.menuScribeline());
    return qmenu;
}

void DigitizerWindow::ShowOptionsMenuIfPoppedUp() {
    frmOptionsContextMenu& options = form_.Options();
    if (menuShowing_ || !options.IsLoaded() || !options.IsPoppedUp() || !formWidget_) {
        return;
    }
    menuShowing_ = true;
    QMenu* menu = BuildOptionsMenu(options, formWidget_);
    const Point at = options.PopupPosition();
    QAction* chosen = menu->exec(QPoint(at.x, at.y));
    const std::string name = chosen != nullptr ? chosen->objectName().toStdString() : "";
    menu->deleteLater();
    menuShowing_ = false;
    if (name.empty()) {
        options.ClosePopup();
        return;
    }
    guarded([&form = form_, name] {
        form.Errors().Run("Options menu", [&form, name] { (void)form.Options().Choose(name); });
    });
}

} // namespace scribeline::frontend
