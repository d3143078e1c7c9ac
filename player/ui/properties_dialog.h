// The modal "Properties" dialog over the record folders: a working copy of the list, kept in
// ascending order, changed only by adding a folder from the folder picker and by removing the
// selected one; OK writes paths.ini and hands the new list back, Cancel changes nothing. A
// second tab, when given, shows the current recording's proof, hold and audit entries.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <string>
#include <vector>

#include "player/ui/core/record_custody.h"
#include "player/ui/dialog_services.h"

class QListWidget;
class QTabWidget;

namespace pell::player {

class PropertiesDialog : public QDialog {
    Q_OBJECT
public:
    // `listBackground`, when given, is tiled behind the folders as behind the record list.
    PropertiesDialog(std::string programFolder, const std::vector<std::string>& recordRoots, FolderPicker& picker,
                     Notifier& notifier, QWidget* parent = nullptr, const QPixmap& listBackground = {});

    // The folders in the order shown; after OK, the new record roots.
    const std::vector<std::string>& RecordRoots() const { return roots_; }
    // Adds the tab of one recording (record_custody.h), shown at once when `current`.
    void ShowRecording(const RecordingProperties& recording, bool current);

public slots:
    void accept() override;

private:
    void AddFolder();
    void RemoveSelectedFolder();
    int SelectedRow() const;

    std::string programFolder_;
    FolderPicker& picker_;
    Notifier& notifier_;
    std::vector<std::string> roots_;
    QTabWidget* tabs_;
    QListWidget* list_;
    // The folder tab's controls, which lie over its page as the tab control's siblings.
    std::vector<QWidget*> pathControls_;
};

}  // namespace pell::player
