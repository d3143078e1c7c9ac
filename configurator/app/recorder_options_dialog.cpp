#include "configurator/app/recorder_options_dialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/widgets/dialog_units.h"
#include "configurator/core/config_controls.h"

namespace pell::configurator {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

QGroupBox* Group(const char* caption, QWidget* parent) {
    auto* group = new QGroupBox(caption, parent);
    auto* grid = new QGridLayout(group);
    const QSize inset = DialogUnitsToPixels(BaseUnitsOf(group->font()), 5, 3);
    grid->setContentsMargins(inset.width(), inset.height(), inset.width(), inset.height());
    grid->setVerticalSpacing(inset.height());
    grid->setColumnStretch(1, 1);
    return group;
}

QGridLayout* GridOf(QGroupBox* group) { return static_cast<QGridLayout*>(group->layout()); }

}  // namespace

RecorderOptionsDialog::RecorderOptionsDialog(std::string programFolder, Notifier& notifier, QWidget* parent)
    : QDialog(parent),
      programFolder_(std::move(programFolder)),
      notifier_(notifier),
      loaded_(LoadRecorderOptions(programFolder_)) {
    setObjectName("recorderOptionsDialog");
    setWindowTitle(text::kOptionsTitle);
    setFont(DialogFont());
    const DialogBaseUnits base = BaseUnitsOf(font());
    const QSize margin = DialogUnitsToPixels(base, 7, 7);

    auto* intro = new QLabel(text::kOptionsIntro, this);
    intro->setObjectName("optionsIntro");
    intro->setWordWrap(true);

    QGroupBox* alarms = Group(text::kAlarmsGroup, this);
    reminderHours_ = AddField(GridOf(alarms), 0, text::kReminderHours, kReminderHoursEdit);

    QGroupBox* mail = Group(text::kMailGroup, this);
    server_ = AddField(GridOf(mail), 0, text::kMailServer, kMailServerEdit);
    server_->setPlaceholderText(text::kMailServerHint);
    from_ = AddField(GridOf(mail), 1, text::kMailFrom, kMailFromEdit);
    to_ = AddField(GridOf(mail), 2, text::kMailTo, kMailToEdit);
    to_->setPlaceholderText(text::kMailToHint);
    user_ = AddField(GridOf(mail), 3, text::kMailUser, kMailUserEdit);
    password_ = AddField(GridOf(mail), 4, text::kMailPassword, kMailPasswordEdit);
    password_->setEchoMode(QLineEdit::Password);

    auto* lineRow = new QHBoxLayout;
    lineRow->setSpacing(margin.width());
    for (size_t n = 0; n < lines_.size(); ++n) {
        QGroupBox* group = Group(text::kLineGroup[n], this);
        group->setObjectName(QString("optionsLineGroup%1").arg(n + 1));
        LineWidgets& w = lines_[n];
        w.noCallDays = AddField(GridOf(group), 0, text::kNoCallDays, kNoCallDaysEdit[n]);
        w.keepDays = AddField(GridOf(group), 1, text::kKeepDays, kKeepDaysEdit[n]);
        w.deleteAfterDays = AddField(GridOf(group), 2, text::kDeleteAfterDays, kDeleteAfterDaysEdit[n]);
        for (QLineEdit* days : {w.noCallDays, w.keepDays, w.deleteAfterDays}) {
            days->setMaximumWidth(fontMetrics().horizontalAdvance("0000000") + 12);
        }
        lineRow->addWidget(group);
    }
    reminderHours_->setMaximumWidth(fontMetrics().horizontalAdvance("0000000") + 12);

    // What the file held that could not be used, said once, above the fields that now show the safe value.
    auto* problems = new QLabel(this);
    problems->setObjectName("optionsLoadProblems");
    problems->setWordWrap(true);
    QString told;
    for (const std::string& message : loaded_.messages) told += (told.isEmpty() ? "" : "\n") + Q(message);
    problems->setText(told);
    problems->setVisible(!told.isEmpty());

    auto* save = new QPushButton(text::kSave, this);
    save->setObjectName(kOptionsSaveButton.objectName);
    save->setDefault(true);
    auto* cancel = new QPushButton(text::kCancel, this);
    cancel->setObjectName(kOptionsCancelButton.objectName);
    const QSize buttonSize = DialogUnitsToPixels(base, 50, 14);
    for (QPushButton* b : {save, cancel}) b->setMinimumSize(buttonSize);
    connect(save, &QPushButton::clicked, this, &RecorderOptionsDialog::Save);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(save);
    buttons->addWidget(cancel);

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(margin.width(), margin.height(), margin.width(), margin.height());
    top->setSpacing(DialogUnitsToPixels(base, 4, 4).height());
    top->addWidget(intro);
    top->addWidget(problems);
    top->addWidget(alarms);
    top->addWidget(mail);
    top->addLayout(lineRow);
    top->addLayout(buttons);

    ShowFields(OptionsToFields(loaded_));
    setMinimumWidth(DialogUnitsToPixels(base, 355, 0).width());
}

