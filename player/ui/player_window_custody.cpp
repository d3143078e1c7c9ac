// The main window's part in the custody records: the Protect, Unprotect and recording
// Properties commands in the menus, and the status line that says what a command did on the side
// or what the audit trail could not take.
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include "player/ui/custody_controls.h"
#include "player/ui/player_dialog.h"
#include "player/ui/record_list.h"

namespace pell::player {
namespace {

constexpr int kNoteShownMs = 10000;
const QColor kProblemText(170, 20, 20);

}  // namespace

void PlayerDialog::BuildStatusLine() {
    // It stands over the summary and the playing record's line while it has something to say.
    status_ = new QLabel(this);
    status_->setObjectName("statusLine");
    status_->hide();
    Place(status_, Anchor::kBottomWide, 9, 297, 411, 10);
    statusTimeout_ = new QTimer(this);
    statusTimeout_->setSingleShot(true);
    statusTimeout_->setInterval(kNoteShownMs);
    connect(statusTimeout_, &QTimer::timeout, this, [this] { ShowStatus({}, false); });
}

void PlayerDialog::AddCustodyActions(QMenuBar& bar, QMenu& context) {
    auto makeAction = [this](int command, const char* label, const char* name, auto slot) {
        auto* action = new QAction(label, this);
        action->setObjectName(name);
        action->setData(command);
        connect(action, &QAction::triggered, this, slot);
        actions_.push_back(action);
        return action;
    };
    QAction* protect = makeAction(kCmdProtect, text::kProtect, "actionProtect", &PlayerDialog::OnProtect);
    QAction* unprotect = makeAction(kCmdUnprotect, text::kUnprotect, "actionUnprotect", &PlayerDialog::OnUnprotect);
    QAction* properties = makeAction(kCmdRecordingProperties, text::kRecordingProperties, "actionRecordingProperties",
                                     &PlayerDialog::OnRecordingProperties);
    // Before Help, the bar's last menu.
    auto* menu = new QMenu(text::kRecordingMenu, &bar);
    menu->setObjectName("recordingMenu");
    bar.insertMenu(bar.actions().isEmpty() ? nullptr : bar.actions().last(), menu);
    for (QMenu* m : {menu, &context}) {
        if (m == &context) m->addSeparator();
        m->addAction(protect);
        m->addAction(unprotect);
        m->addSeparator();
        m->addAction(properties);
    }
}

void PlayerDialog::ShowStatus(const QString& text, bool problem) {
    const bool showingProblem = !status_->isHidden() && status_->property("problem").toBool();
    if (text.isEmpty()) {
        // A trail that takes entries again ends its warning; a passing note ends by itself.
        if (status_->isHidden() || showingProblem != problem) return;
        status_->hide();
        status_->clear();
        summary_->show();
        playingLabel_->show();
        return;
    }
    status_->setText(text);
    status_->setToolTip(text);
    status_->setProperty("problem", problem);
    QPalette palette = status_->palette();
    palette.setColor(QPalette::WindowText, problem ? kProblemText : palette.color(QPalette::Text));
    status_->setPalette(palette);
    summary_->hide();
    playingLabel_->hide();
    status_->show();
    // A warning stays until the trail takes an entry again; a note goes by itself.
    if (problem) {
        statusTimeout_->stop();
    } else {
        statusTimeout_->start();
    }
}

QString PlayerDialog::StatusText() const { return status_->isHidden() ? QString() : status_->text(); }

std::vector<int> PlayerDialog::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : list_->selectionModel()->selectedRows()) rows.push_back(index.row());
    return rows;
}

}  // namespace pell::player
