#include "frontends/qt/field_dialog.hpp"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QListWidgetItem>
#include <QMetaObject>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <map>

namespace scribeline::frontend {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

struct FieldDialog::Widgets {
    QLineEdit* name = nullptr;
    struct Binding {
        QWidget* widget = nullptr;
        std::function<void()> sync;
        int syncs = 0;
    };
    std::map<const controls::Control*, Binding> bindings;
};

FieldDialog::FieldDialog(frmDefProperty& model)
    : model_(model), dialog_(new QDialog()), w_(std::make_unique<Widgets>()) {
    auto& c = model_.ctl;
    dialog_->setWindowTitle(Q(frmDefProperty::kCaption));
    auto* top = new QHBoxLayout(dialog_);
    auto bind = [this](const controls::Control& control, QWidget* widget,
                       std::function<void()> sync) {
        w_->bindings[&control] = Widgets::Binding{widget, std::move(sync), 0};
    };
    // Enabled and visible as the control says (the dialog's own visibility aside).
    auto state = [](QWidget* widget, const controls::Control& control) {
        widget->setEnabled(control.Enabled());
        widget->setHidden(!control.Visible());
    };

    auto* newField = new QGroupBox(dialog_);
    bind(c.Frame1, newField, [newField, f = &c.Frame1] { newField->setTitle(Q(f->Caption())); });
    auto* form = new QFormLayout(newField);
    auto text = [this, bind, state](controls::TextBox& box) {
        auto* edit = new QLineEdit(dialog_);
        controls::TextBox* t = &box;
        // Typing goes through the model, which may refuse characters; the box shows what the
        // model kept when its change arrives.
        QObject::connect(edit, &QLineEdit::textEdited, dialog_, [this, t](const QString& now) {
            const std::string wanted = now.toStdString();
            user([t, wanted] {
                std::string keys(t->Text().size(), static_cast<char>(vk::Back));
                t->UserType(keys + wanted);
            });
        });
        bind(box, edit, [edit, t, state] {
            state(edit, *t);
            if (edit->text() != Q(t->Text())) {
                edit->setText(Q(t->Text()));
            }
        });
        return edit;
    };
    auto label = [this, bind](controls::Label& l) {
        auto* caption = new QLabel(dialog_);
        bind(l, caption, [caption, p = &l] { caption->setText(Q(p->Caption())); });
        return caption;
    };
    w_->name = text(c.txtFieldName);
    // The warning picture beside the name: a field of that name is in the list already.
    auto* warning = new QLabel(dialog_);
    const int side = warning->style()->pixelMetric(QStyle::PM_SmallIconSize);
    warning->setPixmap(warning->style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(side));
    warning->setToolTip(QStringLiteral("A field of this name is in the list already"));
    bind(c.Picture1, warning, [warning, state, p = &c.Picture1] { state(warning, *p); });
    auto* nameRow = new QHBoxLayout();
    nameRow->addWidget(w_->name);
    nameRow->addWidget(warning);
    form->addRow(label(c.Label1), nameRow);

    auto* type = new QComboBox(dialog_);
    QObject::connect(type, QOverload<int>::of(&QComboBox::activated), dialog_, [this](int index) {
        user([this, index] { model_.ctl.cboFieldType.UserChoose(index); });
    });
    bind(c.cboFieldType, type, [type, state, box = &c.cboFieldType] {
        const QSignalBlocker quiet(type);
        state(type, *box);
        type->clear();
        for (const std::string& item : box->Items()) {
            type->addItem(Q(item));
        }
        type->setCurrentIndex(box->ListIndex());
    });
    form->addRow(label(c.Label2), type);
    form->addRow(label(c.Label3), text(c.txtFieldLength));
    form->addRow(label(c.Label4), text(c.txtFieldPrecision));
    form->addRow(label(c.Label5), text(c.txtFieldScale));
    auto button = [this, bind, state](controls::Button& b, QBoxLayout* into) {
        auto* push = new QPushButton(dialog_);
        controls::Button* target = &b;
        QObject::connect(push, &QPushButton::clicked, dialog_,
                         [this, target] { user([target] { target->UserClick(); }); });
        bind(b, push, [push, target, state] {
            state(push, *target);
            push->setText(Q(target->Caption()));
        });
        into->addWidget(push);
        return push;
    };
    auto* addRow = new QHBoxLayout();
    button(c.cmdAdd, addRow);
    button(c.cmdClear, addRow);
    form->addRow(addRow);
    top->addWidget(newField);

    auto* fieldList = new QGroupBox(dialog_);
    bind(c.Frame2, fieldList, [fieldList, f = &c.Frame2] { fieldList->setTitle(Q(f->Caption())); });
    auto* right = new QVBoxLayout(fieldList);
    auto* list = new QListWidget(dialog_);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    QObject::connect(list, &QListWidget::itemClicked, dialog_, [this, list](QListWidgetItem* item) {
        const int row = list->row(item);
        user([this, row] { model_.ctl.List1.UserToggle(row); });
    });
    bind(c.List1, list, [list, state, l = &c.List1] {
        const QSignalBlocker quiet(list);
        state(list, *l);
        list->clear();
        for (int i = 0; i < l->ListCount(); ++i) {
            auto* item = new QListWidgetItem(Q(l->List(i)), list);
            item->setCheckState(l->Selected(i) ? Qt::Checked : Qt::Unchecked);
        }
    });
    right->addWidget(list);
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
    top->addWidget(fieldList);

    // The dialog's close box is its Cancel.
    QObject::connect(dialog_, &QDialog::rejected, dialog_, [this] {
        if (!syncing_ && model_.Visible()) {
            user([this] { model_.ctl.Command2.UserClick(); });
        }
    });
    for (const auto& [control, binding] : w_->bindings) {
        syncOne(*control);
    }
    subscription_ = c.OnChanged([this](const controls::Control& control) { queue(control); });
    Sync();
}

FieldDialog::~FieldDialog() {
    subscription_.Reset();
    delete dialog_;
}

QWidget* FieldDialog::WidgetFor(const controls::Control& control) const {
    const auto it = w_->bindings.find(&control);
    return it == w_->bindings.end() ? nullptr : it->second.widget;
}

int FieldDialog::SyncCount(const controls::Control& control) const {
    const auto it = w_->bindings.find(&control);
    return it == w_->bindings.end() ? 0 : it->second.syncs;
}

void FieldDialog::user(const std::function<void()>& action) {
    try {
        action();
    } catch (...) {
        // The model's gate reports what fails; nothing crosses the event loop.
    }
    Sync(); // OK and Cancel hide the form
}

void FieldDialog::queue(const controls::Control& control) {
    // Changes arrive inside the model's calls (some inside a widget's own signal): the widget
    // follows once the call is done, once however often the control changed meanwhile.
    dirty_.insert(&control);
    if (flushQueued_) {
        return;
    }
    flushQueued_ = true;
    QMetaObject::invokeMethod(
        &context_, [this] { Flush(); }, Qt::QueuedConnection);
}

void FieldDialog::Flush() {
    flushQueued_ = false;
    const auto dirty = std::move(dirty_);
    dirty_.clear();
    for (const controls::Control* control : dirty) {
        syncOne(*control);
    }
}

void FieldDialog::syncOne(const controls::Control& control) {
    const auto it = w_->bindings.find(&control);
    if (it == w_->bindings.end()) {
        return; // the hidden lists
    }
    syncing_ = true;
    ++it->second.syncs;
    try {
        it->second.sync();
    } catch (...) {
        // A widget that cannot show its control's state keeps the last it showed.
    }
    syncing_ = false;
}

void FieldDialog::Sync() {
    syncing_ = true;
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
