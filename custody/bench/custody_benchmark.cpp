// Figures for the custody records: the cost of the audio hash when a recording is filed
// against the cost of encoding it, and `verify` over a day folder against sha256sum over the
// same files. Prints the figures and their ratios; asserts nothing.
//
//   custody_benchmark [RECORDINGS [MINUTES_EACH]]   (default 200 recordings of 5 minutes)
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "custody/core/verify.h"
#include "custody/posix/custody.h"
#include "custody/posix/posix_custody_files.h"
#include "recorder/core/mp3_encoder.h"

namespace {

using Seconds = std::chrono::duration<double>;

double Since(std::chrono::steady_clock::time_point start) {
    return Seconds(std::chrono::steady_clock::now() - start).count();
}

// `seconds` of a 400 Hz tone at 8000 Hz, encoded as the recorder encodes a line (24 kbit/s).
std::vector<uint8_t> Encode(int seconds, double& took) {
    pell::Mp3Encoder encoder;
    if (encoder.Open(pell::EncoderConfig{}) != 0) std::exit(1);
    std::vector<int16_t> block(4000);
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * static_cast<double>(i % 20) / 20));
    }
    std::vector<uint8_t> out;
    const auto start = std::chrono::steady_clock::now();
    for (int half = 0; half < seconds * 2; ++half) encoder.Encode(block.data(), block.size(), out);
    encoder.Flush(out);
    took = Since(start);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 200;
    const int minutes = argc > 2 ? std::atoi(argv[2]) : 5;
    char pattern[] = "/tmp/custody-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    const std::string root = pattern;
    const std::string day = root + "/05.03.2026";
    std::system(("mkdir -p '" + day + "'").c_str());

    double encodeSeconds = 0;
    const std::vector<uint8_t> audio = Encode(minutes * 60, encodeSeconds);
    const std::string tag(128, '\0');
    const std::string bytes = std::string(audio.begin(), audio.end()) + "TAG" + tag.substr(3);

    double hashSeconds = 0;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "a%07d.mp3", i);
        const std::string path = day + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        const auto start = std::chrono::steady_clock::now();
        const pell::AudioHashResult hash = pell::HashAudio(path);
        hashSeconds += Since(start);
        pell::RecordFiled(day, pell::FiledFacts{name, 1, 2, "Line 1", "0171", 'I', static_cast<int64_t>(bytes.size())},
                          hash.digest);
    }
    const double perHourEncode = encodeSeconds * 60 / minutes;
    const double perHourHash = hashSeconds / count * 60 / minutes;
    std::printf("filing: hash %.2f ms per hour of call, encoding %.0f ms per hour: %.4f of the encoding\n",
                perHourHash * 1000, perHourEncode * 1000, perHourHash / perHourEncode);

    std::system(("cat '" + day + "'/*.mp3 > /dev/null").c_str());  // both runs read from the page cache
    pell::PosixCustodyFiles files;
    auto start = std::chrono::steady_clock::now();
    const pell::FolderVerification verified = pell::VerifyDayFolder(files, day);
    const double verifySeconds = Since(start);
    start = std::chrono::steady_clock::now();
    std::system(("sha256sum '" + day + "'/*.mp3 > /dev/null").c_str());
    const double shaSeconds = Since(start);
    const double megabytes = static_cast<double>(bytes.size()) * count / 1e6;
    std::printf("verify: %zu recordings, %.0f MB in %.3f s (%.0f MB/s); sha256sum %.3f s (%.0f MB/s): ratio %.2f\n",
                verified.verified, megabytes, verifySeconds, megabytes / verifySeconds, shaSeconds,
                megabytes / shaSeconds, verifySeconds / shaSeconds);
    std::system(("rm -rf '" + root + "'").c_str());
    return verified.findings.empty() ? 0 : 1;
}
