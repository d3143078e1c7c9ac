#include "player/engine/testing/mp3_fixtures.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

#include <lame/lame.h>
#include <mpg123.h>

#include "player/engine/mp3_frame.h"

namespace pell::testing {

std::vector<std::int16_t> MakeTone(const ToneParams& tone) {
    const auto frames = static_cast<std::size_t>(tone.seconds * tone.sampleRate);
    std::vector<std::int16_t> pcm(frames * static_cast<std::size_t>(tone.channels));
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / tone.sampleRate;
        for (int c = 0; c < tone.channels; ++c) {
            const double hz = c == 0 ? tone.leftHz : tone.rightHz;
            pcm[i * static_cast<std::size_t>(tone.channels) + static_cast<std::size_t>(c)] =
                static_cast<std::int16_t>(std::lround(tone.amplitude * std::sin(2 * std::numbers::pi * hz * t)));
        }
    }
    return pcm;
}

std::vector<std::int16_t> MakeSweep(int sampleRate, int channels, double seconds, double fromHz, double toHz,
                                    double amplitude) {
    const auto frames = static_cast<std::size_t>(seconds * sampleRate);
    std::vector<std::int16_t> pcm(frames * static_cast<std::size_t>(channels));
    const double rise = std::log(toHz / fromHz);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        // Phase of a sweep whose frequency grows exponentially from fromHz to toHz over seconds.
        const double phase = 2 * std::numbers::pi * fromHz * seconds / rise * (std::exp(rise * t / seconds) - 1);
        const auto value = static_cast<std::int16_t>(std::lround(amplitude * std::sin(phase)));
        for (int c = 0; c < channels; ++c)
            pcm[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] = value;
    }
    return pcm;
}

std::string EncodeMp3(const std::vector<std::int16_t>& pcm, int sampleRate, int channels,
                      const EncodeOptions& options) {
    lame_global_flags* gf = lame_init();
    if (gf == nullptr) throw std::runtime_error("lame_init failed");
    lame_set_in_samplerate(gf, sampleRate);
    lame_set_out_samplerate(gf, sampleRate);
    lame_set_num_channels(gf, channels);
    lame_set_mode(gf, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_bWriteVbrTag(gf, options.infoTag ? 1 : 0);
    lame_set_quality(gf, 5);
    if (options.vbr) {
        lame_set_VBR(gf, vbr_default);
        lame_set_VBR_quality(gf, 4);
    } else {
        lame_set_VBR(gf, vbr_off);
        lame_set_brate(gf, options.kbps);
    }
    if (lame_init_params(gf) < 0) {
        lame_close(gf);
        throw std::runtime_error("lame_init_params failed");
    }
    const int frames = static_cast<int>(pcm.size() / static_cast<std::size_t>(channels));
    std::vector<unsigned char> out(static_cast<std::size_t>(frames) * 5 / 4 + 7200 + 16384);
    int n = 0;
    if (channels == 1) {
        n = lame_encode_buffer(gf, pcm.data(), pcm.data(), frames, out.data(), static_cast<int>(out.size()));
    } else {
        n = lame_encode_buffer_interleaved(gf, const_cast<short*>(pcm.data()), frames, out.data(),
                                           static_cast<int>(out.size()));
    }
    if (n < 0) {
        lame_close(gf);
        throw std::runtime_error("lame_encode failed");
    }
    const int m = lame_encode_flush(gf, out.data() + n, static_cast<int>(out.size()) - n);
    std::string mp3(reinterpret_cast<const char*>(out.data()), static_cast<std::size_t>(n + (m > 0 ? m : 0)));
    if (options.infoTag) {
        unsigned char tag[2880];
        const std::size_t size = lame_get_lametag_frame(gf, tag, sizeof tag);
        if (size > 0 && size <= mp3.size()) mp3.replace(0, size, reinterpret_cast<const char*>(tag), size);
    }
    lame_close(gf);
    return mp3;
}

std::string EncodeTone(const ToneParams& tone, const EncodeOptions& options) {
    return EncodeMp3(MakeTone(tone), tone.sampleRate, tone.channels, options);
}

std::string FrameHeaderBytes(int version, int layer, int bitrateIndex, int rateBits, bool padding, bool mono) {
    std::uint32_t h = 0xFFE00000u;
    const std::uint32_t versionBits = version == 1 ? 3u : version == 2 ? 2u : 0u;
    h |= versionBits << 19;
    h |= static_cast<std::uint32_t>(4 - layer) << 17;
    h |= 1u << 16;  // no CRC
    h |= static_cast<std::uint32_t>(bitrateIndex) << 12;
    h |= static_cast<std::uint32_t>(rateBits) << 10;
    h |= (padding ? 1u : 0u) << 9;
    h |= (mono ? 3u : 0u) << 6;
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i) out[static_cast<std::size_t>(i)] = static_cast<char>((h >> (24 - 8 * i)) & 0xFF);
    return out;
}

