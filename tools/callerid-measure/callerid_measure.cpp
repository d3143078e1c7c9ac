// callerid-measure: the degraded caller-ID set and our decoders' answers on it.
//
//   callerid-measure generate SETDIR [SEEDBASE]
//                                      writes SETDIR/files/*.wav and SETDIR/manifest.tsv from the
//                                      generators and the speech in SETDIR/speech/<rate>.raw
//   callerid-measure decode SETDIR     prints "file<TAB>answer" for every file of the manifest,
//                                      and "<kind>-<rate><TAB>digits<TAB>seconds" for each file of
//                                      SETDIR/{speech,music,hold}/<rate>.raw
//
// Manifest columns: file, kind (fsk, dtmf), group, condition, rate, tone pair (v23, bell, -),
// expected answer.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/core/recorder_settings.h"
#include "common/core/wav_file.h"
#include "recorder/core/callerid/dtmf_detector.h"
#include "recorder/core/callerid/fsk_decoder.h"
#include "recorder/core/callerid/identify_caller.h"
#include "testsupport/signals/signals.h"

namespace {

using pell::signals::Samples;
namespace sig = pell::signals;

constexpr int32_t kRates[] = {8000, 11025, 16000};
constexpr uint32_t kSeeds = 5;

Samples ReadRaw(const std::string& path, size_t skipBytes = 0) {
    std::ifstream f(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    Samples s;
    for (size_t i = skipBytes; i + 1 < bytes.size(); i += 2) {
        s.push_back(static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8)));
    }
    return s;
}

struct FskImpairment {
    double toneOffsetPercent = 0, baudOffsetPercent = 0;
    double humDb = -200, snrDb = 200;
    int companding = 0;           // 1 mu-law, 2 A-law
    double spaceBelowMarkDb = 0;  // a long loop's slope
    double echoDb = -200;         // a hybrid's echo, 4 ms late
};

struct Condition {
    std::string group, name;
    FskImpairment fsk;
};

std::vector<Condition> FskConditions() {
    std::vector<Condition> c;
    c.push_back({"clean", "clean", {}});
    for (const double db : {-20.0, -12.0, -6.0, 0.0, 6.0}) {
        FskImpairment i;
        i.humDb = db;
        c.push_back({"hum", "hum " + std::to_string(static_cast<int>(db)) + " dB", i});
    }
    for (const double snr : {25.0, 20.0, 15.0, 12.0, 10.0}) {
        FskImpairment i;
        i.snrDb = snr;
        c.push_back({"noise", "noise " + std::to_string(static_cast<int>(snr)) + " dB SNR", i});
    }
    for (const int law : {1, 2}) {
        FskImpairment i;
        i.companding = law;
        c.push_back({"g711", law == 1 ? "mu-law" : "A-law", i});
    }
    for (const double p : {-2.5, -1.5, 1.5, 2.5}) {
        FskImpairment i;
        i.toneOffsetPercent = p;
        std::ostringstream n;
        n << "tones " << (p > 0 ? "+" : "") << p << " %";
        c.push_back({"tone offset", n.str(), i});
    }
    for (const double p : {-1.0, -0.5, 0.5, 1.0}) {
        FskImpairment i;
        i.baudOffsetPercent = p;
        std::ostringstream n;
        n << "bit rate " << (p > 0 ? "+" : "") << p << " %";
        c.push_back({"bit-rate offset", n.str(), i});
    }
    c.push_back({"combined", "mu-law, tones +1.5 %, rate -0.5 %, noise 15 dB, hum -6 dB", {1.5, -0.5, -6, 15, 1}});
    c.push_back({"combined", "A-law, tones -2.5 %, noise 12 dB, hum 0 dB", {-2.5, 0, 0, 12, 2}});
    c.push_back({"combined", "mu-law, rate +1 %, noise 15 dB, hum -12 dB", {0, 1, -12, 15, 1}});
    c.push_back({"combined", "tones +2.5 %, rate -1 %, noise 20 dB, hum +6 dB", {2.5, -1, 6, 20, 0}});
    for (const auto& [slope, echo] : {std::pair{8.0, -200.0}, std::pair{12.0, -200.0}, std::pair{10.0, -20.0}}) {
        FskImpairment i;
        i.spaceBelowMarkDb = slope;
        i.echoDb = echo;
        i.snrDb = 30;
        std::string name = "space " + std::to_string(static_cast<int>(slope)) + " dB below mark";
        if (echo > -100) name += ", echo " + std::to_string(static_cast<int>(echo)) + " dB";
        c.push_back({"sloped line", name, i});
    }
    return c;
}

