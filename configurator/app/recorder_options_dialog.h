// The dialog over recorder.ini: alarms, e-mail and how long each line's recordings are kept.
// It only moves texts between its fields and configurator/core/recorder_options_form.h; "Save"
// writes the file and closes, "Cancel" (and Escape) closes without writing.
#pragma once

#include <QDialog>
#include <array>
#include <string>

#include "common/core/recorder_options.h"
#include "configurator/app/services.h"
#include "configurator/core/config_controls.h"
#include "configurator/core/recorder_options_form.h"

class QGridLayout;
class QLineEdit;

namespace pell::configurator {

class RecorderOptionsDialog : public QDialog {
    Q_OBJECT
public:
    RecorderOptionsDialog(std::string programFolder, Notifier& notifier, QWidget* parent = nullptr);

    // Checks and writes recorder.ini; on success the dialog is accepted.
    void Save();
    bool saved() const { return saved_; }

private:
    QLineEdit* AddField(QGridLayout* grid, int row, const char* caption, const ControlId& id);
    QLineEdit* FieldOf(const FieldProblem& problem) const;
    RecorderOptionFields ReadFields() const;
    void ShowFields(const RecorderOptionFields& fields);

    std::string programFolder_;
    Notifier& notifier_;
    RecorderOptions loaded_;
    bool saved_ = false;

    QLineEdit* reminderHours_ = nullptr;
    QLineEdit* server_ = nullptr;
    QLineEdit* from_ = nullptr;
    QLineEdit* to_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    struct LineWidgets {
        QLineEdit* noCallDays = nullptr;
        QLineEdit* keepDays = nullptr;
        QLineEdit* deleteAfterDays = nullptr;
    };
    std::array<LineWidgets, 2> lines_;
};

}  // namespace pell::configurator
