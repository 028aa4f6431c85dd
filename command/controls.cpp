#include "command/controls.hpp"

#include <algorithm>
#include <stdexcept>

namespace scribeline::controls {

// ---- Control ----

void Control::SetEnabled(bool enabled) {
    assign(enabled_, enabled);
}

void Control::SetVisible(bool visible) {
    assign(visible_, visible);
}

void Control::Move(int left, int top) {
    if (bounds_.left == left && bounds_.top == top) {
        return;
    }
    bounds_.left = left;
    bounds_.top = top;
    notifyChanged();
}

void Control::Resize(int width, int height) {
    if (bounds_.width == width && bounds_.height == height) {
        return;
    }
    bounds_.width = width;
    bounds_.height = height;
    notifyChanged();
}

void Control::SetFocus() {
    if (gate_ != nullptr) {
        gate_->FocusChanged(this);
    }
}

void Control::DeliverUserEvent(const std::string& what, const std::function<void()>& event) {
    if (!event) {
        return;
    }
    if (gate_ != nullptr) {
        gate_->Deliver(what, event);
    } else {
        event();
    }
}

// ---- Frame ----

void Frame::UserMouseMove() {
    if (takesInput() && MouseMove) {
        DeliverUserEvent(Name() + "_MouseMove", MouseMove);
    }
}

// ---- ListView ----

int ListView::AddColumnHeader(const std::string& key, const std::string& caption, int width,
                              int alignment) {
    headers_.push_back(ColumnHeader{key, caption, width, alignment, 0});
    layoutHeaders();
    notifyChanged();
    return static_cast<int>(headers_.size());
}

const ListView::ColumnHeader& ListView::Header(int index) const {
    if (index < 1 || index > ColumnCount()) {
        throw std::out_of_range(Name() + ": no column header " + std::to_string(index));
    }
    return headers_[static_cast<std::size_t>(index - 1)];
}

void ListView::SetColumnWidth(int index, int width) {
    (void)Header(index);
    auto& header = headers_[static_cast<std::size_t>(index - 1)];
    if (header.width == width) {
        return;
    }
    header.width = width;
    layoutHeaders();
    notifyChanged();
}

void ListView::layoutHeaders() {
    int left = 0;
    for (auto& header : headers_) {
        header.left = left;
        left += header.width;
    }
}

int ListView::AddItem(ListItem item) {
    const std::size_t room = headers_.empty() ? 0 : headers_.size() - 1;
    if (item.subItems.size() > room) {
        item.subItems.resize(room);
    }
    items_.push_back(std::move(item));
    notifyChanged();
    return static_cast<int>(items_.size()) - 1;
}

const ListView::ListItem& ListView::Item(int index) const {
    if (index < 0 || index >= ItemCount()) {
        throw std::out_of_range(Name() + ": no row " + std::to_string(index));
    }
    return items_[static_cast<std::size_t>(index)];
}

void ListView::RemoveItem(int index) {
    (void)Item(index);
    items_.erase(items_.begin() + index);
    if (selected_ >= ItemCount()) {
        selected_ = ItemCount() - 1;
    }
    notifyChanged();
}

void ListView::ClearItems() {
    if (items_.empty() && selected_ == -1) {
        return;
    }
    items_.clear();
    selected_ = -1;
    notifyChanged();
}

void ListView::Clear() {
    if (items_.empty() && selected_ == -1 && headers_.empty()) {
        return;
    }
    items_.clear();
    selected_ = -1;
    headers_.clear();
    notifyChanged();
}

std::string ListView::CellText(int row, int column) const {
    const ListItem& item = Item(row);
    if (column == 1) {
        return item.text;
    }
    (void)Header(column);
    const auto sub = static_cast<std::size_t>(column - 2);
    return sub < item.subItems.size() ? item.subItems[sub] : std::string();
}

void ListView::SetCellText(int row, int column, const std::string& text) {
    (void)Item(row);
    auto& item = items_[static_cast<std::size_t>(row)];
    if (column == 1) {
        assign(item.text, text);
        return;
    }
    (void)Header(column);
    const auto sub = static_cast<std::size_t>(column - 2);
    if (item.subItems.size() <= sub) {
        if (text.empty()) {
            return; // a missing sub-item already reads as ""
        }
        item.subItems.resize(sub + 1);
    }
    assign(item.subItems[sub], text);
}

void ListView::SetSelectedIndex(int index) {
    if (items_.empty()) {
        assign(selected_, -1);
        return;
    }
    assign(selected_, index < 0 ? 0 : (index >= ItemCount() ? ItemCount() - 1 : index));
}

int ListView::RowAt(int y) const {
    if (y < kHeaderHeight) {
        return -1;
    }
    const int row = (y - kHeaderHeight) / kRowHeight;
    return row < ItemCount() ? row : -1;
}

void ListView::SendKey(int keyCode) {
    if (keyCode == vk::Up && selected_ > 0) {
        SetSelectedIndex(selected_ - 1);
    } else if (keyCode == vk::Down) {
        SetSelectedIndex(selected_ + 1);
    }
}

void ListView::UserClickAt(int x, int y) {
    if (!takesInput()) {
        return;
    }
    DeliverUserEvent(Name() + "_Click", [this, x, y] {
        if (MouseDown) {
            MouseDown(x, y);
        }
        const int row = RowAt(y);
        if (row >= 0) {
            assign(selected_, row);
        }
        if (Click) {
            Click();
        }
    });
}

void ListView::UserClickCell(int row, int column) {
    if (row < 0 || row >= ItemCount() || column < 1 || column > ColumnCount()) {
        return;
    }
    const ColumnHeader& header = Header(column);
    UserClickAt(header.left + header.width / 2, RowTop(row) + kRowHeight / 2);
}

void ListView::UserScroll() {
    if (takesInput() && Scroll) {
        DeliverUserEvent(Name() + "_Scroll", Scroll);
    }
}

// ---- Button ----

void Button::UserClick() {
    if (takesInput() && Click) {
        DeliverUserEvent(Name() + "_Click", Click);
    }
}

// ---- OptionArray ----

OptionArray::OptionArray(std::string name, const std::vector<std::string>& captions)
    : name_(std::move(name)) {
    int index = 0;
    for (const auto& caption : captions) {
        auto option = std::make_unique<OptionButton>(name_, index++);
        option->SetCaption(caption);
        option->group_ = this;
        options_.push_back(std::move(option));
    }
}

OptionButton& OptionArray::operator[](int index) {
    return *options_.at(static_cast<std::size_t>(index));
}

const OptionButton& OptionArray::operator[](int index) const {
    return *options_.at(static_cast<std::size_t>(index));
}

int OptionArray::Selected() const {
    for (std::size_t i = 0; i < options_.size(); ++i) {
        if (options_[i]->value_) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void OptionArray::Select(int index) {
    (void)(*this)[index]; // range check before anything changes
    // Losing values first, so no moment has two options selected.
    for (std::size_t i = 0; i < options_.size(); ++i) {
        if (static_cast<int>(i) != index) {
            options_[i]->assign(options_[i]->value_, false);
        }
    }
    options_[static_cast<std::size_t>(index)]->assign(
        options_[static_cast<std::size_t>(index)]->value_, true);
    if (Click) {
        Click(index);
    }
}

void OptionArray::UserSelect(int index) {
    OptionButton& option = (*this)[index];
    if (!option.Enabled() || !option.Visible()) {
        return;
    }
    option.DeliverUserEvent(name_ + "_Click", [this, index] { Select(index); });
}

void OptionArray::AttachGate(IEventGate* gate) {
    for (auto& option : options_) {
        option->AttachGate(gate);
    }
}

void OptionArray::AttachSignal(const ChangeSignal* signal) {
    for (auto& option : options_) {
        option->AttachSignal(signal);
    }
}

// ---- TextBox ----

void TextBox::SetText(const std::string& text) {
    if (text == text_) {
        return;
    }
    text_ = text;
    clampSelection(selStart_, selLength_);
    notifyChanged();
    if (Change) {
        Change();
    }
}

std::string TextBox::SelText() const {
    return text_.substr(static_cast<std::size_t>(selStart_), static_cast<std::size_t>(selLength_));
}

void TextBox::SetSelection(int start, int length) {
    const int oldStart = selStart_;
    const int oldLength = selLength_;
    clampSelection(start, length);
    if (selStart_ != oldStart || selLength_ != oldLength) {
        notifyChanged();
    }
}

void TextBox::clampSelection(int start, int length) {
    const int size = static_cast<int>(text_.size());
    selStart_ = start < 0 ? 0 : (start > size ? size : start);
    const int room = size - selStart_;
    selLength_ = length < 0 ? 0 : (length > room ? room : length);
}

void TextBox::typeOne(int key) {
    if (KeyPress) {
        key = KeyPress(key);
    }
    if (key == 0 || key == vk::Return || key == vk::Escape) {
        return;
    }
    std::string next = text_;
    if (selLength_ > 0) {
        next.erase(static_cast<std::size_t>(selStart_), static_cast<std::size_t>(selLength_));
        if (key != vk::Back) {
            next.insert(next.begin() + selStart_, static_cast<char>(key));
        }
    } else if (key == vk::Back) {
        if (!next.empty()) {
            next.pop_back();
        }
    } else {
        next.push_back(static_cast<char>(key));
    }
    // The caret follows the typing to the end of what was typed.
    const int caret =
        selLength_ > 0 ? selStart_ + (key == vk::Back ? 0 : 1) : static_cast<int>(next.size());
    if (next == text_) {
        SetSelection(caret, 0); // Backspace in an empty box
        return;
    }
    // The caret moves with the text: one notification for both.
    selLength_ = 0;
    selStart_ = caret;
    SetText(next);
}

void TextBox::UserType(const std::string& characters) {
    if (!takesInput()) {
        return;
    }
    DeliverUserEvent(Name() + "_KeyPress", [this, characters] {
        for (char c : characters) {
            typeOne(static_cast<unsigned char>(c));
        }
    });
}

void TextBox::UserKey(int keyCode, int shift) {
    if (!takesInput()) {
        return;
    }
    DeliverUserEvent(Name() + "_KeyDown", [this, keyCode, shift] {
        if (KeyDown) {
            KeyDown(keyCode, shift);
        }
        if (keyCode == vk::Return || keyCode == vk::Escape || keyCode == vk::Back) {
            typeOne(keyCode);
        }
        if (KeyUp) {
            KeyUp(keyCode, shift);
        }
    });
}

// ---- ScrollBar ----

void ScrollBar::SetRange(int minimum, int maximum, int smallChange, int largeChange) {
    int value = value_;
    if (value < minimum) {
        value = minimum;
    }
    if (value > maximum) {
        value = maximum;
    }
    if (min_ == minimum && max_ == maximum && small_ == smallChange && large_ == largeChange &&
        value_ == value) {
        return;
    }
    min_ = minimum;
    max_ = maximum;
    small_ = smallChange;
    large_ = largeChange;
    value_ = value;
    notifyChanged();
}

void ScrollBar::SetValue(int value) {
    if (value < min_ || value > max_) {
        throw std::out_of_range(Name() + ": invalid property value " + std::to_string(value));
    }
    if (value == value_) {
        return;
    }
    value_ = value;
    notifyChanged();
    if (Change) {
        Change();
    }
}

void ScrollBar::SetInitialValue(int value) {
    if (value < min_ || value > max_) {
        throw std::out_of_range(Name() + ": invalid property value " + std::to_string(value));
    }
    assign(value_, value);
}

void ScrollBar::UserSetValue(int value) {
    if (!takesInput()) {
        return;
    }
    // A user cannot move the bar past its ends.
    const int clamped = value < min_ ? min_ : (value > max_ ? max_ : value);
    DeliverUserEvent(Name() + "_Change", [this, clamped] { SetValue(clamped); });
}

// ---- ComboBox ----

void ComboBox::Clear() {
    if (items_.empty() && listIndex_ == -1 && text_.empty()) {
        return;
    }
    items_.clear();
    listIndex_ = -1;
    text_.clear();
    notifyChanged();
}

void ComboBox::AddItem(const std::string& item) {
    items_.push_back(item);
    notifyChanged();
}

void ComboBox::UserChoose(int index) {
    if (!takesInput() || index < 0 || index >= static_cast<int>(items_.size())) {
        return;
    }
    DeliverUserEvent(Name() + "_Click", [this, index] {
        const std::string& text = items_[static_cast<std::size_t>(index)];
        if (listIndex_ != index || text_ != text) {
            listIndex_ = index;
            text_ = text;
            notifyChanged();
        }
        if (Click) {
            Click();
        }
    });
}

// ---- Image ----

void Image::UserMouseMove() {
    if (takesInput() && MouseMove) {
        DeliverUserEvent(Name() + "_MouseMove", MouseMove);
    }
}

void Image::UserClick() {
    if (takesInput() && Click) {
        DeliverUserEvent(Name() + "_Click", Click);
    }
}

void Image::UserMouseDown() {
    if (takesInput() && MouseDown) {
        DeliverUserEvent(Name() + "_MouseDown", MouseDown);
    }
}

void Image::UserMouseUp() {
    if (takesInput() && MouseUp) {
        DeliverUserEvent(Name() + "_MouseUp", MouseUp);
    }
}

ImageArray::ImageArray(std::string name, int count) {
    for (int i = 0; i < count; ++i) {
        auto image = std::make_unique<Image>(name, i);
        image->Click = [this, i] {
            if (Click) {
                Click(i);
            }
        };
        image->MouseDown = [this, i] {
            if (MouseDown) {
                MouseDown(i);
            }
        };
        image->MouseUp = [this, i] {
            if (MouseUp) {
                MouseUp(i);
            }
        };
        images_.push_back(std::move(image));
    }
}

Image& ImageArray::operator[](int index) {
    return *images_.at(static_cast<std::size_t>(index));
}

const Image& ImageArray::operator[](int index) const {
    return *images_.at(static_cast<std::size_t>(index));
}

void ImageArray::AttachGate(IEventGate* gate) {
    for (auto& image : images_) {
        image->AttachGate(gate);
    }
}

void ImageArray::AttachSignal(const ChangeSignal* signal) {
    for (auto& image : images_) {
        image->AttachSignal(signal);
    }
}

// ---- PictureBox ----

PictureBox::~PictureBox() {
    Destroy();
}

void PictureBox::Create(IDesktop& desktop, WindowHandle parent) {
    Destroy();
    desktop_ = &desktop;
    WindowSpec params;
    params.className = "ScribelinePicture";
    params.title = Name();
    params.parent = parent;
    params.visible = Visible();
    const int tx = desktop.TwipsPerPixelX();
    const int ty = desktop.TwipsPerPixelY();
    params.rect = Rect{Left() / tx, Top() / ty, (Left() + Width()) / tx, (Top() + Height()) / ty};
    window_ = desktop.CreateWindow(params, this);
}

void PictureBox::Destroy() {
    if (desktop_ != nullptr && window_ != kNoWindow) {
        desktop_->DestroyWindow(window_);
    }
    window_ = kNoWindow;
}

void PictureBox::SetVisible(bool visible) {
    Control::SetVisible(visible);
    if (desktop_ != nullptr && window_ != kNoWindow) {
        desktop_->ShowWindow(window_, visible ? ShowCommand::Show : ShowCommand::Hide);
    }
}

void PictureBox::Move(int left, int top) {
    Control::Move(left, top);
    place();
}

void PictureBox::Resize(int width, int height) {
    Control::Resize(width, height);
    place();
}

void PictureBox::place() {
    if (desktop_ == nullptr || window_ == kNoWindow) {
        return;
    }
    const int tx = desktop_->TwipsPerPixelX();
    const int ty = desktop_->TwipsPerPixelY();
    desktop_->SetWindowPos(window_, Left() / tx, Top() / ty, Width() / tx, Height() / ty,
                           swp::NoZOrder);
}

void PictureBox::SyncFromWindow() {
    if (desktop_ == nullptr || window_ == kNoWindow) {
        return;
    }
    const WindowHandle parent = desktop_->GetParent(window_);
    const auto rect = desktop_->GetWindowRect(window_);
    if (!rect) {
        return;
    }
    Point topLeft{rect->left, rect->top};
    if (parent != kNoWindow) {
        if (auto client = desktop_->ScreenToClient(parent, topLeft)) {
            topLeft = *client;
        }
    }
    // The window is already there: the model follows without placing it again.
    Control::Move(topLeft.x * desktop_->TwipsPerPixelX(), topLeft.y * desktop_->TwipsPerPixelY());
}

void PictureBox::onMouse(const MouseEvent& event, Point client) {
    if (!Enabled() || !Mouse) {
        return;
    }
    const MouseMessage message = event.message;
    const Point screen = event.screen;
    DeliverUserEvent(Name() + "_Mouse",
                     [this, message, client, screen] { Mouse(message, client, screen); });
}

// ---- Toolbar ----

void Toolbar::Clear() {
    if (buttons_.empty()) {
        return;
    }
    buttons_.clear();
    notifyChanged();
}

void Toolbar::Add(ToolbarButton button) {
    buttons_.push_back(std::move(button));
    notifyChanged();
}

const ToolbarButton& Toolbar::Button(const std::string& key) const {
    return const_cast<Toolbar*>(this)->button(key);
}

ToolbarButton& Toolbar::button(const std::string& key) {
    for (auto& button : buttons_) {
        if (button.style != ButtonStyle::Separator && button.key == key) {
            return button;
        }
    }
    throw std::out_of_range(Name() + " has no button \"" + key + "\"");
}

void Toolbar::SetButtonValue(const std::string& key, int value) {
    assign(button(key).value, value);
}

void Toolbar::SetButtonImage(const std::string& key, const std::string& imageKey) {
    assign(button(key).imageKey, imageKey);
}

void Toolbar::SetButtonVisible(const std::string& key, bool visible) {
    assign(button(key).visible, visible);
}

void Toolbar::SetButtonTooltip(const std::string& key, const std::string& tooltip) {
    assign(button(key).tooltip, tooltip);
}

bool Toolbar::HasButton(const std::string& key) const {
    for (const auto& button : buttons_) {
        if (button.style != ButtonStyle::Separator && button.key == key) {
            return true;
        }
    }
    return false;
}

void Toolbar::SetButtonEnabled(const std::string& key, bool enabled) {
    ToolbarButton& b = button(key);
    if (b.enabled == enabled && b.value == 0) {
        return;
    }
    b.enabled = enabled;
    b.value = 0;
    notifyChanged();
}

void Toolbar::UserClick(const std::string& key) {
    if (!takesInput() || !HasButton(key)) {
        return;
    }
    const ToolbarButton& button = Button(key);
    if (!button.enabled || !button.visible || !ButtonClick) {
        return;
    }
    const std::string what = button.description.empty() ? key : button.description;
    DeliverUserEvent(what, [this, key] { ButtonClick(key); });
}

// ---- Timer ----

Timer::~Timer() {
    if (desktop_ != nullptr && handle_ != 0) {
        desktop_->KillTimer(handle_);
    }
}

void Timer::SetInterval(int milliseconds) {
    // Setting the interval restarts a running timer even when it is the same.
    assign(interval_, milliseconds);
    restart();
}

void Timer::SetEnabled(bool enabled) {
    Control::SetEnabled(enabled);
    restart();
}

void Timer::restart() {
    if (desktop_ == nullptr) {
        return;
    }
    if (handle_ != 0) {
        desktop_->KillTimer(handle_);
        handle_ = 0;
    }
    if (Enabled() && interval_ > 0) {
        handle_ = desktop_->SetTimer(interval_, [this] {
            if (Tick) {
                Tick();
            }
        });
    }
}

} // namespace scribeline::controls
