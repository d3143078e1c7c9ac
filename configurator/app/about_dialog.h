// The About box: the icon, "Pell2CFG Version" with the project version and an "OK" button.
#pragma once

#include <QDialog>

namespace pell::configurator {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace pell::configurator
