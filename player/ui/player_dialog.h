// PlayerDialog: the player's main window. It lists the recordings of a date range, plays them
// through the engine it owns, draws the outline of the call, and keeps its column widths and
// equalizer between runs. It can grow: the list takes the room, the rest keeps to its edges.
// Every rule it follows lives in player/ui/core (the transport among them) and the catalogue;
// the window moves values between those, the engine and its widgets, all on the GUI thread.
#pragma once

#include <QAction>
#include <QDialog>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "player/ui/core/find_calls.h"
#include "player/ui/core/monitor_thread.h"
#include "player/ui/core/record_sort.h"
#include "player/ui/core/transport.h"
#include "player/ui/core/window_layout.h"
#include "player/ui/custody_services.h"
#include "player/ui/dialog_services.h"
#include "player/ui/player_services.h"
#include "player/ui/record_list_port.h"

class QDateEdit;
class QLabel;
class QMenu;
class QMenuBar;
class QSlider;
class QTimer;
class QToolButton;

namespace pell {
class WMp3;
struct Waveform;
}  // namespace pell

namespace pell::player {

class CallSearch;
class LevelMeter;
class RecordCommands;
class RecordList;
class SkinButton;
class TimeDisplay;
class WaveformLoader;
class WaveformView;
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
        // Legal holds, audit trail and proofs of the recordings; the real files when null.
        CustodyPort* custody = nullptr;
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
    // A deleted record's row leaves the list; the current row stays on its record or, when it
    // was the one deleted, passes to the row that takes its place, highlighted.
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
    // The record of the current row's outline, or the playing record's; empty for none.
    const std::string& WaveformRecord() const { return waveformPath_; }
    // The outline the window wants, now: the delay after a change of row given up, its
    // computation waited for and shown (for tests and snapshots).
    void SettleWaveform();
    // The line under the list: how many recordings, how long in all; the record playing.
    QString ListSummary() const;
    QString PlayingText() const;
    // Searches the call index across every day of the record folders and lists the results;
    // false when the form is refused, the search fails (both said in a message) or is cancelled.
    bool FindCalls(const FindCallsForm& form);
    bool ShowingSearchResults() const { return listMode_.ShowingResults(); }
    // The line above the list that says it shows search results; empty for the date range.
    QString SearchCaption() const;
    // The status line over them: what a command did on the side, or what the audit trail could
    // not take; empty when none is shown.
    QString StatusText() const;

public slots:
    void FillRecordList();
    // The refresh button and F5: the date range again, or the search shown run again.
    void RefreshList();
    // "Find calls": the dialog, then the search.
    void OnFindCalls();
    // From search results back to the date range's list.
    void BackToDates();
    void Play();
    void Pause();
    void StopPlayback();
    void Next();
    void Previous();
    void SkipBack();
    void SkipForward();
    void OnPlayerButton(int kind);

    // Commands of the bookmark, search, file and properties dialogs.
    void OnSetBookmark();
    void OnCopyTo();
    void OnDelete();
    void OnProperties();
    void OnSearch();
    void OnAbout();
    // Legal hold on the selected recordings, and Properties opened on the current one.
    void OnProtect();
    void OnUnprotect();
    void OnRecordingProperties();

    // The close sequence (Escape, the close box, Exit).
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // player_window_layout.cpp: the controls, where they stand at the smallest size, and where
    // they go as the window grows.
    void BuildControls();
    void BuildEqualizer();
    void Place(QWidget* widget, Anchor anchor, int x, int y, int width, int height);
    void Relayout();
    void ShowBandLabels(int sampleRate);

    void BuildMenus();
    void BuildPlaybackMenu(QMenu& menu);
    void ConnectList();
    void ConnectTransport();
    void SetUpVolume();
    void SetUpEqualizer();
    void ApplyEqualizerSlider(int k);
    void ResetEqualizer();
    void ApplyVolume(int position);
    void OnHeaderClicked(int column);
    void ShowContextMenu(int row, QPoint globalPos);
    void SetCurrentRowFromUser(int row);
    // The highlight on the current row, or on none.
    void HighlightCurrentRow();
    // The search window, when open, moved off the row it found.
    void KeepSearchWindowClearOf(int row);
    void ShowListSummary();
    // New rows for the list: the current row none, the sort the user chose kept.
    void ShowRows(std::vector<RecordRow> rows);
    void ShowSearchBar();
    void ShowPlayingText();
    // player_window_custody.cpp: the status line and the commands' entries in the menus.
    void BuildStatusLine();
    void AddCustodyActions(QMenuBar& bar, QMenu& context);
    void ShowStatus(const QString& text, bool problem);
    // The outline of the playing record, else of the current row's, computed if need be.
    void UpdateWaveform();
    void OnWaveformLoaded(const QString& path, std::shared_ptr<const Waveform> waveform);
    // A mouse button or key held on the position slider, whose steps seek only when let go.
    void WatchPositionHold(const QEvent& event);

    // The list as the record commands see it.
    int RowCount() const override;
    std::vector<int> SelectedRows() const override;
    std::string Text(int row, int column) const override;
    void SetBookmark(int row, const std::string& text) override;
    void SelectRow(int row) override;
    void RemoveRow(int row) override;

    // The list and the transport's controls as the transport sees them.
    std::string RecordPath(int row) const override;
    void ShowRowPlayed(int row) override;
    void ShowPlayingRow(int row) override;
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

    // The record open in the engine (its path, and what the line under the list says of it).
    std::string playingPath_;
    std::optional<RecordRow> playingRecord_;
    bool playingPaused_ = false;
    std::string waveformPath_;

    struct Placement {
        QWidget* widget;
        Rect smallest;
        Anchor anchor;
    };
    std::vector<Placement> placements_;
    QSize smallestClient_;

    std::unique_ptr<WMp3> engine_;
    std::unique_ptr<WMp3Adapter> engineAdapter_;
    std::unique_ptr<CustodyPort> ownCustody_;
    std::unique_ptr<AuditedRecordFiles> recordFiles_;
    std::unique_ptr<PlayerTransport> transport_;
    std::unique_ptr<MonitorThread> monitor_;
    RecordListMode listMode_;
    std::unique_ptr<CallSearch> callSearch_;
    QString unreachableNote_;

    QDateEdit* fromDate_ = nullptr;
    QDateEdit* toDate_ = nullptr;
    SkinButton* refreshButton_ = nullptr;
    SkinButton* searchButton_ = nullptr;
    std::array<QSlider*, 11> equalizer_{};
    std::array<QLabel*, 10> bandLabels_{};
    QToolButton* equalizerReset_ = nullptr;
    RecordList* list_ = nullptr;
    WaveformView* waveform_ = nullptr;
    std::unique_ptr<WaveformLoader> waveformLoader_;
    QTimer* waveformDelay_ = nullptr;
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
    QLabel* summary_ = nullptr;
    QLabel* playingLabel_ = nullptr;
    QWidget* searchBar_ = nullptr;
    QLabel* searchCaption_ = nullptr;
    QAction* backToDates_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer* statusTimeout_ = nullptr;
    QMenu* contextMenu_ = nullptr;
    std::vector<QAction*> actions_;

    std::unique_ptr<Notifier> ownNotifier_;
    std::unique_ptr<FolderPicker> ownPicker_;
    RecordCommands* commands_ = nullptr;
};

// Background RGB(230,230,255) and black text for every dialog of the program.
void SetDialogColours();

}  // namespace pell::player
