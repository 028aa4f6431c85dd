// frmDefProperty: the "Define Fields" dialog, where the user defines the attribute fields a
// new target layer gets. It is a model of controls like the digitizer window; OK and Cancel
// only hide it, so its list survives a reopen while the dialog stays loaded.
//
// Ownership: the process state is borrowed and must outlive the dialog (the dialog enters its
// loaded-forms collection while loaded). `errors` is borrowed, may be null (user events then
// run unguarded). Units: none (no geometry of its own).
#pragma once

#include "command/action_errors.hpp"
#include "command/controls.hpp"
#include "command/process_state.hpp"
#include "command/subsystems.hpp"

#include <functional>
#include <string>
#include <vector>

namespace scribeline {

// A list box whose entries can be selected one by one (multi-select).
class ListBox : public controls::Control {
public:
    using Control::Control;
    [[nodiscard]] int ListCount() const { return static_cast<int>(items_.size()); }
    // Raise std::out_of_range outside 0..ListCount()-1.
    [[nodiscard]] const std::string& List(int index) const;
    [[nodiscard]] bool Selected(int index) const;
    [[nodiscard]] int SelCount() const;
    void AddItem(const std::string& item);
    void RemoveItem(int index);
    void Clear();
    void SetSelected(int index, bool selected);
    // A user's click on entry `index`: its selection flips, then Click.
    void UserToggle(int index);
    std::function<void()> Click;

private:
    std::vector<std::string> items_;
    std::vector<bool> selected_;
};

class frmDefProperty final : public IForm, private controls::IEventGate {
public:
    static constexpr const char* kCaption = "Define Fields";
    // The name the loaded-forms collection knows the dialog by.
    static constexpr const char* kFormName = "frmDefProperty";
    static constexpr int kMaxFields = 201;
    static constexpr int kMaxNameLength = 10;

    frmDefProperty(ProcessState& process, ActionErrors* errors);
    ~frmDefProperty() override;
    frmDefProperty(const frmDefProperty&) = delete;
    frmDefProperty& operator=(const frmDefProperty&) = delete;

    // Form_Load unless loaded: the dialog starts hidden with an empty list.
    void Load();
    void Unload();
    [[nodiscard]] bool IsLoaded() const { return loaded_; }
    // Loads when needed and shows; modal showing returns at once (the handlers of OK and
    // Cancel finish the job). Activation puts the focus into the name box.
    void Show(bool modal);
    void Hide() { visible_ = false; }
    [[nodiscard]] bool Visible() const { return visible_; }
    [[nodiscard]] bool Modal() const { return modal_; }
    [[nodiscard]] const std::string& Caption() const { return caption_; }
    [[nodiscard]] const controls::Control* Focused() const { return focused_; }

    // The fields OK handed over (at most kMaxFields); empty before OK and after Cancel.
    [[nodiscard]] const std::vector<UserDefinedField>& Result() const { return result_; }
    // Raised after OK and after Cancel with the result.
    std::function<void(const std::vector<UserDefinedField>&)> Closed;

    // The default length text of a type index ("" for an unknown index).
    [[nodiscard]] static std::string DefaultLength(int typeIndex);

    // ---- handlers -------------------------------------------------------------------------
    [[nodiscard]] int txtFieldName_KeyPress(int key) const;
    void txtFieldName_Change();
    void cboFieldType_Click();
    void cmdAdd_Click();
    void cmdClear_Click();
    void List1_Click();
    void cmdDelete_Click();
    void cmdSelectAll_Click();
    void cmdInvertSelection_Click();
    void Command1_Click();
    void Command2_Click();

    // The dialog's controls, bound like the digitizer window's: ForEach visits each once in
    // layout order (the hidden lists List2 and List3 too); OnChanged subscribes to the one
    // change notification, raised after every effective change of a control's state (list
    // entries and their selection included). Handlers may not be empty
    // (std::invalid_argument). The controls live as long as the dialog.
    class Controls final : public controls::ControlSet {
    public:
        Controls();
        ~Controls() override;
        void ForEach(const std::function<void(controls::Control&)>& visit) override;

        controls::Frame Frame1{"Frame1"}; // "New Field"
        controls::Label Label1{"Label1"};
        controls::TextBox txtFieldName{"txtFieldName"};
        controls::Label Label2{"Label2"};
        controls::ComboBox cboFieldType{"cboFieldType"};
        controls::Label Label3{"Label3"};
        controls::TextBox txtFieldLength{"txtFieldLength"};
        controls::Label Label4{"Label4"};
        controls::TextBox txtFieldPrecision{"txtFieldPrecision"};
        controls::Label Label5{"Label5"};
        controls::TextBox txtFieldScale{"txtFieldScale"};
        controls::Button cmdAdd{"cmdAdd"};
        controls::Button cmdClear{"cmdClear"};
        controls::Image Picture1{"Picture1"};
        controls::Frame Frame2{"Frame2"}; // "Field List"
        ListBox List1{"List1"};
        ListBox List2{"List2"}; // hidden: type index text per field
        ListBox List3{"List3"}; // hidden: length text per field
        controls::Button cmdDelete{"cmdDelete"};
        controls::Button cmdSelectAll{"cmdSelectAll"};
        controls::Button cmdInvertSelection{"cmdInvertSelection"};
        controls::Button Command1{"Command1"}; // OK
        controls::Button Command2{"Command2"}; // Cancel
    };
    Controls ctl;

    // IForm
    [[nodiscard]] std::string FormName() const override { return kFormName; }
    bool UnloadForm() override {
        Unload();
        return true;
    }

private:
    void Form_Load();
    void bindEvents();
    void updateListButtons();
    void updateAdd();
    void setTextQuietly(controls::TextBox& box, const std::string& text);
    void Deliver(const std::string& what, const std::function<void()>& event) override;
    void FocusChanged(const controls::Control* control) override { focused_ = control; }

    ProcessState& process_;
    ActionErrors* errors_;
    bool loaded_ = false;
    bool visible_ = false;
    bool modal_ = false;
    std::string caption_;
    const controls::Control* focused_ = nullptr;
    std::vector<UserDefinedField> result_;
};

} // namespace scribeline
