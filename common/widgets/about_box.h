// The suite's About boxes share one layout: the program icon, one line of text and an OK button
// that closes the box, sized in dialog units of the dialog font.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>

namespace pell {

// Fills `dialog` (object names "aboutIcon", "aboutText", "aboutOkButton") and fixes its size.
void LayOutAboutBox(QDialog& dialog, const QIcon& icon, const QString& line, const QString& okText);

}  // namespace pell
