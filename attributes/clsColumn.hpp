// clsColumn: the properties of one column of an editable list view.
#pragma once

#include <string>

namespace scribeline {

// How committed text of a column is normalised.
enum class ValueKind {
    Format_String,  // kept as typed
    Format_Numeric, // replaced by the value of its leading number (0 when there is none)
};

class clsColumn {
public:
    bool show = true;
    // A number pattern ("0.00", "#,##0") applied to committed numbers; empty for none.
    std::string valueFormat;
    ValueKind valueKind = ValueKind::Format_String;
    int align = 0;         // 0 left, 1 right, 2 centre (header and edit box)
    double colwidth = 0.0; // twips, as given when the column was added
    bool edit = false;     // cells can be edited in place
    bool grow = false;     // takes the width the other columns leave on Resize
    int index = 0;         // the list's column header index: 1 the item text, higher sub-items
};

} // namespace scribeline
