#include "player/ui/recording_page.h"

#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "player/ui/dialog_layout.h"

namespace pell::player {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Dark enough to read on the dialog colour, and not told apart by colour alone: the words differ.
const QColor kVerifiedText(0, 110, 40);
const QColor kProblemText(170, 20, 20);

QLabel* Line(const DialogControl& control, const QString& text, QWidget* parent) {
    auto* label = Named(new QLabel(text, parent), control);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

}  // namespace

QWidget* MakeRecordingPage(const RecordingProperties& recording) {
    auto* page = Named(new QWidget, kRecordingPage);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);

    auto* form = new QFormLayout;
    form->setContentsMargins(0, 0, 0, 0);
    form->setVerticalSpacing(2);
    form->setLabelAlignment(Qt::AlignLeft);
    const std::string dayFolder = NameOf(ParentOf(recording.path));
    auto* name = Line(kRecordingName,
                      Q(NameOf(recording.path) + (dayFolder.empty() ? std::string() : "  (" + dayFolder + ")")), page);
    name->setToolTip(Q(recording.path));
    form->addRow("Recording:", name);

    auto* proof = Line(kProofLine, Q(recording.proof.headline), page);
    QFont bold = proof->font();
    bold.setBold(true);
    proof->setFont(bold);
    QPalette palette = proof->palette();
    palette.setColor(QPalette::WindowText, recording.proof.verified ? kVerifiedText : kProblemText);
    proof->setPalette(palette);
    auto* detail = Line(kProofDetail, Q(recording.proof.detail), page);
    detail->setWordWrap(true);
    detail->setVisible(!recording.proof.detail.empty());
    auto* proofBox = new QVBoxLayout;
    proofBox->setSpacing(0);
    proofBox->addWidget(proof);
    proofBox->addWidget(detail);
    form->addRow("Proof:", proofBox);
    form->addRow("Legal hold:", Line(kHoldLine, Q(recording.hold), page));
    layout->addLayout(form);

    auto* list = Named(new QTreeWidget(page), kAuditList);
    list->setAccessibleName("Audit trail of this recording");
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setFocusPolicy(Qt::NoFocus);
    list->setHeaderLabels({"Time", "User", "Program", "Action"});
    for (const AuditRow& row : recording.audit.rows) {
        new QTreeWidgetItem(list, {Q(row.time), Q(row.user), Q(row.program), Q(row.action)});
    }
    list->header()->setStretchLastSection(true);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list->header()->setSectionResizeMode(3, QHeaderView::Stretch);
    layout->addWidget(list, 1);

    auto* note = Line(kAuditNote, Q(recording.audit.note), page);
    note->setWordWrap(true);
    note->setVisible(!recording.audit.note.empty());
    layout->addWidget(note);
    return page;
}

}  // namespace pell::player
