// clsEditableListView: turns a report-style list view into a grid whose cells are edited in
// place. A click on a cell of an editable column lays the text box over the cell; Enter, Up,
// Down or leaving the box writes the text back into the cell, Esc puts back what was there.
//
// Ownership: the list view and the text box are borrowed controls (the window's) and must
// outlive the object; the events the object binds on them do nothing once it is gone. Units:
// twips, positions of the list's mouse events relative to the list.
#pragma once

#include "attributes/clsColumn.hpp"
#include "command/controls.hpp"
#include "platform/numbers.hpp"

#include <memory>
#include <string>
#include <vector>

namespace scribeline {

// Typed numbers are read with LeadingNumber (platform/numbers.hpp).
// A number as committed text: the shortest general form with "." ("12", "1.5", "-0.25").
[[nodiscard]] std::string NumberText(double value);
// Formats a number with a pattern of 0 (digit), # (optional digit), "," (thousands groups) and
// one "."; text that is not a number, or a pattern with other characters, is left unchanged.
[[nodiscard]] std::string FormatWithPattern(const std::string& text, const std::string& pattern);

class clsEditableListView {
public:
    // The system colours an edit box shows while it is open and after a key.
    static constexpr Colour kHighlight = rgb(0, 120, 215);
    static constexpr Colour kHighlightText = rgb(255, 255, 255);
    static constexpr Colour kButtonFace = rgb(240, 240, 240);
    static constexpr Colour kWindowText = rgb(0, 0, 0);
    // The box sits this far right of the header's left edge (the list's border).
    static constexpr int kBoxIndent = 70;
    // Resize leaves this much for the vertical scroll bar and borders.
    static constexpr int kResizeAllowance = 330;

    clsEditableListView();
    ~clsEditableListView();
    clsEditableListView(const clsEditableListView&) = delete;
    clsEditableListView& operator=(const clsEditableListView&) = delete;

    // Attach the controls (both before any column is added) and bind their events.
    void list(controls::ListView& view);
    void textbox(controls::TextBox& box);
    // Raises std::logic_error when list or textbox is not attached.
    clsColumn& addcolumn(const std::string& caption, const std::string& key, double colwidth,
                         bool grow, bool edit, int align, bool show);
    // Returns the new row's index. A locked row cannot be edited.
    int additem(bool locked, const std::string& text, const std::vector<std::string>& subitems);
    void removeitem(int index);
    // Rows go; columns stay. An open edit is dropped.
    void clearitems();
    void Resize();

    [[nodiscard]] const std::vector<std::unique_ptr<clsColumn>>& Columns() const {
        return columns_;
    }
    [[nodiscard]] bool EditOpen() const { return editing_; }
    // The cell under edit (row 0-based, column header index); -1 while no edit is open.
    [[nodiscard]] int EditRow() const { return editing_ ? editRow_ : -1; }
    [[nodiscard]] int EditColumn() const { return editing_ ? editColumn_->index : -1; }
    [[nodiscard]] const std::string& SavedText() const { return savedText_; }

    // Writes an open edit back as Enter does; nothing when no edit is open.
    void Commit();

    // The events, bound on the controls and callable directly.
    void list_MouseDown(int x, int y);
    void list_Click();
    void list_Scroll();
    void textbox_GotFocus();
    [[nodiscard]] int textbox_KeyPress(int key);
    void textbox_KeyUp(int keyCode, int shift);
    void textbox_LostFocus();

private:
    void requireControls() const;
    void bind();
    void closeEdit(const std::string& text);

    controls::ListView* list_ = nullptr;
    controls::TextBox* box_ = nullptr;
    std::vector<std::unique_ptr<clsColumn>> columns_;
    int mouseX_ = 0;
    int mouseY_ = 0;
    std::string savedText_;
    bool editing_ = false;
    int editRow_ = -1;
    const clsColumn* editColumn_ = nullptr;
    // Lets bound events see that the object is gone.
    std::shared_ptr<clsEditableListView*> self_;
};

} // namespace scribeline