std::string RandomNumber(std::mt19937& random) {
    const int length = std::uniform_int_distribution<int>(7, 11)(random);
    std::string n;
    for (int i = 0; i < length; ++i) n += static_cast<char>('0' + std::uniform_int_distribution<int>(0, 9)(random));
    return n;
}

std::string Slug(const std::string& s) {
    std::string out;
    for (const char ch : s) {
        if (std::isalnum(static_cast<unsigned char>(ch)))
            out += ch;
        else if (ch == '-')
            out += 'm';
        else if (ch == '+')
            out += 'p';
        else if (ch == '.')
            out += 'd';
        else
            out += '_';
    }
    return out;
}

// A stretch of the speech recordings at that rate, from a seeded position.
Samples SpeechStretch(const Samples& speech, size_t count, std::mt19937& random) {
    if (speech.size() <= count) return speech;
    const size_t start = std::uniform_int_distribution<size_t>(0, speech.size() - count - 1)(random);
    return Samples(speech.begin() + static_cast<std::ptrdiff_t>(start),
                   speech.begin() + static_cast<std::ptrdiff_t>(start + count));
}

double PowerOf(const Samples& s) {
    double p = 0;
    size_t n = 0;
    for (const int16_t v : s)
        if (v != 0) {
            p += static_cast<double>(v) * v;
            ++n;
        }
    return n ? p / n : 0;
}

