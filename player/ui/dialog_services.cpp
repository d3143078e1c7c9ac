#include "player/ui/dialog_services.h"

#include <QMessageBox>

#include "player/ui/player_controls.h"

namespace pell::player {

namespace {

// File names and tag texts may look like markup; they are always shown as they are.
int ShowPlain(QWidget* owner, QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons,
              QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, text::kTitle, text, buttons, owner);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    return box.exec();
}

}  // namespace

void DesktopNotifier::Stop(QWidget* owner, const QString& text) {
    ShowPlain(owner, QMessageBox::Critical, text, QMessageBox::Ok, QMessageBox::Ok);
}

void DesktopNotifier::Inform(QWidget* owner, const QString& text) {
    ShowPlain(owner, QMessageBox::Information, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool DesktopNotifier::Ask(QWidget* owner, const QString& text) {
    return ShowPlain(owner, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

}  // namespace pell::player
