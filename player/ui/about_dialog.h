// The player's About box: program icon, name and version, OK.
#pragma once

#include <QDialog>

namespace pell::player {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace pell::player
