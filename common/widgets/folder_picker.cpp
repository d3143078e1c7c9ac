#include "common/widgets/folder_picker.h"

#include <QFileDialog>

namespace pell {

std::optional<QString> DirectoryDialogPicker::PickFolder(QWidget* owner, const QString& title,
                                                         const QString& preselected) {
    const QString folder = QFileDialog::getExistingDirectory(owner, title, preselected, QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) return std::nullopt;
    return folder;
}

}  // namespace pell
