#include "tools/music/ogg.h"

#include <cstdio>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

namespace music {

namespace {

constexpr int stream_serial = 0x4e797841;  // any fixed number; a random one changes the bytes
constexpr int chunk_frames = 1024;

bool write_pages(ogg_stream_state& stream, FILE* file, bool flush)
{
    ogg_page page;
    while (flush ? ogg_stream_flush(&stream, &page) : ogg_stream_pageout(&stream, &page)) {
        if (fwrite(page.header, 1, page.header_len, file) != static_cast<size_t>(page.header_len)) return false;
        if (fwrite(page.body, 1, page.body_len, file) != static_cast<size_t>(page.body_len)) return false;
    }
    return true;
}

// Moves whatever the analysis has finished into pages on the file.
bool drain(vorbis_dsp_state& dsp, vorbis_block& block, ogg_stream_state& stream, FILE* file)
{
    ogg_packet packet;
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
        vorbis_analysis(&block, nullptr);
        vorbis_bitrate_addblock(&block);
        while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
            ogg_stream_packetin(&stream, &packet);
            if (!write_pages(stream, file, false)) return false;
        }
    }
    return true;
}

}  // namespace

bool write_ogg(const std::string& path, const StereoBuffer& mix, const Tags& tags, float quality)
{
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, 2, sample_rate, quality) != 0) {
        fprintf(stderr, "make_music: the encoder refuses quality %.2f\n", quality);
        vorbis_info_clear(&info);
        return false;
    }
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) {
        fprintf(stderr, "make_music: cannot write %s\n", path.c_str());
        vorbis_info_clear(&info);
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    for (const auto& [key, value] : tags) vorbis_comment_add_tag(&comment, key.c_str(), value.c_str());
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, stream_serial);

    ogg_packet identification, comments, codebooks;
    vorbis_analysis_headerout(&dsp, &comment, &identification, &comments, &codebooks);
    ogg_stream_packetin(&stream, &identification);
    ogg_stream_packetin(&stream, &comments);
    ogg_stream_packetin(&stream, &codebooks);
    // The audio starts on a fresh page, as decoders expect.
    bool ok = write_pages(stream, file, true);

    for (size_t done = 0; ok && done < mix.frames(); done += chunk_frames) {
        const int count = static_cast<int>(std::min<size_t>(chunk_frames, mix.frames() - done));
        float** buffer = vorbis_analysis_buffer(&dsp, count);
        std::copy(mix.left.begin() + done, mix.left.begin() + done + count, buffer[0]);
        std::copy(mix.right.begin() + done, mix.right.begin() + done + count, buffer[1]);
        vorbis_analysis_wrote(&dsp, count);
        ok = drain(dsp, block, stream, file);
    }
    if (ok) {
        vorbis_analysis_wrote(&dsp, 0);  // end of stream
        ok = drain(dsp, block, stream, file) && write_pages(stream, file, true);
    }

    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    if (fclose(file) != 0) ok = false;
    if (!ok) {
        fprintf(stderr, "make_music: writing %s failed\n", path.c_str());
        std::remove(path.c_str());
    }
    return ok;
}

float decoded_peak_db(const std::string& path)
{
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) < 0) return -200.0f;
    float peak = 0.0f;
    float** channels = nullptr;
    int bitstream = 0;
    for (;;) {
        const long frames = ov_read_float(&file, &channels, 4096, &bitstream);
        if (frames <= 0) break;
        const int count = ov_info(&file, -1)->channels;
        for (int c = 0; c < count; ++c)
            for (long i = 0; i < frames; ++i) peak = std::max(peak, std::fabs(channels[c][i]));
    }
    ov_clear(&file);
    return gain_to_db(peak);
}

}  // namespace music
