#include "attributes/attribute_grid.hpp"

#include <cmath>
#include <limits>

namespace scribeline {

std::string FieldTypeName(int code) {
    static const char* const kNames[] = {"Integer", "Long Integer", "Single", "Double",
                                         "String",  "Date",         "",       "Geometry",
                                         "",        "Raster"};
    if (code < 0 || code >= static_cast<int>(std::size(kNames))) {
        return "";
    }
    return kNames[code];
}

FieldValue GridValue(FieldType type, const std::string& text) {
    if (text.empty()) {
        return std::monostate{};
    }
    switch (type) {
    case FieldType::SmallInteger:
    case FieldType::Integer: {
        const double value = std::round(LeadingNumber(text));
        // Beyond what 64 bits hold the store refuses anyway; keep the nearest end.
        constexpr double kLimit = 9.2e18;
        const double clamped = value > kLimit ? kLimit : (value < -kLimit ? -kLimit : value);
        return static_cast<std::int64_t>(clamped);
    }
    case FieldType::Single:
    case FieldType::Double:
        return LeadingNumber(text);
    case FieldType::String:
    case FieldType::Date:
        return text;
    default:
        return std::monostate{};
    }
}

clsPropertyGrid::clsPropertyGrid(const AttributeGridContext& context) : cx_(context) {
    // The window prepares its grid as it creates it: the columns stand before any row comes.
    DefListViewHead();
}

clsPropertyGrid::~clsPropertyGrid() = default;

void clsPropertyGrid::DefListViewHead() {
    if (headDefined_) {
        return; // the grid keeps its columns for the window's lifetime
    }
    // The list control outlives the grid objects of earlier loads: start it afresh.
    cx_.ctl.listviewProperty.Clear();
    grid_.list(cx_.ctl.listviewProperty);
    grid_.textbox(cx_.ctl.txtQty);
    grid_.addcolumn("Name", kNameKey, 900, false, false, 0, true);
    grid_.addcolumn("Type", kTypeKey, 900, true, false, 0, true);
    grid_.addcolumn("Value", kValueKey, 1560, false, true, 0, true);
    grid_.Resize();
    headDefined_ = true;
}

void clsPropertyGrid::imgDefProperty_Click() {
    if (!dialog_) {
        dialog_ = std::make_unique<frmDefProperty>(cx_.process, &cx_.errors);
        dialog_->Closed = [this](const std::vector<UserDefinedField>& fields) {
            userFields_ = fields;
        };
    }
    dialog_->Show(true);
}

void clsPropertyGrid::FillFromFields(const Fields& fields) {
    DefListViewHead();
    grid_.clearitems();
    for (int i = 2; i < fields.FieldCount(); ++i) {
        const Field& field = fields.GetField(i);
        grid_.additem(false, field.name, {FieldTypeName(static_cast<int>(field.type)), ""});
    }
}

void clsPropertyGrid::StoreValues(IFeature& feature) {
    if (!headDefined_) {
        return;
    }
    // A value still in the edit box counts as typed.
    grid_.Commit();
    const Fields fields = feature.GetFields();
    const auto& list = cx_.ctl.listviewProperty;
    for (int row = 0; row < list.ItemCount(); ++row) {
        const int index = row + 2;
        if (index >= fields.FieldCount()) {
            break;
        }
        const FieldType type = fields.GetField(index).type;
        if (type == FieldType::OID || type == FieldType::Geometry || type == FieldType::Blob ||
            type == FieldType::Raster) {
            continue;
        }
        feature.SetValue(index, GridValue(type, list.CellText(row, kValueColumn)));
    }
}

std::unique_ptr<IAttributeGrid> MakeAttributeGrid(const AttributeGridContext& context) {
    return std::make_unique<clsPropertyGrid>(context);
}

} // namespace scribeline
