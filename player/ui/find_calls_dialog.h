// The "Find calls" dialog: the call index's criteria (number, bookmark text, date and time
// range, duration range, line, direction, played, protected), all combined. Find checks them
// with the core's rules and stays open on a field that is wrong, saying why and what to type.
#pragma once

#include <QDate>
#include <QDialog>
#include <string>
#include <vector>

#include "player/ui/core/find_calls.h"

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;

namespace pell::player {

class FindCallsDialog : public QDialog {
    Q_OBJECT
public:
    // Starts from `preset` (the last search); an unticked From or To shows the start of
    // `fromDay` or the end of `toDay` for when it is ticked. `lines` are offered for Line.
    FindCallsDialog(const FindCallsForm& preset, const std::vector<std::string>& lines, QDate fromDay, QDate toDay,
                    QWidget* parent = nullptr);

    FindCallsForm Form() const;
    void SetForm(const FindCallsForm& form);
    // The message of the last refused Find; empty when none.
    QString Problem() const;

public slots:
    void accept() override;
    // Every field back to "any".
    void Clear();

private:
    QLineEdit* number_;
    QLineEdit* text_;
    QCheckBox* useFrom_;
    QDateTimeEdit* from_;
    QCheckBox* useTo_;
    QDateTimeEdit* to_;
    QLineEdit* minDuration_;
    QLineEdit* maxDuration_;
    QComboBox* line_;
    QComboBox* direction_;
    QComboBox* played_;
    QComboBox* protected_;
    QLabel* problem_;
    QDate fromDay_;
    QDate toDay_;
};

}  // namespace pell::player
