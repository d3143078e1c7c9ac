// The modal "Type new bookmark" dialog: one line of text for a recording's bookmark, limited to
// what the tag's 30-byte field holds in UTF-8, so what is typed is what gets stored.
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

namespace pell::player {

class BookmarkDialog : public QDialog {
    Q_OBJECT
public:
    explicit BookmarkDialog(const QString& text, QWidget* parent = nullptr);
    QString Text() const;

private:
    QLineEdit* edit_;
};

}  // namespace pell::player
