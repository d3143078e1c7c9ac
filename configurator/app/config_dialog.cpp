#include "configurator/app/config_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/core/paths.h"
#include "configurator/app/about_dialog.h"
#include "configurator/app/app_icon.h"
#include "configurator/app/recorder_options_dialog.h"
#include "common/widgets/dialog_units.h"

namespace pell::configurator {
namespace {

// Set on a drop list when the user chooses one of its items; cleared by every load.
constexpr const char* kPickedProperty = "pickedByUser";

// The window's size in dialog units, as its template gives it.
constexpr int kWidthUnits = 355;
constexpr int kHeightUnits = 325;

template <class Widget>
Widget* Named(Widget* widget, const ControlId& id) {
    widget->setObjectName(id.objectName);
    widget->setProperty("controlId", id.id);
    return widget;
}

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

DropListState StateOf(const QComboBox* list) {
    return {list->currentIndex(), list->property(kPickedProperty).toBool()};
}

void Show(QComboBox* list, const DropListState& state) {
    list->setCurrentIndex(state.index);
    list->setProperty(kPickedProperty, state.picked);
}

void ShowText(QComboBox* editable, const std::string& text) {
    editable->setCurrentIndex(editable->findText(Q(text), Qt::MatchFixedString | Qt::MatchCaseSensitive));
    editable->setEditText(Q(text));
}

// A label whose object name follows its control's, so tests find both.
QLabel* LabelFor(const char* caption, QWidget* control, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(control->objectName() + "Label");
    label->setBuddy(control);
    return label;
}

// Group contents sit 5 units in from the frame, as in the dialog editor's grid.
void SetGroupMargins(QGridLayout* grid) {
    const QWidget* group = grid->parentWidget();
    const QSize inset = DialogUnitsToPixels(BaseUnitsOf(group->font()), 5, 3);
    grid->setContentsMargins(inset.width(), inset.height(), inset.width(), inset.height());
    grid->setVerticalSpacing(inset.height());
}

// Wide enough for the package's drop folder with the field's frame and text margins.
int FolderFieldWidth(const QLineEdit& field) {
    const QMargins margins = field.textMargins() + field.contentsMargins();
    constexpr int kFrameAndCursor = 12;
    return field.fontMetrics().horizontalAdvance(text::kFolderShownWhole) + margins.left() + margins.right() +
           kFrameAndCursor;
}

// A path longer than its field shows its end, where the folder's own name is.
void ShowPath(QLineEdit* field, const QString& path) {
    field->setText(path);
    field->setCursorPosition(static_cast<int>(path.size()));
}

}  // namespace

ConfigDialog::ConfigDialog(std::string programFolder, ConfigDialogServices services, QWidget* parent)
    : QDialog(parent), programFolder_(std::move(programFolder)), services_(services), members_(ConstructorMembers()) {
    BuildWindow();
    ShowControls(MembersToControls(members_));
    InitDialog();
}

std::string ConfigDialog::settingsPath() const { return JoinPath(programFolder_, "settings.ini"); }

void ConfigDialog::BuildWindow() {
    setObjectName("configDialog");
    setProperty("templateId", kDialogTemplate);
    setWindowTitle(text::kTitle);
    setFont(DialogFont());
    const DialogBaseUnits base = BaseUnitsOf(font());
    const QSize margin = DialogUnitsToPixels(base, 7, 7);

    // Created in tab order: the common fields, channel 1, channel 2, then the buttons.
    QWidget* common = BuildCommonGroup();
    auto* channels = new QHBoxLayout;
    channels->setSpacing(margin.width());
    channels->addWidget(BuildChannelGroup(0));
    channels->addWidget(BuildChannelGroup(1));

    // Before Save and Exit, so that the tab order still ends at them.
    auto* options = Named(new QPushButton(text::kOptionsButton, this), kOptionsButton);
    options->setAutoDefault(false);
    connect(options, &QPushButton::clicked, this, &ConfigDialog::EditRecorderOptions);

    auto* save = Named(new QPushButton(text::kSave, this), kSaveButton);
    auto* exit = Named(new QPushButton(text::kExit, this), kExitButton);
    save->setDefault(true);
    const QSize buttonSize = DialogUnitsToPixels(base, 50, 14);
    for (QPushButton* b : {save, exit}) b->setMinimumSize(buttonSize);
    connect(save, &QPushButton::clicked, this, &ConfigDialog::SaveSettings);
    connect(exit, &QPushButton::clicked, this, &ConfigDialog::ExitConfigurator);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(options);
    buttons->addStretch(1);
    buttons->addWidget(save);
    buttons->addWidget(exit);

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(margin.width(), margin.height(), margin.width(), margin.height());
    top->setSpacing(DialogUnitsToPixels(base, 4, 4).height());
    top->addWidget(common);
    top->addLayout(channels, 1);
    top->addLayout(buttons);

    setFixedSize(DialogUnitsToPixels(base, kWidthUnits, kHeightUnits).expandedTo(minimumSizeHint()));
}

QComboBox* ConfigDialog::MakeDropList(const ControlId& id, const std::vector<std::string>& items) {
    auto* list = Named(new QComboBox(this), id);
    for (const std::string& item : items) list->addItem(Q(item));
    list->setMaxVisibleItems(12);
    // The template fixes the widths; the longest item must not widen the window.
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    list->setMinimumContentsLength(4);
    connect(list, &QComboBox::activated, this, [list] { list->setProperty(kPickedProperty, true); });
    return list;
}

QComboBox* ConfigDialog::MakeEditableDropDown(const ControlId& id, const std::vector<std::string>& items) {
    auto* combo = Named(new QComboBox(this), id);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setCompleter(nullptr);  // what was typed is what gets written
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(4);
    for (const std::string& item : items) combo->addItem(Q(item));
    return combo;
}

QWidget* ConfigDialog::BuildCommonGroup() {
    auto* group = new QGroupBox(text::kCommonGroup, this);
    group->setObjectName("commonGroup");
    device_ = Named(new QLineEdit(group), kDeviceEdit);
    deviceNumber_ = MakeDropList(kDeviceNumberList, items::DeviceNumber());
    sampleRate_ = MakeEditableDropDown(kSampleRateCombo, items::SampleRate());
    autocleaning_ = MakeDropList(kAutocleaningList, items::Autocleaning());
    minDiskSize_ = Named(new QLineEdit(group), kMinDiskSizeEdit);

    auto* grid = new QGridLayout(group);
    SetGroupMargins(grid);
    grid->addWidget(LabelFor(text::kDevice, device_, group), 0, 0);
    grid->addWidget(device_, 0, 1);
    grid->addWidget(LabelFor(text::kDeviceNumber, deviceNumber_, group), 1, 0);
    grid->addWidget(deviceNumber_, 1, 1);
    grid->addWidget(LabelFor(text::kSampleRate, sampleRate_, group), 2, 0);
    grid->addWidget(sampleRate_, 2, 1);
    grid->addWidget(LabelFor(text::kAutocleaning, autocleaning_, group), 0, 3);
    grid->addWidget(autocleaning_, 0, 4);
    grid->addWidget(LabelFor(text::kMinDiskSize, minDiskSize_, group), 1, 3);
    grid->addWidget(minDiskSize_, 1, 4);
    grid->setColumnStretch(1, 3);
    grid->setColumnMinimumWidth(2, fontMetrics().averageCharWidth() * 3);
    grid->setColumnStretch(4, 2);
    return group;
}

QWidget* ConfigDialog::BuildChannelGroup(int channel) {
    auto* group = new QGroupBox(text::kChannelGroup[static_cast<size_t>(channel)], this);
    group->setObjectName(QString("channelGroup%1").arg(channel + 1));
    const size_t n = static_cast<size_t>(channel);
    ChannelWidgets& w = channels_[n];
    w.active = Named(new QCheckBox(text::kActive, group), kActiveCheck[n]);
    w.description = Named(new QLineEdit(group), kDescriptionEdit[n]);
    w.folder = Named(new QLineEdit(group), kFolderEdit[n]);
    w.folder->setMinimumWidth(FolderFieldWidth(*w.folder));
    connect(w.folder, &QLineEdit::textChanged, w.folder,
            [field = w.folder](const QString& path) { field->setToolTip(path); });
    w.browse = Named(new QPushButton(text::kBrowse, group), kBrowseButton[n]);
    w.browse->setFixedWidth(fontMetrics().horizontalAdvance("....") + 12);
    w.prefix = MakeDropList(kPrefixList[n], {});  // letters come with the dialog's initialisation
    w.clip = MakeDropList(kClipList[n], items::Clip());
    w.gain = MakeDropList(kGainList[n], items::Gain());
    w.signalControl = MakeDropList(kSignalControlList[n], items::SignalControl());
    w.startLevel = MakeDropList(kStartLevelList[n], items::StartLevel());
    w.stopAfter = MakeEditableDropDown(kStopAfterCombo[n], items::StopAfter());
    w.bitrate = MakeDropList(kBitrateList[n], items::Bitrate());
    w.minFileSize = Named(new QLineEdit(group), kMinFileSizeEdit[n]);
    w.maxFileSize = Named(new QLineEdit(group), kMaxFileSizeEdit[n]);

    connect(w.browse, &QPushButton::clicked, this, [this, channel] { BrowseFolder(channel); });
    connect(w.signalControl, &QComboBox::activated, this, [this, channel] { ApplySignalControlRule(channel); });

    auto* folderRow = new QHBoxLayout;
    folderRow->setSpacing(2);
    folderRow->addWidget(w.folder, 1);
    folderRow->addWidget(w.browse);

    auto* grid = new QGridLayout(group);
    SetGroupMargins(grid);
    int row = 0;
    grid->addWidget(w.active, row++, 1);
    auto add = [&](const char* caption, QWidget* control) {
        grid->addWidget(LabelFor(caption, control, group), row, 0);
        grid->addWidget(control, row++, 1);
    };
    add(text::kDescription, w.description);
    grid->addWidget(LabelFor(text::kFolder, w.folder, group), row, 0);
    grid->addLayout(folderRow, row++, 1);
    add(text::kPrefix, w.prefix);
    add(text::kClip, w.clip);
    add(text::kGain, w.gain);
    add(text::kSignalControl, w.signalControl);
    add(text::kStartLevel, w.startLevel);
    add(text::kStopAfter, w.stopAfter);
    add(text::kBitrate, w.bitrate);
    add(text::kMinFileSize, w.minFileSize);
    add(text::kMaxFileSize, w.maxFileSize);
    grid->setColumnStretch(1, 1);
    return group;
}

void ConfigDialog::InitDialog() {
    setWindowIcon(ConfiguratorIcon());
    for (ChannelWidgets& w : channels_) {
        for (const std::string& letter : items::Prefix()) w.prefix->addItem(Q(letter));
    }
    LoadSettingsIntoDialog();
    ApplySignalControlRule(0);
    ApplySignalControlRule(1);
}

void ConfigDialog::LoadSettingsIntoDialog() {
    settingsSaved_ = false;
    members_ = LoadMembers(ProfileReader::FromFile(settingsPath()));
    ShowControls(MembersToControls(members_));
}

void ConfigDialog::ApplySignalControlRule(int channel) {
    ControlsToMembers(ReadControls(), members_);
    const size_t n = static_cast<size_t>(channel);
    channels_[n].startLevel->setEnabled(StartLevelEnabled(members_.channels[n]));
}

void ConfigDialog::SaveSettings() {
    switch (configurator::SaveSettings(ReadControls(), members_, settingsPath(), settingsSaved_)) {
        case SaveOutcome::kSaved:
            services_.notifier.Information(this, QString("%1\n\n%2").arg(text::kSaved, text::kTakenAtClose));
            break;
        case SaveOutcome::kInvalidMinDiskSize:
            services_.notifier.Warning(this, text::kEnterInteger);
            minDiskSize_->setFocus(Qt::OtherFocusReason);
            minDiskSize_->selectAll();
            break;
        case SaveOutcome::kCannotCreate:
            break;
        case SaveOutcome::kWriteFailed:
            services_.notifier.Warning(this, text::kNotSaved);
            break;
    }
}

void ConfigDialog::BrowseFolder(int channel) {
    const size_t n = static_cast<size_t>(channel);
    const std::optional<QString> folder =
        services_.folderPicker.PickFolder(this, text::kBrowseTitle[n], Q(members_.channels[n].folder));
    if (folder) ShowPath(channels_[n].folder, *folder);
}

void ConfigDialog::ExitConfigurator() {
    if (exiting_) return;
    exiting_ = true;
    hide();  // stopping the recorder through the restart program can take a while
    // The recorder reads recorder.ini at the same reload as settings.ini.
    if (configurator::ExitConfigurator(settingsSaved_ || optionsSaved_, programFolder_, services_.recorder) ==
        ExitOutcome::kRestartStuck) {
        services_.notifier.Warning(this, text::kRestartStuck);
    }
    QDialog::done(QDialog::Rejected);
}

void ConfigDialog::reject() { ExitConfigurator(); }

void ConfigDialog::EditRecorderOptions() {
    RecorderOptionsDialog options(programFolder_, services_.notifier, this);
    options.exec();
    optionsSaved_ = optionsSaved_ || options.saved();
}

void ConfigDialog::ShowAbout() {
    AboutDialog about(this);
    about.exec();
}

void ConfigDialog::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.setObjectName("systemMenu");
    QAction* about = menu.addAction(text::kAboutMenuItem);
    about->setObjectName("aboutAction");
    about->setData(kAboutCommand);
    if (menu.exec(event->globalPos()) == about) ShowAbout();
}