QLineEdit* RecorderOptionsDialog::AddField(QGridLayout* grid, int row, const char* caption, const ControlId& id) {
    QWidget* group = grid->parentWidget();
    auto* edit = new QLineEdit(group);
    edit->setObjectName(id.objectName);
    edit->setProperty("controlId", id.id);
    auto* label = new QLabel(caption, group);
    label->setObjectName(QString(id.objectName) + "Label");
    label->setBuddy(edit);
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
}

QLineEdit* RecorderOptionsDialog::FieldOf(const FieldProblem& problem) const {
    const LineWidgets& line = lines_[problem.line < lines_.size() ? problem.line : 0];
    switch (problem.field) {
        case OptionField::kReminderHours:
            return reminderHours_;
        case OptionField::kServer:
            return server_;
        case OptionField::kFrom:
            return from_;
        case OptionField::kTo:
            return to_;
        case OptionField::kUser:
            return user_;
        case OptionField::kPassword:
            return password_;
        case OptionField::kNoCallDays:
            return line.noCallDays;
        case OptionField::kKeepDays:
            return line.keepDays;
        case OptionField::kDeleteAfterDays:
            return line.deleteAfterDays;
    }
    return reminderHours_;
}

void RecorderOptionsDialog::Save() {
    const OptionsSaveResult result = SaveRecorderOptions(ReadFields(), loaded_, programFolder_);
    switch (result.outcome) {
        case OptionsSaveOutcome::kSaved:
            saved_ = true;
            notifier_.Information(this, QString("%1\n\n%2").arg(text::kOptionsSaved, text::kTakenAtClose));
            accept();
            return;
        case OptionsSaveOutcome::kInvalid: {
            notifier_.Warning(this, Q(result.problem.message));
            QLineEdit* field = FieldOf(result.problem);
            field->setFocus(Qt::OtherFocusReason);
            field->selectAll();
            return;
        }
        case OptionsSaveOutcome::kCannotCreate:
        case OptionsSaveOutcome::kWriteFailed:
            notifier_.Warning(this, text::kOptionsNotSaved);
            return;
    }
}

RecorderOptionFields RecorderOptionsDialog::ReadFields() const {
    RecorderOptionFields f;
    f.reminderHours = S(reminderHours_->text());
    f.server = S(server_->text());
    f.from = S(from_->text());
    f.to = S(to_->text());
    f.user = S(user_->text());
    f.password = S(password_->text());
    for (size_t n = 0; n < lines_.size(); ++n) {
        f.lines[n] = {S(lines_[n].noCallDays->text()), S(lines_[n].keepDays->text()),
                      S(lines_[n].deleteAfterDays->text())};
    }
    return f;
}

void RecorderOptionsDialog::ShowFields(const RecorderOptionFields& f) {
    reminderHours_->setText(Q(f.reminderHours));
    server_->setText(Q(f.server));
    from_->setText(Q(f.from));
    to_->setText(Q(f.to));
    user_->setText(Q(f.user));
    password_->setText(Q(f.password));
    for (size_t n = 0; n < lines_.size(); ++n) {
        lines_[n].noCallDays->setText(Q(f.lines[n].noCallDays));
        lines_[n].keepDays->setText(Q(f.lines[n].keepDays));
        lines_[n].deleteAfterDays->setText(Q(f.lines[n].deleteAfterDays));
    }
}

}  // namespace pell::configurator
