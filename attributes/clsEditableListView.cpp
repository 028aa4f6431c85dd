#include "attributes/clsEditableListView.hpp"

#include "platform/numbers.hpp"

#include <cmath>
#include <stdexcept>

namespace scribeline {

std::string NumberText(double value) {
    if (value == 0.0) {
        return "0"; // also for -0
    }
    std::string text;
    int digits = 1;
    for (; digits <= 17; ++digits) {
        text = FormatSignificant(value, digits);
        if (ParseNumber(text) == value) {
            break;
        }
    }
    // Plain digits for the sizes people type; the exponent form only for the extremes.
    const double magnitude = std::fabs(value);
    if (magnitude >= 1e-5 && magnitude < 1e15 && text.find('e') != std::string::npos) {
        const int exponent = static_cast<int>(std::floor(std::log10(magnitude)));
        const int decimals = digits - 1 - exponent > 0 ? digits - 1 - exponent : 0;
        text = FormatFixed(value, decimals);
    }
    return text;
}

namespace {

bool wholeNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    if (i == text.size()) {
        return false;
    }
    const NumberPrefix number = ParseNumberPrefix(std::string_view(text).substr(i));
    if (number.length == 0) {
        return false;
    }
    std::size_t end = i + number.length;
    while (end < text.size() && text[end] == ' ') {
        ++end;
    }
    return end == text.size();
}

} // namespace

std::string FormatWithPattern(const std::string& text, const std::string& pattern) {
    if (pattern.empty() || !wholeNumber(text)) {
        return text;
    }
    int minInteger = 0;
    int minDecimals = 0;
    int maxDecimals = 0;
    bool grouping = false;
    bool afterPoint = false;
    for (char c : pattern) {
        if (c == '.') {
            if (afterPoint) {
                return text;
            }
            afterPoint = true;
        } else if (c == ',') {
            grouping = grouping || !afterPoint;
        } else if (c == '0') {
            if (afterPoint) {
                ++minDecimals;
                ++maxDecimals;
            } else {
                ++minInteger;
            }
        } else if (c == '#') {
            if (afterPoint) {
                ++maxDecimals;
            }
        } else {
            return text;
        }
    }
    const double value = ParseNumberPrefix(text).value;
    std::string digits = FormatFixed(std::fabs(value), maxDecimals);
    std::string integer = digits.substr(0, digits.find('.'));
    std::string decimals =
        digits.find('.') == std::string::npos ? std::string() : digits.substr(digits.find('.') + 1);
    while (static_cast<int>(decimals.size()) > minDecimals && decimals.back() == '0') {
        decimals.pop_back();
    }
    if (integer == "0" && minInteger == 0) {
        integer.clear();
    }
    const std::size_t padding = static_cast<std::size_t>(minInteger) > integer.size()
                                    ? static_cast<std::size_t>(minInteger) - integer.size()
                                    : 0;
    integer = std::string(padding, '0') + integer;
    std::string result;
    for (std::size_t k = 0; k < integer.size(); ++k) {
        if (grouping && k > 0 && (integer.size() - k) % 3 == 0) {
            result.push_back(',');
        }
        result.push_back(integer[k]);
    }
    if (!decimals.empty()) {
        result.push_back('.');
        result.append(decimals);
    }
    if (result.empty()) {
        result.push_back('0');
    }
    const bool zero = result.find_first_not_of("0.,") == std::string::npos;
    std::string signedResult;
    if (value < 0 && !zero) {
        signedResult.push_back('-');
    }
    signedResult.append(result);
    return signedResult;
}

clsEditableListView::clsEditableListView() : self_(std::make_shared<clsEditableListView*>(this)) {}

clsEditableListView::~clsEditableListView() = default;

void clsEditableListView::list(controls::ListView& view) {
    list_ = &view;
    bind();
}

void clsEditableListView::textbox(controls::TextBox& box) {
    box_ = &box;
    box_->SetVisible(false);
    bind();
}

void clsEditableListView::bind() {
    const std::weak_ptr<clsEditableListView*> weak = self_;
    auto with = [weak](auto&& call) {
        if (auto self = weak.lock()) {
            call(**self);
        }
    };
    if (list_ != nullptr) {
        list_->MouseDown = [with](int x, int y) {
            with([&](clsEditableListView& me) { me.list_MouseDown(x, y); });
        };
        list_->Click = [with] { with([](clsEditableListView& me) { me.list_Click(); }); };
        list_->Scroll = [with] { with([](clsEditableListView& me) { me.list_Scroll(); }); };
    }
    if (box_ != nullptr) {
        box_->GotFocus = [with] { with([](clsEditableListView& me) { me.textbox_GotFocus(); }); };
        box_->LostFocus = [with] { with([](clsEditableListView& me) { me.textbox_LostFocus(); }); };
        box_->KeyPress = [weak](int key) {
            auto self = weak.lock();
            return self ? (*self)->textbox_KeyPress(key) : key;
        };
        box_->KeyUp = [with](int keyCode, int shift) {
            with([&](clsEditableListView& me) { me.textbox_KeyUp(keyCode, shift); });
        };
    }
}

void clsEditableListView::requireControls() const {
    if (list_ == nullptr || box_ == nullptr) {
        throw std::logic_error("The editable list view needs its list and text box first.");
    }
}

