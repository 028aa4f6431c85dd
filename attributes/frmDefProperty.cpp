#include "attributes/frmDefProperty.hpp"

#include <stdexcept>

namespace scribeline {

namespace {

const char* const kTypeNames[] = {"Short Integer", "Long Integer", "Float",
                                  "Double",        "Text",         "Date"};
constexpr int kTextType = 4;

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string trimBlanks(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

int digitsOnly(int key) {
    return (key >= '0' && key <= '9') || key == vk::Back ? key : 0;
}

} // namespace

// ---- ListBox ----

const std::string& ListBox::List(int index) const {
    if (index < 0 || index >= ListCount()) {
        throw std::out_of_range(Name() + ": no entry " + std::to_string(index));
    }
    return items_[static_cast<std::size_t>(index)];
}

bool ListBox::Selected(int index) const {
    (void)List(index);
    return selected_[static_cast<std::size_t>(index)];
}

int ListBox::SelCount() const {
    int count = 0;
    for (bool s : selected_) {
        count += s ? 1 : 0;
    }
    return count;
}

void ListBox::AddItem(const std::string& item) {
    items_.push_back(item);
    selected_.push_back(false);
    notifyChanged();
}

void ListBox::RemoveItem(int index) {
    (void)List(index);
    items_.erase(items_.begin() + index);
    selected_.erase(selected_.begin() + index);
    notifyChanged();
}

void ListBox::Clear() {
    if (items_.empty()) {
        return;
    }
    items_.clear();
    selected_.clear();
    notifyChanged();
}

void ListBox::SetSelected(int index, bool selected) {
    (void)List(index);
    if (selected_[static_cast<std::size_t>(index)] == selected) {
        return;
    }
    selected_[static_cast<std::size_t>(index)] = selected;
    notifyChanged();
}

void ListBox::UserToggle(int index) {
    if (!Enabled() || !Visible() || index < 0 || index >= ListCount()) {
        return;
    }
    DeliverUserEvent(Name() + "_Click", [this, index] {
        SetSelected(index, !Selected(index));
        if (Click) {
            Click();
        }
    });
}

// ---- the dialog's controls ----

frmDefProperty::Controls::Controls() {
    AttachAll();
}

frmDefProperty::Controls::~Controls() {
    DetachAll();
}

void frmDefProperty::Controls::ForEach(const std::function<void(controls::Control&)>& visit) {
    if (!visit) {
        throw std::invalid_argument("frmDefProperty::Controls::ForEach needs a visitor.");
    }
    for (controls::Control* control : std::initializer_list<controls::Control*>{
             &Frame1,         &Label1,        &txtFieldName,
             &Label2,         &cboFieldType,  &Label3,
             &txtFieldLength, &Label4,        &txtFieldPrecision,
             &Label5,         &txtFieldScale, &cmdAdd,
             &cmdClear,       &Picture1,      &Frame2,
             &List1,          &List2,         &List3,
             &cmdDelete,      &cmdSelectAll,  &cmdInvertSelection,
             &Command1,       &Command2}) {
        visit(*control);
    }
}

// ---- frmDefProperty ----

frmDefProperty::frmDefProperty(ProcessState& process, ActionErrors* errors)
    : process_(process), errors_(errors) {
    bindEvents();
}

frmDefProperty::~frmDefProperty() {
    process_.FormUnloaded(this);
}

std::string frmDefProperty::DefaultLength(int typeIndex) {
    switch (typeIndex) {
    case 0:
        return "8";
    case 1:
    case 2:
        return "16";
    case 3:
        return "32";
    case 4:
        return "50";
    case 5:
        return "10";
    default:
        return "";
    }
}

void frmDefProperty::bindEvents() {
    auto& c = ctl;
    c.txtFieldName.KeyPress = [this](int key) { return txtFieldName_KeyPress(key); };
    c.txtFieldName.Change = [this] { txtFieldName_Change(); };
    c.txtFieldLength.KeyPress = digitsOnly;
    c.txtFieldPrecision.KeyPress = digitsOnly;
    c.txtFieldScale.KeyPress = digitsOnly;
    c.cboFieldType.Click = [this] { cboFieldType_Click(); };
    c.cmdAdd.Click = [this] { cmdAdd_Click(); };
    c.cmdClear.Click = [this] { cmdClear_Click(); };
    c.List1.Click = [this] { List1_Click(); };
    c.cmdDelete.Click = [this] { cmdDelete_Click(); };
    c.cmdSelectAll.Click = [this] { cmdSelectAll_Click(); };
    c.cmdInvertSelection.Click = [this] { cmdInvertSelection_Click(); };
    c.Command1.Click = [this] { Command1_Click(); };
    c.Command2.Click = [this] { Command2_Click(); };
    controls::IEventGate* gate = this;
    for (controls::Control* control : std::initializer_list<controls::Control*>{
             &c.txtFieldName, &c.cboFieldType, &c.txtFieldLength, &c.txtFieldPrecision,
             &c.txtFieldScale, &c.cmdAdd, &c.cmdClear, &c.Picture1, &c.List1, &c.cmdDelete,
             &c.cmdSelectAll, &c.cmdInvertSelection, &c.Command1, &c.Command2}) {
        control->AttachGate(gate);
    }
    c.Frame1.SetCaption("New Field");
    c.Frame2.SetCaption("Field List");
    c.Label1.SetCaption("Name:");
    c.Label2.SetCaption("Type:");
    c.Label3.SetCaption("Length:");
    c.Label4.SetCaption("Precision:");
    c.Label5.SetCaption("Scale:");
    c.cmdAdd.SetCaption("Add");
    c.cmdClear.SetCaption("Clear");
    c.cmdDelete.SetCaption("Delete");
    c.cmdSelectAll.SetCaption("All");
    c.cmdInvertSelection.SetCaption("Invert");
    c.Command1.SetCaption("OK");
    c.Command2.SetCaption("Cancel");
    c.Picture1.SetPictureKey("warning");
    c.List2.SetVisible(false);
    c.List3.SetVisible(false);
}

void frmDefProperty::Load() {
    if (loaded_) {
        return;
    }
    Form_Load();
    loaded_ = true;
    process_.FormLoaded(this);
}

void frmDefProperty::Unload() {
    if (!loaded_) {
        return;
    }
    visible_ = false;
    loaded_ = false;
    process_.FormUnloaded(this);
}

void frmDefProperty::Form_Load() {
    auto& c = ctl;
    caption_ = kCaption;
    visible_ = false;
    focused_ = nullptr;
    result_.clear();
    c.cmdDelete.SetEnabled(false);
    c.Command1.SetEnabled(false);
    c.cmdSelectAll.SetEnabled(false);
    c.cmdInvertSelection.SetEnabled(false);
    for (controls::TextBox* box :
         {&c.txtFieldName, &c.txtFieldLength, &c.txtFieldPrecision, &c.txtFieldScale}) {
        setTextQuietly(*box, "");
        box->SetEnabled(true);
    }
    c.Picture1.SetVisible(false);
    c.cboFieldType.Clear();
    for (const char* name : kTypeNames) {
        c.cboFieldType.AddItem(name);
    }
    c.List1.Clear();
    c.List2.Clear();
    c.List3.Clear();
    updateAdd();
}

void frmDefProperty::Show(bool modal) {
    Load();
    visible_ = true;
    modal_ = modal;
    // Form_Activate
    ctl.txtFieldName.SetFocus();
}

void frmDefProperty::setTextQuietly(controls::TextBox& box, const std::string& text) {
    auto change = std::move(box.Change);
    box.Change = nullptr;
    box.SetText(text);
    box.Change = std::move(change);
}

int frmDefProperty::txtFieldName_KeyPress(int key) const {
    const bool accepted = (key >= 'a' && key <= 'z') || (key >= 'A' && key <= 'Z') ||
                          (key >= '0' && key <= '9') || key == '_' || key == vk::Back;
    return accepted ? key : 0;
}

void frmDefProperty::txtFieldName_Change() {
    auto& name = ctl.txtFieldName;
    ctl.Picture1.SetVisible(false);
    if (static_cast<int>(name.Text().size()) > kMaxNameLength) {
        name.SetText(name.Text().substr(0, kMaxNameLength)); // raises Change again
        name.SetSelection(kMaxNameLength, 0);
        return;
    }
    updateAdd();
}

void frmDefProperty::updateAdd() {
    const std::string& name = ctl.txtFieldName.Text();
    ctl.cmdAdd.SetEnabled(!name.empty() && isLetter(name.front()) &&
                          ctl.List1.ListCount() < kMaxFields);
}

void frmDefProperty::cboFieldType_Click() {
    auto& c = ctl;
    switch (c.cboFieldType.ListIndex()) {
    case 0:
    case 1:
    case 2:
    case 3:
        c.txtFieldLength.SetEnabled(false);
        c.txtFieldPrecision.SetEnabled(true);
        c.txtFieldScale.SetEnabled(true);
        break;
    case kTextType:
        c.txtFieldLength.SetEnabled(true);
        c.txtFieldLength.SetText("50");
        c.txtFieldPrecision.SetEnabled(false);
        c.txtFieldScale.SetEnabled(false);
        break;
    case 5:
        c.txtFieldLength.SetEnabled(false);
        c.txtFieldPrecision.SetEnabled(false);
        c.txtFieldScale.SetEnabled(false);
        break;
    default:
        break;
    }
}

void frmDefProperty::cmdAdd_Click() {
    auto& c = ctl;
    const std::string name = c.txtFieldName.Text();
    if (name.empty() || !isLetter(name.front()) || c.List1.ListCount() >= kMaxFields) {
        return;
    }
    for (int i = 0; i < c.List1.ListCount(); ++i) {
        if (c.List1.List(i) == name) {
            c.Picture1.SetVisible(true);
            c.txtFieldName.SetFocus();
            return;
        }
    }
    // A field added before any type is chosen is a text field, the common default.
    const int type = c.cboFieldType.ListIndex() < 0 ? kTextType : c.cboFieldType.ListIndex();
    // A length typed for another type stays behind in the disabled box; it is not this
    // field's length.
    const std::string length = c.txtFieldLength.Enabled() ? c.txtFieldLength.Text() : "";
    c.List1.AddItem(name);
    c.List2.AddItem(std::to_string(type));
    c.List3.AddItem(length);
    c.cmdSelectAll.SetEnabled(true);
    c.cmdInvertSelection.SetEnabled(true);
    c.Command1.SetEnabled(true);
    updateAdd();
    c.txtFieldName.SetFocus();
}

void frmDefProperty::cmdClear_Click() {
    auto& c = ctl;
    c.txtFieldName.SetText("");
    c.txtFieldLength.SetText("");
    c.txtFieldPrecision.SetText("");
    c.txtFieldScale.SetText("");
    c.txtFieldName.SetFocus();
}

void frmDefProperty::updateListButtons() {
    auto& c = ctl;
    const bool any = c.List1.ListCount() > 0;
    c.cmdDelete.SetEnabled(c.List1.SelCount() > 0);
    c.Command1.SetEnabled(any);
    c.cmdSelectAll.SetEnabled(any);
    c.cmdInvertSelection.SetEnabled(any);
    updateAdd();
}

void frmDefProperty::List1_Click() {
    updateListButtons();
}

void frmDefProperty::cmdDelete_Click() {
    auto& c = ctl;
    for (int i = c.List1.ListCount() - 1; i >= 0; --i) {
        if (c.List1.Selected(i)) {
            c.List1.RemoveItem(i);
            c.List2.RemoveItem(i);
            c.List3.RemoveItem(i);
        }
    }
    updateListButtons();
}

void frmDefProperty::cmdSelectAll_Click() {
    for (int i = 0; i < ctl.List1.ListCount(); ++i) {
        ctl.List1.SetSelected(i, true);
    }
    updateListButtons();
}

void frmDefProperty::cmdInvertSelection_Click() {
    for (int i = 0; i < ctl.List1.ListCount(); ++i) {
        ctl.List1.SetSelected(i, !ctl.List1.Selected(i));
    }
    updateListButtons();
}

void frmDefProperty::Command1_Click() {
    auto& c = ctl;
    result_.clear();
    for (int i = 0; i < c.List1.ListCount() && i < kMaxFields; ++i) {
        UserDefinedField field;
        field.name = c.List1.List(i);
        field.typeIndex = std::stoi(c.List2.List(i));
        field.lengthText = trimBlanks(c.List3.List(i));
        if (field.lengthText.empty()) {
            field.lengthText = DefaultLength(field.typeIndex);
        }
        result_.push_back(std::move(field));
    }
    visible_ = false;
    if (Closed) {
        Closed(result_);
    }
}

void frmDefProperty::Command2_Click() {
    visible_ = false;
    result_.clear();
    if (Closed) {
        Closed(result_);
    }
}

void frmDefProperty::Deliver(const std::string& what, const std::function<void()>& event) {
    if (errors_ != nullptr) {
        (void)errors_->Run(what, event);
    } else {
        event();
    }
}

} // namespace scribeline
