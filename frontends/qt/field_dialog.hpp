// The field-definition dialog ("Define Fields") as a Qt dialog over its model: the new field's
// name, type, length, precision and scale, the warning picture, the field list with multiple
// selection, and the buttons, each widget driving the model's User... members. The widgets
// follow the model through its change notification (frmDefProperty::Controls::OnChanged), never
// by polling: a change brings only that control's widget up to date, once the model's call is
// done. Whether the dialog is shown is the form's state, not a control's: it is read after
// each action taken in the dialog and when the desk asks (Sync).
#pragma once

#include "attributes/frmDefProperty.hpp"

#include <QObject>

#include <functional>
#include <memory>
#include <set>

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

    // Shows or hides the dialog as the model says.
    void Sync();
    // Brings the widgets of the controls that changed up to date; runs by itself on the event
    // loop after every change.
    void Flush();
    [[nodiscard]] QDialog* Dialog() const { return dialog_; }
    [[nodiscard]] const frmDefProperty& Model() const { return model_; }
    // The widget showing a control; null for the hidden lists (List2, List3).
    [[nodiscard]] QWidget* WidgetFor(const controls::Control& control) const;
    // How often a control's widget was brought up to date (tests: a change repaints only it).
    [[nodiscard]] int SyncCount(const controls::Control& control) const;

private:
    struct Widgets;
    void user(const std::function<void()>& action);
    void queue(const controls::Control& control);
    void syncOne(const controls::Control& control);

    frmDefProperty& model_;
    QDialog* dialog_ = nullptr; // owned
    std::unique_ptr<Widgets> w_;
    QObject context_; // queued flushes die with it
    controls::Subscription subscription_;
    std::set<const controls::Control*> dirty_;
    bool flushQueued_ = false;
    bool syncing_ = false;
};

} // namespace scribeline::frontend