clsColumn& clsEditableListView::addcolumn(const std::string& caption, const std::string& key,
                                          double colwidth, bool grow, bool edit, int align,
                                          bool show) {
    requireControls();
    auto column = std::make_unique<clsColumn>();
    column->colwidth = colwidth;
    column->grow = grow;
    column->edit = edit;
    column->align = align;
    column->show = show;
    // A hidden column keeps its properties but takes no room in the list.
    const int width = show ? static_cast<int>(std::lround(colwidth)) : 0;
    column->index = list_->AddColumnHeader(key, caption, width, align);
    columns_.push_back(std::move(column));
    return *columns_.back();
}

int clsEditableListView::additem(bool locked, const std::string& text,
                                 const std::vector<std::string>& subitems) {
    requireControls();
    controls::ListView::ListItem item;
    item.text = text;
    item.tag = locked;
    item.subItems = subitems;
    return list_->AddItem(std::move(item));
}

void clsEditableListView::removeitem(int index) {
    requireControls();
    if (editing_ && editRow_ == index) {
        closeEdit(savedText_);
    }
    list_->RemoveItem(index);
    if (editing_ && editRow_ > index) {
        --editRow_;
    }
}

void clsEditableListView::clearitems() {
    requireControls();
    if (editing_) {
        editing_ = false;
        box_->SetVisible(false);
    }
    list_->ClearItems();
}

void clsEditableListView::Resize() {
    requireControls();
    for (const auto& column : columns_) {
        if (!column->grow) {
            continue;
        }
        double others = 0.0;
        for (const auto& other : columns_) {
            if (other.get() != column.get()) {
                others += other->colwidth;
            }
        }
        const double width = list_->Width() - others - kResizeAllowance;
        // A list too narrow for the fixed columns leaves the growing one empty.
        list_->SetColumnWidth(column->index,
                              width > 0.0 ? static_cast<int>(std::lround(width)) : 0);
    }
}

void clsEditableListView::list_MouseDown(int x, int y) {
    mouseX_ = x;
    mouseY_ = y;
}

void clsEditableListView::list_Click() {
    if (list_ == nullptr || box_ == nullptr || editing_) {
        return;
    }
    const int row = list_->RowAt(mouseY_);
    if (row < 0 || list_->Item(row).tag) {
        return;
    }
    const clsColumn* hit = nullptr;
    for (const auto& column : columns_) {
        const auto& header = list_->Header(column->index);
        if (mouseX_ >= header.left && mouseX_ < header.left + header.width) {
            hit = column.get();
            break;
        }
    }
    if (hit == nullptr || !hit->edit) {
        return;
    }
    const auto& header = list_->Header(hit->index);
    box_->SetBounds({list_->Left() + header.left + kBoxIndent, list_->Top() + list_->RowTop(row),
                     header.width, controls::ListView::kRowHeight});
    savedText_ = list_->CellText(row, hit->index);
    editRow_ = row;
    editColumn_ = hit;
    editing_ = true;
    {
        // Filling the box is no typing: no Change for the text that is already there.
        auto change = std::move(box_->Change);
        box_->Change = nullptr;
        box_->SetText(savedText_);
        box_->Change = std::move(change);
    }
    box_->SetBackColor(kHighlight);
    box_->SetForeColor(kHighlightText);
    box_->SetVisible(true);
    box_->SetFocus();
    box_->SelectAll();
}

void clsEditableListView::list_Scroll() {
    Commit();
}

void clsEditableListView::textbox_GotFocus() {
    if (box_ != nullptr) {
        box_->SelectAll();
    }
}

int clsEditableListView::textbox_KeyPress(int key) {
    if (box_ == nullptr) {
        return key;
    }
    box_->SetBackColor(kButtonFace);
    box_->SetForeColor(kWindowText);
    if (!editing_) {
        return key;
    }
    if (key == vk::Escape) {
        // Put back exactly what the cell held, without normalising it.
        closeEdit(savedText_);
        return 0;
    }
    if (key == vk::Return) {
        Commit();
        return 0;
    }
    return key;
}

void clsEditableListView::textbox_KeyUp(int keyCode, int /*shift*/) {
    if (list_ == nullptr || (keyCode != vk::Up && keyCode != vk::Down)) {
        return;
    }
    if (!editing_) {
        return;
    }
    Commit();
    list_->SendKey(keyCode);
}

void clsEditableListView::textbox_LostFocus() {
    if (box_ == nullptr) {
        return;
    }
    box_->SetBackColor(kHighlight);
    box_->SetForeColor(kHighlightText);
    // Leaving the box finishes the edit; an edit left open would block every later click.
    Commit();
}

void clsEditableListView::Commit() {
    if (!editing_) {
        return;
    }
    std::string text = box_->Text();
    if (editColumn_->valueKind == ValueKind::Format_Numeric) {
        text = NumberText(LeadingNumber(text));
    }
    if (!editColumn_->valueFormat.empty()) {
        text = FormatWithPattern(text, editColumn_->valueFormat);
    }
    closeEdit(text);
}

void clsEditableListView::closeEdit(const std::string& text) {
    // Closed before anything else runs: hiding the box or moving the focus must not commit
    // twice.
    editing_ = false;
    list_->SetCellText(editRow_, editColumn_->index, text);
    {
        auto change = std::move(box_->Change);
        box_->Change = nullptr;
        box_->SetText(text);
        box_->Change = std::move(change);
    }
    box_->SetVisible(false);
    list_->SetFocus();
}

} // namespace scribeline
