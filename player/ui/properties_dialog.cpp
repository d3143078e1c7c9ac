#include "player/ui/properties_dialog.h"

#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>

#include "player/catalogue/record_roots.h"
#include "player/ui/dialog_layout.h"
#include "player/ui/recording_page.h"

namespace pell::player {

PropertiesDialog::PropertiesDialog(std::string programFolder, const std::vector<std::string>& recordRoots,
                                   FolderPicker& picker, Notifier& notifier, QWidget* parent,
                                   const QPixmap& listBackground)
    : QDialog(parent), programFolder_(std::move(programFolder)), picker_(picker), notifier_(notifier) {
    const DialogBaseUnits base = SetUpFixedDialog(*this, text::kPropertiesTitle, 273, 142);
    tabs_ = Named(new QTabWidget(this), kPathsTab);
    tabs_->addTab(new QWidget, text::kPathsTab);
    Place(tabs_, base, 3, 4, 263, 110);

    // The list and its buttons lie over the tab's page, as siblings of the tab control.
    list_ = Named(new QListWidget(this), kPathsList);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    Place(list_, base, 7, 22, 228, 78);
    if (!listBackground.isNull()) {
        QPalette palette = list_->palette();
        palette.setBrush(QPalette::Base, QBrush(listBackground));
        list_->setPalette(palette);
    }
    for (const std::string& root : recordRoots) {
        const std::size_t at = InsertRecordRoot(roots_, root);
        list_->insertItem(static_cast<int>(at), QString::fromStdString(root));
    }
    QPushButton* add = AddButton(*this, base, kAddPathButton, text::kAddPath, false, 237, 22, 26, 14);
    connect(add, &QPushButton::clicked, this, &PropertiesDialog::AddFolder);
    QPushButton* remove = AddButton(*this, base, kRemovePathButton, text::kRemovePath, false, 237, 37, 26, 14);
    connect(remove, &QPushButton::clicked, this, &PropertiesDialog::RemoveSelectedFolder);
    pathControls_ = {list_, add, remove};
    connect(AddButton(*this, base, kCancelButton, text::kCancel, false, 160, 121, 50, 14), &QPushButton::clicked, this,
            &QDialog::reject);
    connect(AddButton(*this, base, kOkButton, text::kOk, true, 216, 121, 50, 14), &QPushButton::clicked, this,
            &PropertiesDialog::accept);
    list_->setFocus();
}

void PropertiesDialog::ShowRecording(const RecordingProperties& recording, bool current) {
    if (tabs_->count() == 1) {
        connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
            for (QWidget* control : pathControls_) control->setVisible(index == 0);
        });
    } else {
        delete tabs_->widget(1);
    }
    tabs_->addTab(MakeRecordingPage(recording), text::kRecordingTab);
    if (current) tabs_->setCurrentIndex(1);
}

int PropertiesDialog::SelectedRow() const {
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    return selected.isEmpty() ? -1 : list_->row(selected.first());
}

void PropertiesDialog::AddFolder() {
    const int selected = SelectedRow();
    const QString initial = selected >= 0 ? list_->item(selected)->text() : QString();
    const std::optional<QString> picked = picker_.PickFolder(this, text::kPickRecordFolder, initial);
    if (!picked) return;
    const QString folder = picked->isEmpty() ? initial : *picked;
    const std::size_t at = InsertRecordRoot(roots_, folder.toStdString());
    list_->insertItem(static_cast<int>(at), folder);
}

void PropertiesDialog::RemoveSelectedFolder() {
    // The selection at the moment of the press: an add or a key may have moved it since a click.
    const int selected = SelectedRow();
    if (selected < 0) return;
    delete list_->takeItem(selected);
    roots_.erase(roots_.begin() + selected);
    list_->clearSelection();
    list_->setCurrentItem(nullptr);
}

void PropertiesDialog::accept() {
    std::vector<std::string> kept;
    for (const std::string& root : roots_) {
        if (!root.empty()) kept.push_back(root);
    }
    roots_ = std::move(kept);
    // The new folders hold for this session even when the file cannot be written; the user is
    // told, because the next start would read the old list.
    if (!SaveRecordRoots(programFolder_, roots_)) notifier_.Stop(this, text::kRootsNotSaved);
    QDialog::accept();
}

}  // namespace pell::player
