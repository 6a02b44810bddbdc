#include "ogg_writer.h"

#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

bool write_pages(FILE* out, ogg_stream_state& stream, bool flush) {
    ogg_page page;
    while (flush ? ogg_stream_flush(&stream, &page) : ogg_stream_pageout(&stream, &page)) {
        if (std::fwrite(page.header, 1, page.header_len, out) != std::size_t(page.header_len) ||
            std::fwrite(page.body, 1, page.body_len, out) != std::size_t(page.body_len))
            return false;
    }
    return true;
}

}  // namespace

double written_sample(const OggSpec& spec, long frame, int channel) {
    const double frequency = spec.frequency * (channel == 0 ? 1.0 : 1.5);
    return spec.amplitude * std::sin(2 * M_PI * frequency * double(frame) / double(spec.rate));
}

bool write_ogg(const std::string& path, const OggSpec& spec) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        return false;

    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, spec.channels, spec.rate, 0.3f) != 0) {
        vorbis_info_clear(&info);
        std::fclose(out);
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    for (const std::string& tag : spec.tags)
        vorbis_comment_add(&comment, tag.c_str());

    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 20101107);

    ogg_packet header, header_comment, header_code;
    vorbis_analysis_headerout(&dsp, &comment, &header, &header_comment, &header_code);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &header_comment);
    ogg_stream_packetin(&stream, &header_code);
    bool ok = write_pages(out, stream, true);

    long frame = 0;
    bool ended = false;
    while (ok && !ended) {
        const long chunk = std::min(1024L, spec.frames - frame);
        if (chunk <= 0) {
            vorbis_analysis_wrote(&dsp, 0);
        } else {
            float** buffer = vorbis_analysis_buffer(&dsp, int(chunk));
            for (long i = 0; i < chunk; ++i)
                for (int c = 0; c < spec.channels; ++c)
                    buffer[c][i] = float(written_sample(spec, frame + i, c));
            vorbis_analysis_wrote(&dsp, int(chunk));
            frame += chunk;
        }
        while (ok && vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (ok && vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                ok = write_pages(out, stream, false);
                if (packet.e_o_s)
                    ended = true;
            }
        }
    }
    ok = ok && write_pages(out, stream, true);

    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return std::fclose(out) == 0 && ok;
}

std::vector<Sint16> decode_ogg(const std::string& path) {
    std::vector<Sint16> pcm;
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) < 0)
        return pcm;
    char buffer[4096];
    int section = 0;
    long got;
    while ((got = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &section)) > 0) {
        const Sint16* samples = reinterpret_cast<const Sint16*>(buffer);
        pcm.insert(pcm.end(), samples, samples + got / 2);
    }
    ov_clear(&file);
    return pcm;
}

TempFolder::TempFolder() {
    // tmpfs where there is one: the folder tests create thousands of files.
    char shared[] = "/dev/shm/diskplayer_audio_XXXXXX";
    char plain[] = "/tmp/diskplayer_audio_XXXXXX";
    const char* made = mkdtemp(shared);
    if (made == nullptr)
        made = mkdtemp(plain);
    root = made != nullptr ? made : "";
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    if (!root.empty())
        std::filesystem::remove_all(root, ignored);
}
