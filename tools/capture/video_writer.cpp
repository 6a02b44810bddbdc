#include "tools/capture/video_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

#include <sys/stat.h>

namespace {

constexpr int frames_per_second = 30;
constexpr int source_rate = 44100;
constexpr int channels = 2;

// One kind of file: container, codecs and the options that make each one
// fast enough and good enough for its use.
struct Kind {
    const char* extension;
    const char* container;
    const char* video_codec;
    AVPixelFormat pixel_format;
    const char* video_options;
    const char* audio_codec;
    int audio_rate;
    long audio_bit_rate;  // 0: lossless
    const char* container_options;
};

// FFV1 in version 3 codes each picture in slices, one per encoder thread at
// a time, with its range coder (a third smaller than the default Golomb
// coder for a fifth more time); bgr0 is the canvas' own byte order, so the
// pictures go in as they are. x264 at its default speed with a quality that
// keeps the pixel art's edges; the moov atom at the front lets a browser
// start playing before the whole file has arrived. VP9 in constant quality
// at libvpx's real-time speed: on these pictures it comes within 0.2 dB of
// the "good" deadline for eight times less time and a quarter more bytes,
// where "good" would record a disk slower than it plays. Opus only takes 48 kHz.
const Kind kinds_table[] = {
    {".mkv", "matroska", "ffv1", AV_PIX_FMT_BGR0, "level=3:slices=4:slicecrc=1:coder=range_def", "flac", 44100, 0, ""},
    {".mp4", "mp4", "libx264", AV_PIX_FMT_YUV420P, "preset=medium:crf=18", "aac", 44100, 192000,
     "movflags=+faststart"},
    {".webm", "webm", "libvpx-vp9", AV_PIX_FMT_YUV420P,
     "crf=30:b=0:deadline=realtime:cpu-used=8:row-mt=1:tile-columns=1", "libopus", 48000, 128000, ""},
};

const Kind* kind_of(const std::string& path) {
    for (const Kind& kind : kinds_table) {
        const std::size_t n = std::strlen(kind.extension);
        if (path.size() <= n) continue;
        std::string tail = path.substr(path.size() - n);
        for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (tail == kind.extension) return &kind;
    }
    return nullptr;
}

std::string av_error(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// "a=1:b=2" into a dictionary for avcodec_open2 / avformat_write_header.
AVDictionary* options_of(const char* text) {
    AVDictionary* options = nullptr;
    if (text && *text) av_dict_parse_string(&options, text, "=", ":", 0);
    return options;
}

}  // namespace

struct VideoWriter::Encoders {
    const Kind* kind = nullptr;
    std::string path, temporary;
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    AVStream* video_stream = nullptr;
    AVStream* audio_stream = nullptr;
    SwsContext* to_yuv = nullptr;
    SwrContext* resampler = nullptr;  // null when the encoder takes the sound as it comes
    AVAudioFifo* fifo = nullptr;
    AVFrame* picture = nullptr;
    AVFrame* sound = nullptr;
    AVPacket* packet = nullptr;
    std::vector<uint8_t*> converted;  // the resampler's output planes
    int converted_capacity = 0;
    int64_t pictures_sent = 0;
    int64_t samples_sent = 0;
    bool file_open = false;
    bool finished = false;
    long long final_bytes = 0;

    ~Encoders() {
        if (file_open) avio_closep(&format->pb);
        if (!temporary.empty() && !finished) std::remove(temporary.c_str());
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        avformat_free_context(format);
        sws_freeContext(to_yuv);
        swr_free(&resampler);
        if (fifo) av_audio_fifo_free(fifo);
        av_frame_free(&picture);
        av_frame_free(&sound);
        av_packet_free(&packet);
        if (!converted.empty()) av_freep(&converted[0]);
    }

    bool fail(std::string& error, const std::string& what, int code) {
        error = "cannot write " + path;
        if (!what.empty()) error += ": " + what;
        if (code < 0) error += ": " + av_error(code);
        return false;
    }

