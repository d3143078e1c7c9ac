// The folder picker of every window of the suite, behind an interface that tests replace.
// Called on the GUI thread; the real one runs a modal loop.
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace pell {

class FolderPicker {
public:
    virtual ~FolderPicker() = default;
    // The chosen folder's path, or nothing when the user cancelled.
    virtual std::optional<QString> PickFolder(QWidget* owner, const QString& title, const QString& preselected) = 0;
};

// Qt's folder picker, opened at the preselected folder.
class DirectoryDialogPicker final : public FolderPicker {
public:
    std::optional<QString> PickFolder(QWidget* owner, const QString& title, const QString& preselected) override;
};

}  // namespace pell
