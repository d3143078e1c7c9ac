// What the configuration dialog asks of the desktop, behind interfaces that tests replace:
// message boxes and the folder picker. (Starting the restart program and reaching the
// recorder go through configurator::RecorderSignalPort.)
#pragma once

#include <QString>
#include <optional>

#include "common/widgets/folder_picker.h"

class QWidget;

namespace pell::configurator {

using pell::FolderPicker;

class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void Information(QWidget* owner, const QString& text) = 0;
    virtual void Warning(QWidget* owner, const QString& text) = 0;
};

}  // namespace pell::configurator