    bool open_video(int width, int height, std::string& error) {
        const AVCodec* codec = avcodec_find_encoder_by_name(kind->video_codec);
        if (!codec) return fail(error, std::string("this ffmpeg has no ") + kind->video_codec + " encoder", 0);
        video = avcodec_alloc_context3(codec);
        video->width = width;
        video->height = height;
        video->pix_fmt = kind->pixel_format;
        video->time_base = AVRational{1, frames_per_second};
        video->framerate = AVRational{frames_per_second, 1};
        video->thread_count = 0;  // as many as the machine has cores
        if (kind->pixel_format == AV_PIX_FMT_BGR0) {
            video->colorspace = AVCOL_SPC_RGB;
        } else {
            // Converted with BT.709's matrix into the limited range, and
            // labelled so, or players guess the colours.
            video->colorspace = AVCOL_SPC_BT709;
            video->color_primaries = AVCOL_PRI_BT709;
            video->color_trc = AVCOL_TRC_BT709;
            video->color_range = AVCOL_RANGE_MPEG;
        }
        if (format->oformat->flags & AVFMT_GLOBALHEADER) video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        AVDictionary* options = options_of(kind->video_options);
        int result = avcodec_open2(video, codec, &options);
        av_dict_free(&options);
        if (result < 0) return fail(error, std::string("cannot open the ") + kind->video_codec + " encoder", result);
        video_stream = avformat_new_stream(format, nullptr);
        avcodec_parameters_from_context(video_stream->codecpar, video);
        video_stream->time_base = video->time_base;
        video_stream->avg_frame_rate = video->framerate;
        video_stream->r_frame_rate = video->framerate;

        picture = av_frame_alloc();
        picture->format = video->pix_fmt;
        picture->width = width;
        picture->height = height;
        if ((result = av_frame_get_buffer(picture, 0)) < 0) return fail(error, "out of memory", result);
        if (kind->pixel_format != AV_PIX_FMT_BGR0) {
            to_yuv = sws_getContext(width, height, AV_PIX_FMT_BGR0, width, height, kind->pixel_format,
                                    SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
            if (!to_yuv) return fail(error, "no colour conversion", 0);
            sws_setColorspaceDetails(to_yuv, sws_getCoefficients(SWS_CS_DEFAULT), 1,
                                     sws_getCoefficients(SWS_CS_ITU709), 0, 0, 1 << 16, 1 << 16);
        }
        return true;
    }

    bool open_audio(std::string& error) {
        const AVCodec* codec = avcodec_find_encoder_by_name(kind->audio_codec);
        if (!codec) return fail(error, std::string("this ffmpeg has no ") + kind->audio_codec + " encoder", 0);
        audio = avcodec_alloc_context3(codec);
        audio->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
        audio->sample_rate = kind->audio_rate;
        av_channel_layout_default(&audio->ch_layout, channels);
        audio->time_base = AVRational{1, kind->audio_rate};
        if (kind->audio_bit_rate) audio->bit_rate = kind->audio_bit_rate;
        if (format->oformat->flags & AVFMT_GLOBALHEADER) audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        int result = avcodec_open2(audio, codec, nullptr);
        if (result < 0) return fail(error, std::string("cannot open the ") + kind->audio_codec + " encoder", result);
        audio_stream = avformat_new_stream(format, nullptr);
        avcodec_parameters_from_context(audio_stream->codecpar, audio);
        audio_stream->time_base = audio->time_base;

        if (audio->sample_fmt != AV_SAMPLE_FMT_S16 || audio->sample_rate != source_rate) {
            AVChannelLayout stereo;
            av_channel_layout_default(&stereo, channels);
            result = swr_alloc_set_opts2(&resampler, &audio->ch_layout, audio->sample_fmt, audio->sample_rate,
                                         &stereo, AV_SAMPLE_FMT_S16, source_rate, 0, nullptr);
            if (result < 0 || (result = swr_init(resampler)) < 0) return fail(error, "no resampler", result);
        }
        fifo = av_audio_fifo_alloc(audio->sample_fmt, channels, 4096);
        sound = av_frame_alloc();
        packet = av_packet_alloc();
        return fifo && sound && packet ? true : fail(error, "out of memory", 0);
    }

    // Hands every packet the encoder has ready to the muxer.
    bool drain(AVCodecContext* encoder, AVStream* stream, std::string& error) {
        for (;;) {
            int result = avcodec_receive_packet(encoder, packet);
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
            if (result < 0) return fail(error, "encoding failed", result);
            av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            result = av_interleaved_write_frame(format, packet);
            if (result < 0) return fail(error, "writing failed", result);
        }
    }

    bool send(AVCodecContext* encoder, AVStream* stream, AVFrame* frame, std::string& error) {
        int result = avcodec_send_frame(encoder, frame);
        if (result < 0) return fail(error, "encoding failed", result);
        return drain(encoder, stream, error);
    }

    // Encodes whole encoder frames from the queue; at the end also the
    // rest, padded with silence for an encoder that wants whole frames.
    bool encode_queued(bool at_end, std::string& error) {
        const int size = audio->frame_size > 0 ? audio->frame_size : 4096;
        const bool short_last = (audio->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) != 0 ||
                                audio->frame_size == 0;
        while (av_audio_fifo_size(fifo) >= size || (at_end && av_audio_fifo_size(fifo) > 0)) {
            const int available = std::min(size, av_audio_fifo_size(fifo));
            av_frame_unref(sound);
            sound->nb_samples = short_last ? available : size;
            sound->format = audio->sample_fmt;
            sound->sample_rate = audio->sample_rate;
            av_channel_layout_copy(&sound->ch_layout, &audio->ch_layout);
            int result = av_frame_get_buffer(sound, 0);
            if (result < 0) return fail(error, "out of memory", result);
            if (sound->nb_samples > available)
                av_samples_set_silence(sound->data, available, sound->nb_samples - available, channels,
                                       audio->sample_fmt);
            av_audio_fifo_read(fifo, reinterpret_cast<void**>(sound->data), available);
            sound->pts = samples_sent;
            samples_sent += sound->nb_samples;
            if (!send(audio, audio_stream, sound, error)) return false;
        }
        return true;
    }

    // Queues sound in the encoder's format and rate; null samples flush the resampler.
    bool queue(const Sint16* samples, int frames, std::string& error) {
        if (!resampler) {
            void* planes[1] = {const_cast<Sint16*>(samples)};
            if (frames > 0 && av_audio_fifo_write(fifo, planes, frames) < frames)
                return fail(error, "out of memory", 0);
            return true;
        }
        const int most = swr_get_out_samples(resampler, frames);
        if (most > converted_capacity) {
            if (!converted.empty()) av_freep(&converted[0]);
            converted.assign(channels, nullptr);
            int result = av_samples_alloc(converted.data(), nullptr, channels, most, audio->sample_fmt, 0);
            if (result < 0) return fail(error, "out of memory", result);
            converted_capacity = most;
        }
        const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(samples)};
        const int got = swr_convert(resampler, converted.data(), most, samples ? in : nullptr, frames);
        if (got < 0) return fail(error, "resampling failed", got);
        if (got > 0 && av_audio_fifo_write(fifo, reinterpret_cast<void**>(converted.data()), got) < got)
            return fail(error, "out of memory", 0);
        return true;
    }
};

VideoWriter::VideoWriter() = default;
VideoWriter::~VideoWriter() = default;

bool VideoWriter::known_kind(const std::string& path) {
    return kind_of(path) != nullptr;
}

bool VideoWriter::open(const std::string& path, int width, int height, std::string& error) {
    encoders = std::make_unique<Encoders>();
    Encoders& e = *encoders;
    e.path = path;
    e.kind = kind_of(path);
    if (!e.kind) {
        error = path + ": unknown kind of video (use " + kinds() + ")";
        return false;
    }
    // Next to the file: the rename at the end stays on one file system.
    e.temporary = path + ".part";
    av_log_set_level(AV_LOG_ERROR);
    int result = avformat_alloc_output_context2(&e.format, nullptr, e.kind->container, e.temporary.c_str());
    if (result < 0) return e.fail(error, "no muxer", result);
    if (!e.open_video(width, height, error) || !e.open_audio(error)) return false;
    result = avio_open(&e.format->pb, e.temporary.c_str(), AVIO_FLAG_WRITE);
    if (result < 0) {
        e.temporary.clear();  // nothing was created
        return e.fail(error, "", result);
    }
    e.file_open = true;
    AVDictionary* options = options_of(e.kind->container_options);
    result = avformat_write_header(e.format, &options);
    av_dict_free(&options);
    if (result < 0) return e.fail(error, "cannot start the file", result);
    return true;
}

bool VideoWriter::write_picture(const SDL_Surface* picture, std::string& error) {
    Encoders& e = *encoders;
    int result = av_frame_make_writable(e.picture);
    if (result < 0) return e.fail(error, "out of memory", result);
    if (e.to_yuv) {
        const uint8_t* planes[1] = {static_cast<const uint8_t*>(picture->pixels)};
        const int pitches[1] = {picture->pitch};
        sws_scale(e.to_yuv, planes, pitches, 0, picture->h, e.picture->data, e.picture->linesize);
    } else {
        for (int y = 0; y < picture->h; ++y)
            std::memcpy(e.picture->data[0] + static_cast<std::ptrdiff_t>(y) * e.picture->linesize[0],
                        static_cast<const Uint8*>(picture->pixels) + static_cast<std::ptrdiff_t>(y) * picture->pitch,
                        static_cast<std::size_t>(picture->w) * 4);
    }
    e.picture->pts = e.pictures_sent++;
    return e.send(e.video, e.video_stream, e.picture, error);
}

bool VideoWriter::write_sound(const Sint16* samples, int frames, std::string& error) {
    Encoders& e = *encoders;
    return e.queue(samples, frames, error) && e.encode_queued(false, error);
}

bool VideoWriter::finish(const std::atomic<bool>& stop, std::string& error) {
    Encoders& e = *encoders;
    if (e.resampler && !e.queue(nullptr, 0, error)) return false;
    if (!e.encode_queued(true, error) || !e.send(e.audio, e.audio_stream, nullptr, error) ||
        !e.send(e.video, e.video_stream, nullptr, error))
        return false;
    int result = av_write_trailer(e.format);
    if (result < 0) return e.fail(error, "cannot end the file", result);
    e.file_open = false;
    if ((result = avio_closep(&e.format->pb)) < 0) return e.fail(error, "cannot close the file", result);
    struct stat written {};
    if (stat(e.temporary.c_str(), &written) == 0) e.final_bytes = written.st_size;
    if (stop.load()) {
        std::remove(e.temporary.c_str());
        error = "interrupted; nothing written";
        return false;
    }
    if (std::rename(e.temporary.c_str(), e.path.c_str()) != 0)
        return e.fail(error, std::string("cannot rename ") + e.temporary + ": " + std::strerror(errno), 0);
    e.finished = true;
    return true;
}

void VideoWriter::abandon() {
    encoders.reset();
}

long long VideoWriter::bytes_written() const {
    if (!encoders) return 0;
    if (encoders->finished || !encoders->format || !encoders->format->pb) return encoders->final_bytes;
    return avio_tell(encoders->format->pb);
}
