// The configurator's one window: the recorder's settings in a "Common:" group and one group
// per channel, "Save" (the default button) and "Exit" (also Escape and the close box), and
// "&Alarms, e-mail..." for the settings kept in recorder.ini.
// The rules live in configurator/core; this class only moves states between them and the
// widgets, and reaches the desktop through the interfaces it is given.
#pragma once

#include <QDialog>
#include <array>
#include <string>

#include "configurator/app/services.h"
#include "configurator/core/config_controls.h"
#include "configurator/core/config_members.h"
#include "configurator/core/exit_sequence.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLineEdit;
class QPushButton;
class QWidget;

namespace pell::configurator {

struct ConfigDialogServices {
    Notifier& notifier;
    FolderPicker& folderPicker;
    RecorderSignalPort& recorder;
};

class ConfigDialog : public QDialog {
    Q_OBJECT
public:
    // Builds the window with the constructor values, then initialises it from the settings
    // file in programFolder.
    ConfigDialog(std::string programFolder, ConfigDialogServices services, QWidget* parent = nullptr);

    void LoadSettingsIntoDialog();
    void SaveSettings();
    void BrowseFolder(int channel);  // 0 or 1
    void ExitConfigurator();
    void ShowAbout();
    // The recorder.ini dialog ("&Alarms, e-mail..."), modal over this one.
    void EditRecorderOptions();

    bool settingsSaved() const { return settingsSaved_; }
    const DialogMembers& members() const { return members_; }
    std::string settingsPath() const;

public slots:
    void reject() override;  // Escape and the close box leave through ExitConfigurator

protected:
    // Stands in for the window's system menu, which carries "&About Pell2CFG...".
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    struct ChannelWidgets {
        QCheckBox* active = nullptr;
        QLineEdit* description = nullptr;
        QLineEdit* folder = nullptr;
        QPushButton* browse = nullptr;
        QComboBox* prefix = nullptr;
        QComboBox* clip = nullptr;
        QComboBox* gain = nullptr;
        QComboBox* signalControl = nullptr;
        QComboBox* startLevel = nullptr;
        QComboBox* stopAfter = nullptr;
        QComboBox* bitrate = nullptr;
        QLineEdit* minFileSize = nullptr;
        QLineEdit* maxFileSize = nullptr;
    };

    void BuildWindow();
    QWidget* BuildCommonGroup();
    QWidget* BuildChannelGroup(int channel);
    QComboBox* MakeDropList(const ControlId& id, const std::vector<std::string>& items);
    QComboBox* MakeEditableDropDown(const ControlId& id, const std::vector<std::string>& items);
    void InitDialog();
    void ApplySignalControlRule(int channel);

    DialogControls ReadControls() const;
    void ShowControls(const DialogControls& controls);

    std::string programFolder_;
    ConfigDialogServices services_;
    DialogMembers members_;
    bool settingsSaved_ = false;
    bool optionsSaved_ = false;  // recorder.ini was written: the recorder reloads at exit too
    bool exiting_ = false;

    QLineEdit* device_ = nullptr;
    QComboBox* deviceNumber_ = nullptr;
    QComboBox* sampleRate_ = nullptr;
    QComboBox* autocleaning_ = nullptr;
    QLineEdit* minDiskSize_ = nullptr;
    std::array<ChannelWidgets, 2> channels_;
};

}  // namespace pell::configurator
