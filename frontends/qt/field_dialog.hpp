// The field-definition dialog ("Define Fields") as a Qt dialog over its model: the new field's
// name, type, length, precision and scale, the field list with multiple selection, and the
// buttons, each widget driving the model's User... members. The dialog's model raises no change
// notification, so the widgets are brought up to date after every action taken in the dialog
// (its state changes only through those actions).
#pragma once

#include "attributes/frmDefProperty.hpp"

#include <functional>
#include <memory>

class QDialog;
class QWidget;

namespace scribeline::frontend {

class FieldDialog {
public:
    // `model` is borrowed and must outlive this object. The dialog is a top-level window of
    // its own (the form's window may go first).
    explicit FieldDialog(frmDefProperty& model);
    ~FieldDialog();
    FieldDialog(const FieldDialog&) = delete;
    FieldDialog& operator=(const FieldDialog&) = delete;

    // Shows or hides the dialog as the model says and brings every widget up to date.
    void Sync();
    [[nodiscard]] QDialog* Dialog() const { return dialog_; }
    [[nodiscard]] const frmDefProperty& Model() const { return model_; }
    // The widget showing one of the dialog's controls; null for controls it does not show.
    [[nodiscard]] QWidget* WidgetFor(const controls::Control& control) const;

private:
    struct Widgets;
    void user(const std::function<void()>& action);

    frmDefProperty& model_;
    QDialog* dialog_ = nullptr; // owned
    std::unique_ptr<Widgets> w_;
    bool syncing_ = false;
};

} // namespace scribeline::frontend
