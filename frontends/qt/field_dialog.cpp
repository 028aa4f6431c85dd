#include "frontends/qt/field_dialog.hpp"

#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QListWidgetItem>
#include <QPushButton>
#include <QVBoxLayout>

#include <map>

namespace scribeline::frontend {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

struct FieldDialog::Widgets {
    QGroupBox* newField = nullptr;
    QGroupBox* fieldList = nullptr;
    QLineEdit* name = nullptr;
    QComboBox* type = nullptr;
    QLineEdit* length = nullptr;
    QLineEdit* precision = nullptr;
    QLineEdit* scale = nullptr;
    QListWidget* list = nullptr;
    std::map<const controls::Control*, QWidget*> byControl;
};

FieldDialog::FieldDialog(frmDefProperty& model)
    : model_(model), dialog_(new QDialog()), w_(std::make_unique<Widgets>()) {
    auto& c = model_.ctl;
    dialog_->setWindowTitle(Q(frmDefProperty::kCaption));
    auto* top = new QHBoxLayout(dialog_);

    w_->newField = new QGroupBox(dialog_);
    auto* form = new QFormLayout(w_->newField);
    auto text = [this](controls::TextBox& box) {
        auto* edit = new QLineEdit(dialog_);
        controls::TextBox* t = &box;
        // Typing goes through the model, which may refuse characters.
        QObject::connect(edit, &QLineEdit::textEdited, dialog_,
                         [this, t, edit](const QString& now) {
                             const std::string wanted = now.toStdString();
                             user([t, wanted] {
                                 std::string keys(t->Text().size(), static_cast<char>(vk::Back));
                                 t->UserType(keys + wanted);
                             });
                             static_cast<void>(edit);
                         });
        w_->byControl[t] = edit;
        return edit;
    };
    w_->name = text(c.txtFieldName);
    w_->type = new QComboBox(dialog_);
    w_->byControl[&c.cboFieldType] = w_->type;
    QObject::connect(
        w_->type, QOverload<int>::of(&QComboBox::activated), dialog_,
        [this](int index) { user([this, index] { model_.ctl.cboFieldType.UserChoose(index); }); });
    w_->length = text(c.txtFieldLength);
    w_->precision = text(c.txtFieldPrecision);
    w_->scale = text(c.txtFieldScale);
    form->addRow(Q(c.Label1.Caption()), w_->name);
    form->addRow(Q(c.Label2.Caption()), w_->type);
    form->addRow(Q(c.Label3.Caption()), w_->length);
    form->addRow(Q(c.Label4.Caption()), w_->precision);
    form->addRow(Q(c.Label5.Caption()), w_->scale);
    auto* addRow = new QHBoxLayout();
    auto button = [this, addRow](controls::Button& b, QBoxLayout* into) {
        auto* push = new QPushButton(dialog_);
        controls::Button* target = &b;
        QObject::connect(push, &QPushButton::clicked, dialog_,
                         [this, target] { user([target] { target->UserClick(); }); });
        w_->byControl[target] = push;
        into->addWidget(push);
        static_cast<void>(addRow);
        return push;
    };
    button(c.cmdAdd, addRow);
    button(c.cmdClear, addRow);
    form->addRow(addRow);
    top->addWidget(w_->newField);

    w_->fieldList = new QGroupBox(dialog_);
    auto* right = new QVBoxLayout(w_->fieldList);
    w_->list = new QListWidget(dialog_);
    w_->list->setSelectionMode(QAbstractItemView::NoSelection);
    w_->byControl[&c.List1] = w_->list;
    QObject::connect(w_->list, &QListWidget::itemClicked, dialog_, [this](QListWidgetItem* item) {
        const int row = w_->list->row(item);
        user([this, row] { model_.ctl.List1.UserToggle(row); });
    });
    right->addWidget(w_->list);
    auto* listButtons = new QHBoxLayout();
    button(c.cmdDelete, listButtons);
    button(c.cmdSelectAll, listButtons);
    button(c.cmdInvertSelection, listButtons);
    right->addLayout(listButtons);
    auto* okCancel = new QHBoxLayout();
    okCancel->addStretch();
    button(c.Command1, okCancel);
    button(c.Command2, okCancel);
    right->addLayout(okCancel);
    top->addWidget(w_->fieldList);

    // The dialog's close box is its Cancel.
    QObject::connect(dialog_, &QDialog::rejected, dialog_, [this] {
        if (!syncing_ && model_.Visible()) {
            user([this] { model_.ctl.Command2.UserClick(); });
        }
    });
    Sync();
}

FieldDialog::~FieldDialog() {
    delete dialog_;
}

QWidget* FieldDialog::WidgetFor(const controls::Control& control) const {
    const auto it = w_->byControl.find(&control);
    return it == w_->byControl.end() ? nullptr : it->second;
}

void FieldDialog::user(const std::function<void()>& action) {
    try {
        action();
    } catch (...) {
        // The model's gate reports what fails; nothing crosses the event loop.
    }
    Sync();
}

void FieldDialog::Sync() {
    syncing_ = true;
    auto& c = model_.ctl;
    w_->newField->setTitle(Q(c.Frame1.Caption()));
    w_->fieldList->setTitle(Q(c.Frame2.Caption()));
    for (auto& [control, widget] : w_->byControl) {
        widget->setEnabled(control->Enabled());
        widget->setVisible(control->Visible());
        if (auto* b = dynamic_cast<const controls::Button*>(control)) {
            static_cast<QPushButton*>(widget)->setText(Q(b->Caption()));
        }
        if (auto* t = dynamic_cast<const controls::TextBox*>(control)) {
            auto* edit = static_cast<QLineEdit*>(widget);
            if (edit->text() != Q(t->Text())) {
                edit->setText(Q(t->Text()));
            }
        }
    }
    {
        const QSignalBlocker quiet(w_->type);
        w_->type->clear();
        for (const std::string& item : c.cboFieldType.Items()) {
            w_->type->addItem(Q(item));
        }
        w_->type->setCurrentIndex(c.cboFieldType.ListIndex());
    }
    {
        const QSignalBlocker quiet(w_->list);
        w_->list->clear();
        for (int i = 0; i < c.List1.ListCount(); ++i) {
            auto* item = new QListWidgetItem(Q(c.List1.List(i)), w_->list);
            item->setCheckState(c.List1.Selected(i) ? Qt::Checked : Qt::Unchecked);
        }
    }
    if (model_.IsLoaded() && model_.Visible()) {
        dialog_->setWindowTitle(Q(model_.Caption()));
        if (!dialog_->isVisible()) {
            dialog_->show();
            w_->name->setFocus();
        }
    } else if (dialog_->isVisible()) {
        dialog_->hide();
    }
    syncing_ = false;
}

} // namespace scribeline::frontend
