// What the player's commands ask of the desktop, behind interfaces that tests replace: message
// boxes and the folder picker. Both are called on the GUI thread and may run a modal loop.
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace pell::player {

class Notifier {
public:
    virtual ~Notifier() = default;
    // A failure the user must know about (stop icon, OK).
    virtual void Stop(QWidget* owner, const QString& text) = 0;
    // A Yes/No question with No as the default; true for Yes.
    virtual bool Ask(QWidget* owner, const QString& text) = 0;
};

class FolderPicker {
public:
    virtual ~FolderPicker() = default;
    // The chosen folder's path, or nothing when the user cancelled.
    virtual std::optional<QString> PickFolder(QWidget* owner, const QString& title,
                                              const QString& preselected) = 0;
};

// Qt's message boxes and folder picker.
class DesktopNotifier final : public Notifier {
public:
    void Stop(QWidget* owner, const QString& text) override;
    bool Ask(QWidget* owner, const QString& text) override;
};

class DesktopFolderPicker final : public FolderPicker {
public:
    std::optional<QString> PickFolder(QWidget* owner, const QString& title,
                                      const QString& preselected) override;
};

}  // namespace pell::player