std::string SilentFrame(int version, int layer, int bitrateIndex, int rateBits, bool mono) {
    std::string frame = FrameHeaderBytes(version, layer, bitrateIndex, rateBits, false, mono);
    FrameHeader h;
    if (!ParseFrameHeader(reinterpret_cast<const std::uint8_t*>(frame.data()), h) || h.size < 4)
        throw std::runtime_error("bad frame parameters");
    frame.resize(static_cast<std::size_t>(h.size), '\0');
    return frame;
}

std::string SilentFrames(int count, int version, int layer, int bitrateIndex, int rateBits, bool mono) {
    std::string out;
    for (int i = 0; i < count; ++i) out += SilentFrame(version, layer, bitrateIndex, rateBits, mono);
    return out;
}

std::string XingFrame(int version, int bitrateIndex, int rateBits, bool mono, std::uint32_t flags, std::uint32_t frames,
                      const std::vector<std::uint8_t>& toc) {
    std::string frame = SilentFrame(version, 3, bitrateIndex, rateBits, mono);
    FrameHeader h;
    ParseFrameHeader(reinterpret_cast<const std::uint8_t*>(frame.data()), h);
    std::string body = "Xing";
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) body.push_back(static_cast<char>((v >> (24 - 8 * i)) & 0xFF));
    };
    put32(flags);
    if (flags & 1) put32(frames);
    if (flags & 2) put32(static_cast<std::uint32_t>(frame.size()) * frames);
    if (flags & 4) {
        for (std::size_t i = 0; i < 100; ++i) body.push_back(static_cast<char>(i < toc.size() ? toc[i] : 0));
    }
    if (flags & 8) put32(57);
    const std::size_t at = 4 + static_cast<std::size_t>(SideInfoSize(h.lsf, h.channels));
    // Fields beyond the frame are cut, as a short frame would cut them.
    for (std::size_t i = 0; i < body.size() && at + i < frame.size(); ++i) frame[at + i] = body[i];
    return frame;
}

std::string Id3v1Tag() {
    std::string tag(128, '\0');
    tag.replace(0, 3, "TAG");
    tag.replace(3, 10, "5551234567");
    return tag;
}

std::string Id3v2Tag(std::size_t bodyBytes, bool falseSync) {
    std::string tag = "ID3";
    tag += '\x03';
    tag += '\0';
    tag += '\0';
    for (int shift = 21; shift >= 0; shift -= 7) tag.push_back(static_cast<char>((bodyBytes >> shift) & 0x7F));
    std::string body(bodyBytes, 'a');
    if (falseSync && bodyBytes > 40) {
        // A valid-looking header whose computed successor is not a header.
        const std::string fake = FrameHeaderBytes(1, 3, 9, 0, false, false);
        body.replace(10, 4, fake);
    }
    return tag + body;
}

std::vector<std::uint8_t> ReferenceDecode(const std::string& path, int* channelsOut, long* rateOut) {
    mpg123_init();
    int error = 0;
    mpg123_handle* mh = mpg123_new(nullptr, &error);
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_param(mh, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
    mpg123_format_none(mh);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i)
        mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    std::vector<std::uint8_t> pcm;
    if (mpg123_open(mh, path.c_str()) != MPG123_OK) {
        mpg123_delete(mh);
        throw std::runtime_error("mpg123_open failed");
    }
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    unsigned char buf[16384];
    for (;;) {
        std::size_t done = 0;
        const int r = mpg123_read(mh, buf, sizeof buf, &done);
        pcm.insert(pcm.end(), buf, buf + done);
        if (r == MPG123_NEW_FORMAT) {
            mpg123_getformat(mh, &rate, &channels, &encoding);
            continue;
        }
        if (r != MPG123_OK) break;
    }
    mpg123_close(mh);
    mpg123_delete(mh);
    if (channelsOut) *channelsOut = channels;
    if (rateOut) *rateOut = rate;
    return pcm;
}

}  // namespace pell::testing
