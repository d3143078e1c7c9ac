// The modeless "Search" window. Find hands the text to the main window and leaves the window
// open, so pressing it again finds the next match; Cancel or the close box destroy the window.
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

namespace pell::player {

class SearchDialog : public QDialog {
    Q_OBJECT
public:
    explicit SearchDialog(QWidget* parent = nullptr);
    QString Text() const;

signals:
    void findRequested(const QString& text);

private:
    QLineEdit* edit_;
};

}  // namespace pell::player