int Generate(const std::string& dir, uint32_t seedBase) {
    namespace fs = std::filesystem;
    fs::create_directories(dir + "/files");
    std::ofstream manifest(dir + "/manifest.tsv");
    std::map<int32_t, Samples> speech;
    for (const int32_t rate : kRates) {
        speech[rate] = ReadRaw(dir + "/speech/" + std::to_string(rate) + ".raw");
        if (speech[rate].empty()) {
            std::cerr << "callerid-measure: no speech in " << dir << "/speech/" << rate << ".raw\n";
            return 1;
        }
    }
    size_t files = 0;
    auto emit = [&](const std::string& kind, const std::string& group, const std::string& name, int32_t rate,
                    const std::string& pair, uint32_t seed, const Samples& s, const std::string& expected) {
        const std::string file =
            kind + "-" + Slug(name) + "-" + std::to_string(rate) + "-" + pair + "-" + std::to_string(seed) + ".wav";
        pell::WriteWavFile(dir + "/files/" + file, static_cast<uint32_t>(rate), 1, s);
        manifest << file << '\t' << kind << '\t' << group << '\t' << name << '\t' << rate << '\t' << pair << '\t'
                 << expected << '\n';
        ++files;
    };
    for (const Condition& c : FskConditions()) {
        for (const int32_t rate : kRates) {
            for (const bool v23 : {true, false}) {
                for (uint32_t seed = 1; seed <= kSeeds; ++seed) {
                    std::mt19937 random(seedBase + seed * 7919 + static_cast<uint32_t>(rate) + (v23 ? 1 : 2) +
                                        static_cast<uint32_t>(std::hash<std::string>{}(c.name)));
                    const std::string number = RandomNumber(random);
                    sig::FskBurstOptions o;
                    o.sampleRate = rate;
                    o.tones = v23 ? sig::kV23Tones : sig::kBell202Tones;
                    o.markBits = v23 ? 80 : 180;
                    o.levelDbfs = std::uniform_real_distribution<double>(-25, -9)(random);
                    o.frequencyOffsetHz = c.fsk.toneOffsetPercent / 100 * (o.tones.markHz + o.tones.spaceHz) / 2;
                    o.baudOffsetPercent = c.fsk.baudOffsetPercent;
                    o.startPhase = seed + seedBase;
                    std::vector<sig::Parameter> parameters = {{0x01, "12071530"}, {0x02, number}};
                    if (seed % 2 == 0) parameters.push_back({0x07, "J SMITH"});
                    Samples s = sig::Silence(rate, std::uniform_real_distribution<double>(0.2, 0.8)(random));
                    sig::Append(s, sig::FskBurst(sig::CallSetupMessage(parameters), o));
                    sig::Append(s, sig::Silence(rate, 0.6));
                    if (c.fsk.spaceBelowMarkDb > 0) {
                        sig::ApplySlope(s, rate, o.tones.markHz, o.tones.spaceHz, c.fsk.spaceBelowMarkDb);
                    }
                    if (c.fsk.echoDb > -100) sig::AddEcho(s, rate, 4, c.fsk.echoDb);
                    if (c.fsk.snrDb < 100) sig::AddBandNoise(s, rate, c.fsk.snrDb, 300, 3400, seedBase + seed);
                    if (c.fsk.humDb > -100) sig::AddHum(s, rate, seed % 2 ? 50 : 60, c.fsk.humDb);
                    if (c.fsk.companding == 1) sig::MuLawRoundTrip(s);
                    if (c.fsk.companding == 2) sig::ALawRoundTrip(s);
                    emit("fsk", c.group, c.name, rate, v23 ? "v23" : "bell", seed, s, number);
                }
            }
        }
    }
    // DTMF: clean at two timings, under speech, under noise.
    struct DtmfCondition {
        std::string group, name;
        double toneMs, speechDb, snrDb, twistDb;
        double pauseMs = 0;                      // 0: as long as the tone (40 or 70 ms)
        double echoMs = 0, echoDb = -200;        // a hybrid's echo
        double rowOffset = 0, columnOffset = 0;  // percent, one tone moved on its own
        bool refused = false;                    // a receiver must take no digit
    };
    const DtmfCondition dtmf[] = {
        {"dtmf clean", "70 ms tones", 70, -200, 200, 0},
        {"dtmf clean", "40 ms tones, 40 ms gaps", 40, -200, 200, 0},
        {"dtmf twist", "twist +4 dB", 70, -200, 200, 4},
        {"dtmf twist", "twist -8 dB", 70, -200, 200, -8},
        {"dtmf noise", "noise 20 dB", 70, -200, 20, 0},
        {"dtmf noise", "noise 15 dB", 70, -200, 15, 0},
        {"dtmf speech", "speech -15 dB", 70, -15, 200, 0},
        {"dtmf speech", "speech -10 dB", 70, -10, 200, 0},
        {"dtmf speech", "speech -5 dB", 70, -5, 200, 0},
        {"dtmf speech", "speech 0 dB", 70, 0, 200, 0},
        {"dtmf echo", "50 ms tones, 40 ms gaps, echo 10 ms -30 dB", 50, -200, 40, 0, 40, 10, -30},
        {"dtmf echo", "50 ms tones, 40 ms gaps, echo 20 ms -12 dB", 50, -200, 40, 0, 40, 20, -12},
        {"dtmf one tone off", "row tone 1.5 % + 2 Hz high", 70, -200, 40, 0, 0, 0, -200, 1.8},
        {"dtmf one tone off", "column tone 1.5 % + 2 Hz low", 70, -200, 40, 0, 0, 0, -200, 0, -1.65},
        {"dtmf one tone off", "row tone 3.5 % high, refused", 70, -200, 40, 0, 0, 0, -200, 3.5, 0, true},
        {"dtmf one tone off", "column tone 3.5 % low, refused", 70, -200, 40, 0, 0, 0, -200, 0, -3.5, true},
    };
    for (const DtmfCondition& c : dtmf) {
        for (const int32_t rate : kRates) {
            for (uint32_t seed = 1; seed <= kSeeds; ++seed) {
                std::mt19937 random(seedBase + seed * 104729 + static_cast<uint32_t>(rate) +
                                    static_cast<uint32_t>(std::hash<std::string>{}(c.name)));
                static const char kKeys[] = "0123456789*#ABCD";
                std::string digits;
                for (int i = 0; i < 10; ++i) digits += kKeys[std::uniform_int_distribution<int>(0, 15)(random)];
                sig::DtmfOptions o;
                o.sampleRate = rate;
                o.toneMs = c.toneMs;
                o.pauseMs = c.pauseMs > 0 ? c.pauseMs : c.toneMs == 40 ? 40 : 70;
                o.rowOffsetPercent = c.rowOffset;
                o.columnOffsetPercent = c.columnOffset;
                o.levelDbfs = std::uniform_real_distribution<double>(-20, -8)(random);
                o.twistDb = c.twistDb;
                Samples s = sig::Silence(rate, 0.3);
                sig::Append(s, sig::DtmfDigits(digits, o));
                sig::Append(s, sig::Silence(rate, 0.3));
                if (c.echoDb > -100) sig::AddEcho(s, rate, c.echoMs, c.echoDb);
                if (c.snrDb < 100) sig::AddBandNoise(s, rate, c.snrDb, 300, 3400, seedBase + seed);
                if (c.speechDb > -100) {
                    Samples talk = SpeechStretch(speech[rate], s.size(), random);
                    const double gain = std::sqrt(PowerOf(s) * std::pow(10.0, c.speechDb / 10) / PowerOf(talk));
                    for (int16_t& v : talk)
                        v = static_cast<int16_t>(std::clamp(std::lround(v * gain), -32768L, 32767L));
                    s = sig::Mix(s, talk);
                }
                emit("dtmf", c.group, c.name, rate, "-", seed, s, c.refused ? "" : digits);
            }
        }
    }
    std::cerr << "callerid-measure: " << files << " files in " << dir << "/files\n";
    return 0;
}

