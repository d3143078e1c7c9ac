#include "player/ui/find_calls_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/widgets/dialog_units.h"

namespace pell::player {
namespace {

const QString kDateTimeFormat = "ddd, d MMM yyyy  HH:mm";
const QString kIsoFormat = "yyyy-MM-dd HH:mm";

QComboBox* Choice(QWidget* parent, const char* name, std::initializer_list<const char*> items) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    for (const char* item : items) box->addItem(item);
    return box;
}

// Any, then yes, then no.
std::optional<bool> ChosenFlag(const QComboBox* box) {
    if (box->currentIndex() <= 0) return std::nullopt;
    return box->currentIndex() == 1;
}

int FlagIndex(std::optional<bool> flag) { return !flag ? 0 : (*flag ? 1 : 2); }

constexpr CallDirection kDirections[] = {CallDirection::kIncoming, CallDirection::kOutgoing, CallDirection::kUnknown};

}  // namespace

FindCallsDialog::FindCallsDialog(const FindCallsForm& preset, const std::vector<std::string>& lines, QDate fromDay,
                                 QDate toDay, QWidget* parent)
    : QDialog(parent), fromDay_(fromDay), toDay_(toDay) {
    setObjectName("findCallsDialog");
    setWindowTitle("Find calls");
    setFont(DialogFont());

    auto* intro = new QLabel("Searches every day of the record folders. Empty fields match every call.", this);
    intro->setWordWrap(true);

    number_ = new QLineEdit(this);
    number_->setObjectName("findNumber");
    number_->setPlaceholderText("digits anywhere, e.g. 0171 555");
    text_ = new QLineEdit(this);
    text_->setObjectName("findText");
    text_->setPlaceholderText("words or their beginnings, e.g. refund");

    useFrom_ = new QCheckBox("&From:", this);
    useFrom_->setObjectName("findFromEnabled");
    from_ = new QDateTimeEdit(this);
    from_->setObjectName("findFrom");
    useTo_ = new QCheckBox("&To:", this);
    useTo_->setObjectName("findToEnabled");
    to_ = new QDateTimeEdit(this);
    to_->setObjectName("findTo");
    for (QDateTimeEdit* edit : {from_, to_}) {
        edit->setDisplayFormat(kDateTimeFormat);
        edit->setCalendarPopup(true);
        edit->setEnabled(false);
    }
    connect(useFrom_, &QCheckBox::toggled, from_, &QWidget::setEnabled);
    connect(useTo_, &QCheckBox::toggled, to_, &QWidget::setEnabled);

    minDuration_ = new QLineEdit(this);
    minDuration_->setObjectName("findMinDuration");
    maxDuration_ = new QLineEdit(this);
    maxDuration_->setObjectName("findMaxDuration");
    for (QLineEdit* edit : {minDuration_, maxDuration_}) edit->setPlaceholderText("e.g. 90, 1:30 or 1:00:00");

    line_ = new QComboBox(this);
    line_->setObjectName("findLine");
    line_->setEditable(true);
    line_->addItem("");
    for (const std::string& line : lines) line_->addItem(QString::fromStdString(line));
    line_->lineEdit()->setPlaceholderText("every line");
    direction_ = Choice(this, "findDirection", {"Either direction", "Incoming", "Outgoing", "Unknown"});
    played_ = Choice(this, "findPlayed", {"Played or not", "Played", "Not played"});
    protected_ = Choice(this, "findProtected", {"Protected or not", "Protected", "Not protected"});

    auto* grid = new QGridLayout;
    int row = 0;
    const auto labelled = [&](const char* label, QWidget* field, QWidget* buddyOf = nullptr) {
        auto* text = new QLabel(label, this);
        text->setBuddy(buddyOf != nullptr ? buddyOf : field);
        grid->addWidget(text, row, 0);
        grid->addWidget(field, row, 1, 1, 3);
        ++row;
    };
    labelled("&Number:", number_);
    labelled("&Bookmark text:", text_);
    grid->addWidget(useFrom_, row, 0);
    grid->addWidget(from_, row++, 1, 1, 3);
    grid->addWidget(useTo_, row, 0);
    grid->addWidget(to_, row++, 1, 1, 3);
    auto* atLeast = new QLabel("Duration at &least:", this);
    atLeast->setBuddy(minDuration_);
    auto* atMost = new QLabel("at &most:", this);
    atMost->setBuddy(maxDuration_);
    grid->addWidget(atLeast, row, 0);
    grid->addWidget(minDuration_, row, 1);
    grid->addWidget(atMost, row, 2);
    grid->addWidget(maxDuration_, row++, 3);
    labelled("L&ine:", line_);
    auto* choices = new QHBoxLayout;
    choices->addWidget(direction_);
    choices->addWidget(played_);
    choices->addWidget(protected_);
    auto* showing = new QLabel("&Calls:", this);
    showing->setBuddy(direction_);
    grid->addWidget(showing, row, 0);
    grid->addLayout(choices, row++, 1, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    problem_ = new QLabel(this);
    problem_->setObjectName("findProblem");
    problem_->setWordWrap(true);
    problem_->setStyleSheet("color: rgb(170, 0, 0);");
    problem_->hide();

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* find = buttons->addButton("&Find", QDialogButtonBox::AcceptRole);
    find->setObjectName("findButton");
    find->setDefault(true);
    QPushButton* clear = buttons->addButton("Clea&r", QDialogButtonBox::ResetRole);
    clear->setObjectName("clearButton");
    QPushButton* cancel = buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
    cancel->setObjectName("cancelButton");
    connect(buttons, &QDialogButtonBox::accepted, this, &FindCallsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(clear, &QPushButton::clicked, this, &FindCallsDialog::Clear);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(grid);
    layout->addWidget(problem_);
    layout->addWidget(buttons);
    setMinimumWidth(DialogUnitsToPixels(BaseUnitsOf(font()), 280, 0).width());

    SetForm(preset);
    number_->setFocus();
}

FindCallsForm FindCallsDialog::Form() const {
    FindCallsForm form;
    form.number = number_->text().toStdString();
    form.text = text_->text().toStdString();
    if (useFrom_->isChecked()) form.from = from_->dateTime().toString(kIsoFormat).toStdString();
    if (useTo_->isChecked()) form.to = to_->dateTime().toString(kIsoFormat).toStdString();
    form.minDuration = minDuration_->text().toStdString();
    form.maxDuration = maxDuration_->text().toStdString();
    form.line = line_->currentText().toStdString();
    if (direction_->currentIndex() > 0) form.direction = kDirections[direction_->currentIndex() - 1];
    form.played = ChosenFlag(played_);
    form.isProtected = ChosenFlag(protected_);
    return form;
}

void FindCallsDialog::SetForm(const FindCallsForm& form) {
    number_->setText(QString::fromStdString(form.number));
    text_->setText(QString::fromStdString(form.text));
    const auto setRangeEnd = [](QCheckBox* use, QDateTimeEdit* edit, const std::optional<std::string>& value,
                                const QDateTime& otherwise) {
        const QDateTime given = value ? QDateTime::fromString(QString::fromStdString(*value), kIsoFormat) : QDateTime();
        edit->setDateTime(given.isValid() ? given : otherwise);
        use->setChecked(value.has_value());
        edit->setEnabled(value.has_value());
    };
    setRangeEnd(useFrom_, from_, form.from, QDateTime(fromDay_, QTime(0, 0)));
    setRangeEnd(useTo_, to_, form.to, QDateTime(toDay_, QTime(23, 59)));
    minDuration_->setText(QString::fromStdString(form.minDuration));
    maxDuration_->setText(QString::fromStdString(form.maxDuration));
    line_->setCurrentText(QString::fromStdString(form.line));
    int direction = 0;
    for (int i = 0; i < 3; ++i) {
        if (form.direction == kDirections[i]) direction = i + 1;
    }
    direction_->setCurrentIndex(direction);
    played_->setCurrentIndex(FlagIndex(form.played));
    protected_->setCurrentIndex(FlagIndex(form.isProtected));
}

QString FindCallsDialog::Problem() const { return problem_->isHidden() ? QString() : problem_->text(); }

void FindCallsDialog::Clear() {
    SetForm({});
    problem_->hide();
    number_->setFocus();
}

void FindCallsDialog::accept() {
    const FindCallsCheck check = CriteriaFromForm(Form());
    if (check.criteria) {
        problem_->hide();
        QDialog::accept();
        return;
    }
    problem_->setText(QString::fromStdString(check.message));
    problem_->show();
    QWidget* wrong = nullptr;
    switch (check.field) {
        case FindCallsField::kNumber:
            wrong = number_;
            break;
        case FindCallsField::kText:
            wrong = text_;
            break;
        case FindCallsField::kFrom:
            wrong = from_;
            break;
        case FindCallsField::kTo:
            wrong = to_;
            break;
        case FindCallsField::kMinDuration:
            wrong = minDuration_;
            break;
        case FindCallsField::kMaxDuration:
            wrong = maxDuration_;
            break;
        case FindCallsField::kNone:
            break;
    }
    if (wrong != nullptr) wrong->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(wrong)) edit->selectAll();
}

}  // namespace pell::player
