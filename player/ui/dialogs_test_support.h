// Shared by the player dialogs' tests: the desktop fakes, a record list over catalogue rows,
// real recordings made by the recorder's encoder, and answering a modal dialog from inside it.
#pragma once

#include <QDialog>
#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "player/catalogue/record_list.h"
#include "player/ui/core/record_list_rules.h"
#include "player/ui/dialog_services.h"
#include "player/ui/player_services.h"
#include "player/ui/record_list_port.h"

namespace pell::player::test {

void EnsureApplication();

// A volume that never moves, for window tests that do not look at the sound.
class SilentMixer : public VolumeMixer {
public:
    std::uint32_t GetWaveOutVolume() override { return 30000; }
    void SetWaveOutVolume(std::uint32_t) override {}
};

class FakeNotifier : public Notifier {
public:
    void Stop(QWidget*, const QString& text) override { shown.push_back("stop: " + text.toStdString()); }
    void Inform(QWidget*, const QString& text) override { shown.push_back("info: " + text.toStdString()); }
    bool Ask(QWidget*, const QString& text) override {
        shown.push_back("ask: " + text.toStdString());
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::vector<std::string> shown;
    std::deque<bool> answers;
};

class FakeFolderPicker : public FolderPicker {
public:
    std::optional<QString> PickFolder(QWidget*, const QString& title, const QString& preselected) override {
        titles.push_back(title.toStdString());
        preselections.push_back(preselected.toStdString());
        return answer;
    }
    std::vector<std::string> titles;
    std::vector<std::string> preselections;
    std::optional<QString> answer;
};

// The list as a vector of catalogue rows.
class RowList : public RecordListPort {
public:
    int RowCount() const override { return static_cast<int>(rows.size()); }
    int CurrentRow() const override { return current; }
    std::vector<int> SelectedRows() const override { return selected; }
    std::string Text(int row, int column) const override { return rows.at(static_cast<std::size_t>(row)).Text(column); }
    void SetBookmark(int row, const std::string& text) override {
        rows.at(static_cast<std::size_t>(row)).bookmark = text;
    }
    void SelectRow(int row) override { current = row; }
    void RemoveRow(int row) override {
        rows.erase(rows.begin() + row);
        current = CurrentRowAfterRemoval(current, row, static_cast<int>(rows.size()));
    }
    std::vector<RecordRow> rows;
    int current = -1;
    std::vector<int> selected;  // the commands on several recordings act on these when given
};

// One second of tone encoded as the recorder does, with the recorder's tag and then, when
// given, `commentBytes` written raw into the comment field.
void WriteRecording(const std::string& path, const std::string& number, const std::string& channel,
                    const std::string& commentBytes = "");

// Runs `answer` on the next modal dialog once its event loop runs, then closes any dialog
// still open, so a command that opens a dialog never blocks the test. Dropped with `context`.
void AnswerNextModal(QObject* context, std::function<void(QDialog&)> answer);

}  // namespace pell::player::test
