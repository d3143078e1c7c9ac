#include "player/ui/record_list.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <unordered_map>

#include "player/ui/artwork.h"
#include "player/ui/core/column_widths.h"

namespace pell::player {
namespace {

// Rows are drawn on the window colour over the tiled background; text black or grey by itemData.
class RecordDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        if (!(option.state & QStyle::State_Selected)) {
            const bool playing = index.data(kPlayingRole).toBool();
            painter->fillRect(option.rect, playing ? kPlayingBackground : option.palette.color(QPalette::Base));
        }
        QStyledItemDelegate::paint(painter, option, index);
    }

protected:
    // The record that plays stands out in bold, highlighted or not.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data(kPlayingRole).toBool()) option->font.setBold(true);
    }
};

}  // namespace

int RecordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RecordListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kRecordColumnCount; }

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    const RecordRow& row = rows_[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(row.Text(index.column()));
        case Qt::ForegroundRole:
            return row.Played() ? kPlayedText : QColor(Qt::black);
        case kPlayingRole:
            return !playingPath_.empty() && row.placement == playingPath_;
        case Qt::DecorationRole:
            if (index.column() == kColumnChannel) return DirectionImage(row.image, qApp->devicePixelRatio());
            return {};
        case Qt::UserRole:
            return row.itemData;
        default:
            return {};
    }
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kRecordColumnCount)
        return {};
    return QString(kRecordColumnNames[static_cast<std::size_t>(section)]);
}

void RecordListModel::SetRows(std::vector<RecordRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void RecordListModel::MarkRowPlayed(int row) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return;
    rows_[static_cast<std::size_t>(row)].itemData |= 1;
    emit dataChanged(index(row, 0), index(row, kRecordColumnCount - 1), {Qt::ForegroundRole});
}

void RecordListModel::SetBookmark(int row, const std::string& text) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return;
    rows_[static_cast<std::size_t>(row)].bookmark = text;
    emit dataChanged(index(row, kColumnBookmark), index(row, kColumnBookmark), {Qt::DisplayRole});
}

void RecordListModel::RemoveRow(int row) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return;
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
}

int RecordListModel::Sort(SortState state, int currentRow) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<std::int32_t> oldItemData;
    oldItemData.reserve(rows_.size());
    for (const RecordRow& row : rows_) oldItemData.push_back(row.itemData);
    const int newCurrent = SortKeepingCurrent(rows_, state, currentRow);
    std::unordered_map<std::int32_t, int> newRowOf;
    newRowOf.reserve(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) newRowOf[rows_[i].itemData] = static_cast<int>(i);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before) {
        const int row = newRowOf[oldItemData[static_cast<std::size_t>(old.row())]];
        after.push_back(index(row, old.column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    return newCurrent;
}

void RecordListModel::SetPlayingRecord(const std::string& path) {
    if (path == playingPath_) return;
    const int before = PlayingRow();
    playingPath_ = path;
    const int after = PlayingRow();
    for (const int row : {before, after}) {
        if (row >= 0) emit dataChanged(index(row, 0), index(row, kRecordColumnCount - 1));
    }
}

int RecordListModel::PlayingRow() const {
    if (playingPath_.empty()) return -1;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].placement == playingPath_) return static_cast<int>(i);
    }
    return -1;
}

RecordList::RecordList(QWidget* parent) : QTreeView(parent), model_(this) {
    setModel(&model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    // Ctrl and Shift pick several recordings for Delete and Protect; a plain click picks one.
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new RecordDelegate(this));
    setIconSize(QSize(8, 15));
    header()->setSectionsClickable(true);
    header()->setMinimumSectionSize(1);  // a narrow saved width stays as narrow
    header()->setSectionsMovable(false);
    // Placement, the last column, takes what the others leave, so the paths can be read.
    header()->setStretchLastSection(true);
    header()->setSortIndicatorShown(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    viewport()->setAutoFillBackground(false);
    connect(header(), &QHeaderView::sectionClicked, this, &RecordList::HeaderClicked);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &RecordList::SelectionMoved);
}

void RecordList::SelectRow(int row) {
    if (row < 0 || row >= model_.rowCount()) return;
    const QModelIndex index = model_.index(row, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index, QAbstractItemView::EnsureVisible);
    viewport()->update();
}

int RecordList::FirstSelectedRow() const {
    int first = -1;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        if (first < 0 || index.row() < first) first = index.row();
    }
    return first;
}

void RecordList::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    QTreeView::mousePressEvent(event);
    // A row that Ctrl took out of the selection does not become the one Play acts on.
    if (index.isValid() && event->button() == Qt::LeftButton && selectionModel()->isRowSelected(index.row(), {}))
        emit RowClicked(index.row());
}

void RecordList::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    QTreeView::mouseDoubleClickEvent(event);
    if (index.isValid() && event->button() == Qt::LeftButton) emit RowDoubleClicked(index.row());
}

void RecordList::mouseMoveEvent(QMouseEvent* event) {
    // Dragging with a button held would move the highlight off the row the press made current.
    if (event->buttons() != Qt::NoButton) return;
    QTreeView::mouseMoveEvent(event);
}

QItemSelectionModel::SelectionFlags RecordList::selectionCommand(const QModelIndex& index, const QEvent* event) const {
    // A click beside the rows never takes the highlight away, nor does Ctrl on the only row
    // highlighted.
    if (!index.isValid()) return QItemSelectionModel::NoUpdate;
    const QItemSelectionModel::SelectionFlags flags = QTreeView::selectionCommand(index, event);
    const bool deselects = (flags & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle)) &&
                           selectionModel()->isRowSelected(index.row(), index.parent());
    if (deselects && selectionModel()->selectedRows().size() <= 1) return QItemSelectionModel::NoUpdate;
    return flags;
}

void RecordList::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        const int row = FirstSelectedRow();
        if (row >= 0) emit RowActivated(row);
        event->accept();
        return;
    }
    switch (event->key()) {
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_End:
        case Qt::Key_Home:
        case Qt::Key_Up:
        case Qt::Key_Down:
            if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) emit NavigationKey();
            break;
        default:
            break;
    }
    QTreeView::keyPressEvent(event);
}

void RecordList::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Keyboard) {
        const QModelIndex current = currentIndex();
        if (current.isValid())
            emit RowRightClicked(current.row(), viewport()->mapToGlobal(visualRect(current).center()));
        return;
    }
    const QModelIndex index = indexAt(viewport()->mapFromGlobal(event->globalPos()));
    if (index.isValid()) emit RowRightClicked(index.row(), event->globalPos());
}

void RecordList::paintEvent(QPaintEvent* event) {
    {
        QPainter p(viewport());
        p.drawTiledPixmap(viewport()->rect(), ArtPixmap(kArtListBackground, devicePixelRatioF()));
    }
    QTreeView::paintEvent(event);
}

}  // namespace pell::player