// Talk-off: speech, music and hold music, where present, whole and cut into calls.
void PrintTalkOff(const std::string& dir) {
    for (const char* kind : {"speech", "music", "hold"}) {
        for (const int32_t rate : kRates) {
            const Samples s = ReadRaw(dir + "/" + kind + "/" + std::to_string(rate) + ".raw");
            if (s.empty()) continue;
            // Cut into calls of three minutes: the numbers the recorder would file for them.
            const size_t call = static_cast<size_t>(rate) * 180;
            std::string filed;
            for (size_t at = 0; at + call / 2 < s.size(); at += call) {
                const size_t n = std::min(call, s.size() - at);
                for (const pell::ClipMode clip : {pell::ClipMode::kTone, pell::ClipMode::kFskEurope}) {
                    const pell::CallerIdentity who =
                        pell::IdentifyCaller(s.data() + at, n, clip, rate, pell::BuildToneTable(clip));
                    if (!who.number.empty())
                        filed += (filed.empty() ? "" : " ") + std::to_string(static_cast<int>(clip)) + ":" + who.number;
                }
            }
            std::cout << kind << '-' << rate << '\t' << pell::DetectDtmfDigits(s.data(), s.size(), rate) << '\t'
                      << static_cast<double>(s.size()) / rate << '\t' << filed << '\n';
        }
    }
}

int Decode(const std::string& dir) {
    std::ifstream manifest(dir + "/manifest.tsv");
    std::string line;
    while (std::getline(manifest, line)) {
        std::istringstream fields(line);
        std::string file, kind, group, name, rate, pair;
        std::getline(fields, file, '\t');
        std::getline(fields, kind, '\t');
        std::getline(fields, group, '\t');
        std::getline(fields, name, '\t');
        std::getline(fields, rate, '\t');
        std::getline(fields, pair, '\t');
        const Samples s = ReadRaw(dir + "/files/" + file, 44);
        const int32_t hz = std::stoi(rate);
        std::string answer;
        if (kind == "fsk") {
            const pell::ToneTable tones =
                pell::BuildToneTable(pair == "v23" ? pell::ClipMode::kFskEurope : pell::ClipMode::kFskUs);
            answer = pell::DecodeFskClip(s.data(), s.size(), hz, tones);
        } else {
            answer = pell::DetectDtmfDigits(s.data(), s.size(), hz);
        }
        std::cout << file << '\t' << answer << '\n';
    }
    PrintTalkOff(dir);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if ((args.size() == 2 || args.size() == 3) && args[0] == "generate") {
        return Generate(args[1], args.size() == 3 ? static_cast<uint32_t>(std::stoul(args[2])) : 0);
    }
    if (args.size() == 2 && args[0] == "decode") return Decode(args[1]);
    std::cerr << "Usage: callerid-measure generate SETDIR [SEEDBASE] | decode SETDIR\n";
    return 1;
}
