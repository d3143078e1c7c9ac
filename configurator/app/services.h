// What the configuration dialog asks of the desktop, behind interfaces that tests replace:
// message boxes and the folder picker. (Starting the restart program and reaching the
// recorder go through configurator::RecorderSignalPort.)
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace pell::configurator {

class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void Information(QWidget* owner, const QString& text) = 0;
    virtual void Warning(QWidget* owner, const QString& text) = 0;
};

class FolderPicker {
public:
    virtual ~FolderPicker() = default;
    // The chosen folder's path, or nothing when the user cancelled.
    virtual std::optional<QString> PickFolder(QWidget* owner, const QString& title,
                                              const QString& preselected) = 0;
};

}  // namespace pell::configurator
