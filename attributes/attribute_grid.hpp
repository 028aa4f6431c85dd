// The feature property grid of the digitizer window: the window's list view listviewProperty
// with the edit box txtQty, one row per attribute field of the target layer (Name, Type,
// Value), the values typed there written into every finished feature; and the define button's
// field definition dialog, whose OK hands the user-defined fields to the window.
//
// Ownership: the context's references are borrowed and outlive the grid (the window owns it
// while loaded).
// The grid owns its editable list view and the dialog.
#pragma once

#include "attributes/clsEditableListView.hpp"
#include "attributes/frmDefProperty.hpp"
#include "command/subsystems.hpp"

#include <memory>
#include <string>
#include <vector>

namespace scribeline {

// The name the window shows for a host field type code ("" for codes without one).
[[nodiscard]] std::string FieldTypeName(int code);

// The value a grid text stores in a field of `type`: null for an empty text; the leading
// number (0 when there is none) for numeric fields, rounded to the nearest whole number for
// integer fields; the text itself for text and date fields. Fields that take no typed value
// (object id, geometry, blob, raster) give null.
[[nodiscard]] FieldValue GridValue(FieldType type, const std::string& text);

class clsPropertyGrid final : public IAttributeGrid {
public:
    // Column keys of the grid.
    static constexpr const char* kNameKey = "Pcode";
    static constexpr const char* kTypeKey = "Pdesc";
    static constexpr const char* kValueKey = "Pqty";
    static constexpr int kValueColumn = 3;

    // Prepares the grid's columns on the window's list view (DefListViewHead).
    explicit clsPropertyGrid(const AttributeGridContext& context);
    ~clsPropertyGrid() override;

    void DefListViewHead() override;
    void imgDefProperty_Click() override;
    void FillFromFields(const Fields& fields) override;
    void StoreValues(IFeature& feature) override;
    [[nodiscard]] std::vector<UserDefinedField> UserDefinedFields() const override {
        return userFields_;
    }

    [[nodiscard]] clsEditableListView& ListView() { return grid_; }
    // Null until the define button was first clicked.
    [[nodiscard]] frmDefProperty* Dialog() { return dialog_.get(); }

private:
    AttributeGridContext cx_;
    clsEditableListView grid_;
    bool headDefined_ = false;
    std::unique_ptr<frmDefProperty> dialog_;
    std::vector<UserDefinedField> userFields_;
};

// The grid's factory.
[[nodiscard]] std::unique_ptr<IAttributeGrid>
MakeAttributeGrid(const AttributeGridContext& context);

} // namespace scribeline
