#include "player/ui/dialogs_test_support.h"

#include <QApplication>
#include <QTimer>
#include <cmath>
#include <cstring>
#include <fstream>

#include "common/core/recording_tag_layout.h"
#include "recorder/core/mp3_encoder.h"
#include "recorder/core/recording_names.h"

namespace pell::player::test {

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "player_dialogs_test";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) new QApplication(argc, argv);
}

void WriteRecording(const std::string& path, const std::string& number, const std::string& channel,
                    const std::string& commentBytes) {
    Mp3Encoder encoder;
    encoder.Open(EncoderConfig{8000, 16, false});
    std::vector<int16_t> pcm(8000);
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        pcm[i] = static_cast<int16_t>(6000 * std::sin(static_cast<double>(i) * 2 * M_PI * 697 / 8000));
    }
    std::vector<uint8_t> bytes;
    for (std::size_t at = 0; at < pcm.size(); at += encoder.SamplesPerChunk()) {
        encoder.Encode(pcm.data() + at, std::min(encoder.SamplesPerChunk(), pcm.size() - at), bytes);
    }
    encoder.Flush(bytes);
    auto tag = RecordingTag{number, channel, 'I'}.Bytes();
    std::memcpy(tag.data() + tag_offset::kComment, commentBytes.data(), std::min(commentBytes.size(), kTagTextLength));
    bytes.insert(bytes.end(), tag.begin(), tag.end());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void AnswerNextModal(QObject* context, std::function<void(QDialog&)> answer) {
    QTimer::singleShot(0, context, [answer = std::move(answer)] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        answer(*dialog);
        if (dialog->isVisible()) dialog->reject();
    });
}

}  // namespace pell::player::test
