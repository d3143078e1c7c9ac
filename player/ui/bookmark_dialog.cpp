#include "player/ui/bookmark_dialog.h"

#include <QLineEdit>
#include <QPushButton>
#include <QValidator>

#include "common/core/recording_tag_layout.h"
#include "player/ui/dialog_layout.h"

namespace pell::player {
namespace {

// Refuses an edit that would not fit the tag's comment field as UTF-8.
class TagFieldValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        return static_cast<std::size_t>(input.toUtf8().size()) <= kTagTextLength ? Acceptable : Invalid;
    }
};

}  // namespace

BookmarkDialog::BookmarkDialog(const QString& text, QWidget* parent) : QDialog(parent) {
    const DialogBaseUnits base = SetUpFixedDialog(*this, text::kBookmarkTitle, 245, 47);
    edit_ = Named(new QLineEdit(this), kTextEdit);
    edit_->setValidator(new TagFieldValidator(edit_));
    edit_->setText(text);
    edit_->selectAll();
    Place(edit_, base, 7, 7, 173, 14);
    connect(AddButton(*this, base, kOkButton, text::kOk, true, 188, 7, 50, 14), &QPushButton::clicked, this,
            &QDialog::accept);
    connect(AddButton(*this, base, kCancelButton, text::kCancel, false, 188, 24, 50, 14), &QPushButton::clicked, this,
            &QDialog::reject);
    edit_->setFocus();
}

QString BookmarkDialog::Text() const { return edit_->text(); }

}  // namespace pell::player
