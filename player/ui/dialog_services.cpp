#include "player/ui/dialog_services.h"

#include <QFileDialog>
#include <QMessageBox>

#include "player/ui/player_controls.h"

namespace pell::player {

void DesktopNotifier::Stop(QWidget* owner, const QString& text) {
    QMessageBox::critical(owner, text::kTitle, text);
}

bool DesktopNotifier::Ask(QWidget* owner, const QString& text) {
    return QMessageBox::question(owner, text::kTitle, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

std::optional<QString> DesktopFolderPicker::PickFolder(QWidget* owner, const QString& title,
                                                       const QString& preselected) {
    const QString folder =
        QFileDialog::getExistingDirectory(owner, title, preselected, QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) return std::nullopt;
    return folder;
}

}  // namespace pell::player
