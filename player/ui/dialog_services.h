// What the player's commands ask of the desktop, behind interfaces that tests replace: message
// boxes here, and the suite's FolderPicker. Called on the GUI thread; both may run a modal loop.
#pragma once

#include <QString>

#include "common/widgets/folder_picker.h"

class QWidget;

namespace pell::player {

class Notifier {
public:
    virtual ~Notifier() = default;
    // A failure the user must know about (stop icon, OK).
    virtual void Stop(QWidget* owner, const QString& text) = 0;
    // An outcome that is no failure, such as a search without a match (information icon, OK).
    virtual void Inform(QWidget* owner, const QString& text) = 0;
    // A Yes/No question with No as the default; true for Yes.
    virtual bool Ask(QWidget* owner, const QString& text) = 0;
};

// Qt's message boxes.
class DesktopNotifier final : public Notifier {
public:
    void Stop(QWidget* owner, const QString& text) override;
    void Inform(QWidget* owner, const QString& text) override;
    bool Ask(QWidget* owner, const QString& text) override;
};

}  // namespace pell::player