DialogControls ConfigDialog::ReadControls() const {
    DialogControls c;
    c.device = S(device_->text());
    c.deviceNumber = StateOf(deviceNumber_);
    c.sampleRate = S(sampleRate_->currentText());
    c.autocleaning = StateOf(autocleaning_);
    c.minDiskSize = S(minDiskSize_->text());
    for (size_t n = 0; n < 2; ++n) {
        const ChannelWidgets& w = channels_[n];
        ChannelControls& ch = c.channels[n];
        ch.active = w.active->isChecked();
        ch.description = S(w.description->text());
        ch.folder = S(w.folder->text());
        ch.prefix = StateOf(w.prefix);
        ch.clip = StateOf(w.clip);
        ch.gain = StateOf(w.gain);
        ch.signalControl = StateOf(w.signalControl);
        ch.startLevel = StateOf(w.startLevel);
        ch.startLevelEnabled = w.startLevel->isEnabled();
        ch.stopAfter = S(w.stopAfter->currentText());
        ch.bitrate = StateOf(w.bitrate);
        ch.minFileSize = S(w.minFileSize->text());
        ch.maxFileSize = S(w.maxFileSize->text());
    }
    return c;
}

void ConfigDialog::ShowControls(const DialogControls& c) {
    device_->setText(Q(c.device));
    Show(deviceNumber_, c.deviceNumber);
    ShowText(sampleRate_, c.sampleRate);
    Show(autocleaning_, c.autocleaning);
    minDiskSize_->setText(Q(c.minDiskSize));
    for (size_t n = 0; n < 2; ++n) {
        ChannelWidgets& w = channels_[n];
        const ChannelControls& ch = c.channels[n];
        w.active->setChecked(ch.active);
        w.description->setText(Q(ch.description));
        ShowPath(w.folder, Q(ch.folder));
        Show(w.prefix, ch.prefix);
        Show(w.clip, ch.clip);
        Show(w.gain, ch.gain);
        Show(w.signalControl, ch.signalControl);
        Show(w.startLevel, ch.startLevel);
        w.startLevel->setEnabled(ch.startLevelEnabled);
        ShowText(w.stopAfter, ch.stopAfter);
        Show(w.bitrate, ch.bitrate);
        w.minFileSize->setText(Q(ch.minFileSize));
        w.maxFileSize->setText(Q(ch.maxFileSize));
    }
}

}  // namespace pell::configurator
