// The commands a person uses on a listed recording and on the list's folders: Set bookmark,
// Search, Delete, Copy to and Properties. Each one moves values between the list, a dialog and
// the catalogue's rules; the rules themselves (what matches, where a copy goes, how paths.ini
// is ordered) live in the catalogue. GUI thread only.
#pragma once

#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "player/catalogue/tag_writer.h"
#include "player/ui/dialog_services.h"
#include "player/ui/record_list_port.h"
#include "player/ui/search_dialog.h"

class QWidget;

namespace pell::player {

struct RecordCommandServices {
    Notifier& notifier;
    FolderPicker& picker;
    // Writes a bookmark into a recording's tag; the catalogue's StoreBookmark outside tests.
    std::function<TagWriteResult(const std::string& path, std::string_view text)> storeBookmark =
        [](const std::string& path, std::string_view text) { return StoreBookmark(path, text); };
    // Tiled behind the Properties dialog's folders, as behind the record list; none when null.
    QPixmap listBackground = {};
};

class RecordCommands : public QObject {
    Q_OBJECT
public:
    // `window` owns the dialogs and message boxes; `list` and `services` outlive this object.
    RecordCommands(QWidget* window, RecordListPort& list, std::string programFolder, RecordCommandServices services);

    // Opens the bookmark dialog on the current row and stores what is confirmed.
    void SetBookmark();
    // Shows the search window, bringing back the open one rather than opening a second.
    void OpenSearch();
    // Selects the next row whose number or bookmark contains `text`, or says there is none.
    void SearchRecords(const QString& text);
    // The open search window, or null.
    SearchDialog* SearchWindow() const { return searchWindow_; }
    // Moves the current row's file to the trash after asking, and removes its row.
    void DeleteRecord();
    // Copies the current row's file into a folder picked by the user.
    void CopyRecordTo();
    // Runs the Properties dialog; on OK replaces `recordRoots` (and paths.ini) and returns true.
    bool EditProperties(std::vector<std::string>& recordRoots);

private:
    QWidget* window_;
    RecordListPort& list_;
    std::string programFolder_;
    RecordCommandServices services_;
    QPointer<SearchDialog> searchWindow_;
};

}  // namespace pell::player
