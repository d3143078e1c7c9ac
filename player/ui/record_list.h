// The record list: six columns over the rows the catalogue found, black text for records not yet
// played and grey for played ones (the low bit of itemData), the direction image in the first
// column, the record open in the engine in bold on a tint, the tiled background; Ctrl and Shift
// select several rows. The Placement column takes the width left. Header clicks, row clicks,
// Return and navigation keys are reported to the window, which owns the current-row and sort
// rules.
#pragma once

#include <QAbstractTableModel>
#include <QTreeView>
#include <vector>

#include "player/catalogue/record_list.h"
#include "player/ui/core/record_sort.h"

namespace pell::player {

inline const QColor kPlayedText(125, 125, 125);
inline const QColor kPlayingBackground(215, 215, 240);
// The model's role that says whether a row holds the record open in the engine.
inline constexpr int kPlayingRole = Qt::UserRole + 1;

class RecordListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void SetRows(std::vector<RecordRow> rows);
    const std::vector<RecordRow>& Rows() const { return rows_; }
    // Sets the played bit of a row's itemData; the row turns grey.
    void MarkRowPlayed(int row);
    void SetBookmark(int row, const std::string& text);
    void RemoveRow(int row);
    // Sorts and returns where `currentRow` went; selections follow their records.
    int Sort(SortState state, int currentRow);
    // The record open in the engine, found by its path wherever sorting and refreshing put it;
    // empty for none.
    void SetPlayingRecord(const std::string& path);
    int PlayingRow() const;

private:
    std::vector<RecordRow> rows_;
    std::string playingPath_;
};

class RecordList : public QTreeView {
    Q_OBJECT
public:
    explicit RecordList(QWidget* parent = nullptr);
    RecordListModel& Model() { return model_; }
    const RecordListModel& Model() const { return model_; }

    // Selects, focuses and scrolls to a row (partly visible is enough).
    void SelectRow(int row);
    // The first selected row scanning from row 0, -1 when none.
    int FirstSelectedRow() const;

signals:
    void RowClicked(int row);
    void RowDoubleClicked(int row);
    // Return or Enter on the highlighted row.
    void RowActivated(int row);
    void RowRightClicked(int row, QPoint globalPos);
    void NavigationKey();
    void HeaderClicked(int column);
    void SelectionMoved();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    RecordListModel model_;
};

}  // namespace pell::player
