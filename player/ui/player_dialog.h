// PlayerDialog: the player's main window. It lists the recordings of a date range, plays them
// through the engine it owns, and keeps its column widths and equalizer between runs. Every rule
// it follows lives in player/ui/core (the transport among them) and the catalogue; the window
// moves values between those, the engine and its widgets, all on the GUI thread.
#pragma once

#include <QAction>
#include <QDialog>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "player/ui/core/monitor_thread.h"
#include "player/ui/core/record_sort.h"
#include "player/ui/core/transport.h"
#include "player/ui/dialog_services.h"
#include "player/ui/player_services.h"
#include "player/ui/record_list_port.h"

class QDateEdit;
class QLabel;
class QMenu;
class QSlider;

namespace pell {
class WMp3;
}

namespace pell::player {

class LevelMeter;
class RecordCommands;
class RecordList;
class SkinButton;
class TimeDisplay;
class WMp3Adapter;

class PlayerDialog : public QDialog, private RecordListPort, private TransportWindow {
    Q_OBJECT
public:
    struct Services {
        VolumeMixer& mixer;
        WaveOutputFactory makeOutput;
        // Off in tests, which run the monitor's passes themselves with RunMonitorPass.
        bool runMonitorThread = true;
        // Message boxes and the folder picker of the record commands; Qt's own when null.
        Notifier* notifier = nullptr;
        FolderPicker* picker = nullptr;
    };

    PlayerDialog(std::string programFolder, Services services, QWidget* parent = nullptr);
    ~PlayerDialog() override;

    // For the dialogs hosted by the window and for tests.
    const std::string& ProgramFolder() const { return programFolder_; }
    const std::vector<std::string>& RecordRoots() const { return recordRoots_; }
    int CurrentRow() const override { return currentRow_; }
    // Makes a row current, selected and visible (search, Next and Previous).
    void MakeRowCurrent(int row) override;
    RecordList& List() { return *list_; }
    // A deleted record's row leaves the list; the current row stays on its record, or becomes
    // -1 when it was the one deleted.
    void RemoveRecordRow(int row);
    // A stored bookmark shows in the row at once.
    void ShowBookmark(int row, const std::string& text);
    WMp3* Engine() { return engine_.get(); }
    const PlayerTransport& Transport() const { return *transport_; }
    QAction* Action(int command) const;
    // One monitor pass, its report delivered through the window's event queue.
    void RunMonitorPass();
    // Column widths as they will be saved.
    std::array<std::int32_t, 10> CurrentColumnWidths() const;
    // Bookmark, search, delete, copy and Properties, acting on this window's list.
    RecordCommands& Commands() { return *commands_; }
    // Selects the next row whose number or bookmark contains `text` (the search window's Find).
    void SearchRecords(const QString& text);

public slots:
    void FillRecordList();
    void Play();
    void Pause();
    void StopPlayback();
    void Next();
    void Previous();
    void OnPlayerButton(int kind);

    // Commands of the bookmark, search, file and properties dialogs.
    void OnSetBookmark();
    void OnCopyTo();
    void OnDelete();
    void OnProperties();
    void OnSearch();
    void OnAbout();

    // The close sequence (Escape, the close box, Exit).
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void BuildMenus();
    void ConnectList();
    void ConnectTransport();
    void SetUpVolume();
    void SetUpEqualizer();
    void ApplyEqualizerSlider(int k);
    void ApplyVolume(int position);
    void OnHeaderClicked(int column);
    void ShowContextMenu(int row, QPoint globalPos);
    void SetCurrentRowFromUser(int row);
    // A mouse button or key held on the position slider, whose steps seek only when let go.
    void WatchPositionHold(const QEvent& event);

    // The list as the record commands see it.
    int RowCount() const override;
    std::string Text(int row, int column) const override;
    void SetBookmark(int row, const std::string& text) override;
    void SelectRow(int row) override;
    void RemoveRow(int row) override;

    // The list and the transport's controls as the transport sees them.
    std::string RecordPath(int row) const override;
    void ShowRowPlayed(int row) override;
    void ShowPlaying(bool playing) override;
    void ShowPositionRange(std::uint32_t lengthSeconds) override;
    void ShowPosition(std::uint32_t seconds) override;
    void ShowTime(int seconds) override;
    void ShowClockMode(int clockMode) override;
    void ShowLevels(int left, int right) override;
    void BeginPositionDrag() override;
    void ShowPositionTip(const std::string& text) override;
    void EndPositionDrag() override;
    void RestorePositionTip() override;

    std::string programFolder_;
    Services services_;
    std::vector<std::string> recordRoots_;

    int currentRow_ = -1;
    SortState sortState_;
    bool navigationArmed_ = false;
    bool closing_ = false;
    bool positionHeld_ = false;

    std::unique_ptr<WMp3> engine_;
    std::unique_ptr<WMp3Adapter> engineAdapter_;
    DiskRecordFiles recordFiles_;
    std::unique_ptr<PlayerTransport> transport_;
    std::unique_ptr<MonitorThread> monitor_;

    QDateEdit* fromDate_ = nullptr;
    QDateEdit* toDate_ = nullptr;
    SkinButton* refreshButton_ = nullptr;
    SkinButton* searchButton_ = nullptr;
    std::array<QSlider*, 11> equalizer_{};
    RecordList* list_ = nullptr;
    QSlider* position_ = nullptr;
    SkinButton* playButton_ = nullptr;
    SkinButton* stopButton_ = nullptr;
    TimeDisplay* timeDisplay_ = nullptr;
    SkinButton* previousButton_ = nullptr;
    SkinButton* nextButton_ = nullptr;
    LevelMeter* leftMeter_ = nullptr;
    LevelMeter* rightMeter_ = nullptr;
    QLabel* volumeIcon_ = nullptr;
    QSlider* volume_ = nullptr;
    QMenu* contextMenu_ = nullptr;
    std::vector<QAction*> actions_;

    std::unique_ptr<Notifier> ownNotifier_;
    std::unique_ptr<FolderPicker> ownPicker_;
    RecordCommands* commands_ = nullptr;
};

// Background RGB(230,230,255) and black text for every dialog of the program.
void SetDialogColours();

}  // namespace pell::player
