#include "player/ui/search_dialog.h"

#include <QLineEdit>
#include <QPushButton>

#include "player/ui/dialog_layout.h"

namespace pell::player {

SearchDialog::SearchDialog(QWidget* parent) : QDialog(parent) {
    // Cancel, Escape and the close box all end the window; the next search opens a fresh one.
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    const DialogBaseUnits base = SetUpFixedDialog(*this, text::kSearchTitle, 246, 47);
    edit_ = Named(new QLineEdit(this), kTextEdit);
    Place(edit_, base, 7, 7, 174, 14);
    connect(AddButton(*this, base, kFindButton, text::kFind, true, 189, 7, 50, 14), &QPushButton::clicked, this,
            [this] { emit findRequested(edit_->text()); });
    connect(AddButton(*this, base, kCancelButton, text::kCancel, false, 189, 24, 50, 14), &QPushButton::clicked, this,
            &QDialog::reject);
    edit_->setFocus();
}

QString SearchDialog::Text() const { return edit_->text(); }

}  // namespace pell::player
