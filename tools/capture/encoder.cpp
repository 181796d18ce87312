// encoder.cpp — the video file, through FFmpeg's libraries: the screen
// converted (and scaled) by libswscale, the music resampled by libswresample,
// both encoded by libavcodec and written by libavformat.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}
#include <algorithm>
#include <cstdio>
#include <cstring>
#include "capture.h"
#include "raster.h"

namespace {

bool is_webm(const AVOutputFormat *format)
{
    return std::strcmp(format->name, "webm") == 0;
}

// The codecs a container gets: VP9 and Opus in WebM (the only ones it
// takes), H.264 and AAC elsewhere; RGB H.264 when every pixel must survive.
const char *video_encoder_for(const AVOutputFormat *format, bool lossless)
{
    if (is_webm(format))
        return "libvpx-vp9";
    return lossless ? "libx264rgb" : "libx264";
}

const char *audio_encoder_for(const AVOutputFormat *format)
{
    return is_webm(format) ? "libopus" : "aac";
}

std::string error_text(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

// The screen's 32-bit pixels as FFmpeg names them (0RGB32 is the native-endian
// word 0x00RRGGBB); none for a layout the show never makes.
AVPixelFormat screen_pixel_format()
{
    const SDL_PixelFormat *format = screen->format;
    if (format->BitsPerPixel != 32)
        return AV_PIX_FMT_NONE;
    if (format->Rmask == 0xff0000 && format->Gmask == 0xff00 && format->Bmask == 0xff)
        return AV_PIX_FMT_0RGB32;
    if (format->Rmask == 0xff && format->Gmask == 0xff00 && format->Bmask == 0xff0000)
        return AV_PIX_FMT_0BGR32;
    return AV_PIX_FMT_NONE;
}

// Sends frame (null: the end) to codec and writes every packet it gives back.
bool encode(VideoOutput &output, AVCodecContext *codec, AVStream *stream, AVFrame *frame)
{
    int status = avcodec_send_frame(codec, frame);
    if (status < 0) {
        std::fprintf(stderr, "cannot encode for %s: %s\n", output.path.c_str(), error_text(status).c_str());
        return false;
    }
    for (;;) {
        status = avcodec_receive_packet(codec, output.packet);
        if (status == AVERROR(EAGAIN) || status == AVERROR_EOF)
            return true;
        if (status < 0) {
            std::fprintf(stderr, "cannot encode for %s: %s\n", output.path.c_str(), error_text(status).c_str());
            return false;
        }
        av_packet_rescale_ts(output.packet, codec->time_base, stream->time_base);
        output.packet->stream_index = stream->index;
        status = av_interleaved_write_frame(output.format, output.packet);
        if (status < 0) {
            std::fprintf(stderr, "cannot write %s: %s\n", output.path.c_str(), error_text(status).c_str());
            return false;
        }
    }
}

bool open_video(VideoOutput &output, const OutputSettings &settings)
{
    const char *name = video_encoder_for(output.format->oformat, settings.lossless);
    const AVCodec *codec = avcodec_find_encoder_by_name(name);
    if (!codec) {
        std::fprintf(stderr, "this FFmpeg has no %s encoder\n", name);
        return false;
    }
    output.video_stream = avformat_new_stream(output.format, nullptr);
    output.video = avcodec_alloc_context3(codec);
    if (!output.video_stream || !output.video)
        return false;
    AVCodecContext *video = output.video;
    video->width = settings.width;
    video->height = settings.height;
    video->time_base = AVRational{1, settings.fps};
    video->framerate = AVRational{settings.fps, 1};
    video->gop_size = settings.fps * 2;   // a key frame every 2 s: quick seeking
    video->sample_aspect_ratio = AVRational{1, 1};
    // Standard definition is BT.601 and high definition BT.709, as players assume
    // for untagged video; the tags say it anyway.
    const bool high_definition = settings.height >= 720;
    video->colorspace = high_definition ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
    video->color_primaries = high_definition ? AVCOL_PRI_BT709 : AVCOL_PRI_SMPTE170M;
    video->color_trc = high_definition ? AVCOL_TRC_BT709 : AVCOL_TRC_SMPTE170M;
    video->color_range = AVCOL_RANGE_MPEG;
    if (settings.lossless) {
        video->pix_fmt = AV_PIX_FMT_BGR0;
        video->colorspace = AVCOL_SPC_RGB;
        video->color_range = AVCOL_RANGE_JPEG;
        av_opt_set(video->priv_data, "preset", "ultrafast", 0);
        av_opt_set(video->priv_data, "qp", "0", 0);
    } else if (is_webm(output.format->oformat)) {
        video->pix_fmt = AV_PIX_FMT_YUV420P;
        video->bit_rate = 0;   // constant quality
        av_opt_set(video->priv_data, "crf", "24", 0);
        av_opt_set(video->priv_data, "deadline", "good", 0);
        av_opt_set(video->priv_data, "cpu-used", "5", 0);
        av_opt_set(video->priv_data, "row-mt", "1", 0);
    } else {
        video->pix_fmt = AV_PIX_FMT_YUV420P;
        av_opt_set(video->priv_data, "preset", "veryfast", 0);
        av_opt_set(video->priv_data, "crf", "16", 0);
        av_opt_set(video->priv_data, "profile", "high", 0);
    }
    // The encoder's own threads, as many as FFmpeg finds the machine can use:
    // encoding is most of a capture's work.
    video->thread_count = 0;
    if (output.format->oformat->flags & AVFMT_GLOBALHEADER)
        video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int status = avcodec_open2(video, codec, nullptr);
    if (status < 0) {
        std::fprintf(stderr, "cannot start the %s encoder: %s\n", name, error_text(status).c_str());
        return false;
    }
    if (avcodec_parameters_from_context(output.video_stream->codecpar, video) < 0)
        return false;
    output.video_stream->time_base = video->time_base;
    output.video_stream->avg_frame_rate = video->framerate;

    const AVPixelFormat source = screen_pixel_format();
    if (source == AV_PIX_FMT_NONE) {
        std::fprintf(stderr, "the screen's pixel layout is not one the capture knows\n");
        return false;
    }
    // Lanczos for a scaled picture; full-precision rounding and chroma so
    // that an unscaled one stays as close to the screen as 4:2:0 allows.
    const int flags = (settings.width == screen->w && settings.height == screen->h ? SWS_BICUBIC : SWS_LANCZOS) |
                      SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP;
    output.scaler = sws_getContext(screen->w, screen->h, source, settings.width, settings.height,
                                   video->pix_fmt, flags, nullptr, nullptr, nullptr);
    if (!output.scaler) {
        std::fprintf(stderr, "cannot convert the screen to %dx%d\n", settings.width, settings.height);
        return false;
    }
    if (!settings.lossless) {
        const int *coefficients = sws_getCoefficients(high_definition ? SWS_CS_ITU709 : SWS_CS_ITU601);
        const int *identity = sws_getCoefficients(SWS_CS_DEFAULT);
        sws_setColorspaceDetails(output.scaler, identity, 1, coefficients, 0, 0, 1 << 16, 1 << 16);
    }
    return true;
}

bool open_audio(VideoOutput &output, const OutputSettings &settings)
{
    const char *name = audio_encoder_for(output.format->oformat);
    const AVCodec *codec = avcodec_find_encoder_by_name(name);
    if (!codec) {
        std::fprintf(stderr, "this FFmpeg has no %s encoder\n", name);
        return false;
    }
    output.audio_stream = avformat_new_stream(output.format, nullptr);
    output.audio = avcodec_alloc_context3(codec);
    if (!output.audio_stream || !output.audio)
        return false;
    AVCodecContext *audio = output.audio;
    audio->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    // The music's own rate where the encoder takes it (Opus takes only 48 kHz and a few below).
    audio->sample_rate = 48000;
    for (const int *rate = codec->supported_samplerates; rate && *rate; rate++)
        if (*rate == settings.music_rate)
            audio->sample_rate = settings.music_rate;
    if (!codec->supported_samplerates)
        audio->sample_rate = settings.music_rate;
    av_channel_layout_default(&audio->ch_layout, 2);
    audio->bit_rate = 320000;
    audio->time_base = AVRational{1, audio->sample_rate};
    if (output.format->oformat->flags & AVFMT_GLOBALHEADER)
        audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int status = avcodec_open2(audio, codec, nullptr);
    if (status < 0) {
        std::fprintf(stderr, "cannot start the %s encoder: %s\n", name, error_text(status).c_str());
        return false;
    }
    if (avcodec_parameters_from_context(output.audio_stream->codecpar, audio) < 0)
        return false;
    output.audio_stream->time_base = audio->time_base;

    AVChannelLayout source_layout;
    av_channel_layout_default(&source_layout, settings.music_channels);
    status = swr_alloc_set_opts2(&output.resampler, &audio->ch_layout, audio->sample_fmt, audio->sample_rate,
                                 &source_layout, AV_SAMPLE_FMT_S16, settings.music_rate, 0, nullptr);
    av_channel_layout_uninit(&source_layout);
    if (status < 0 || swr_init(output.resampler) < 0) {
        std::fprintf(stderr, "cannot resample the music for %s\n", name);
        return false;
    }
    // Room for one block of music after resampling, allocated once.
    output.converted_capacity = (int)av_rescale_rnd(MUSIC_BLOCK_SAMPLES, audio->sample_rate, settings.music_rate,
                                                    AV_ROUND_UP) + 256;
    if (av_samples_alloc_array_and_samples(&output.converted, nullptr, 2, output.converted_capacity,
                                           audio->sample_fmt, 0) < 0)
        return false;
    output.fifo = av_audio_fifo_alloc(audio->sample_fmt, 2, output.converted_capacity * 2);
    const int frame_size = audio->frame_size > 0 ? audio->frame_size : 1024;
    output.sound = av_frame_alloc();
    if (!output.fifo || !output.sound)
        return false;
    output.sound->format = audio->sample_fmt;
    output.sound->sample_rate = audio->sample_rate;
    output.sound->nb_samples = frame_size;
    if (av_channel_layout_copy(&output.sound->ch_layout, &audio->ch_layout) < 0)
        return false;
    return av_frame_get_buffer(output.sound, 0) >= 0;
}

// Encodes audio frames from the fifo while it holds at least `least`
// samples (a whole frame), or everything with least 1 at the end.
bool encode_fifo(VideoOutput &output, int least)
{
    const int frame_size = output.audio->frame_size > 0 ? output.audio->frame_size : 1024;
    const bool small_last = (output.audio->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) != 0 ||
                            output.audio->frame_size == 0;
    while (av_audio_fifo_size(output.fifo) >= least && av_audio_fifo_size(output.fifo) > 0) {
        if (av_frame_make_writable(output.sound) < 0)
            return false;
        const int count = std::min(frame_size, av_audio_fifo_size(output.fifo));
        output.sound->nb_samples = small_last ? count : frame_size;
        if (count < frame_size)   // the last, short frame of an encoder that takes none: silence after it
            av_samples_set_silence(output.sound->data, 0, frame_size, 2, output.audio->sample_fmt);
        if (av_audio_fifo_read(output.fifo, reinterpret_cast<void **>(output.sound->data), count) != count)
            return false;
        output.sound->pts = output.audio_samples;
        output.audio_samples += count;
        if (!encode(output, output.audio, output.audio_stream, output.sound))
            return false;
    }
    output.sound->nb_samples = frame_size;
    return true;
}

void free_codecs(VideoOutput &output)
{
    avcodec_free_context(&output.video);
    avcodec_free_context(&output.audio);
    sws_freeContext(output.scaler);
    output.scaler = nullptr;
    swr_free(&output.resampler);
    av_frame_free(&output.sound);
    if (output.fifo)
        av_audio_fifo_free(output.fifo);
    output.fifo = nullptr;
    if (output.converted)
        av_freep(&output.converted[0]);
    av_freep(&output.converted);
    av_packet_free(&output.packet);
}

}  // namespace

const char *container_of(const std::string &path, std::string &codecs, bool lossless)
{
    const AVOutputFormat *format = av_guess_format(nullptr, path.c_str(), nullptr);
    if (!format)
        return nullptr;
    const bool video_fits = avformat_query_codec(format, is_webm(format) ? AV_CODEC_ID_VP9 : AV_CODEC_ID_H264,
                                                 FF_COMPLIANCE_NORMAL) == 1;
    const bool audio_fits = avformat_query_codec(format, is_webm(format) ? AV_CODEC_ID_OPUS : AV_CODEC_ID_AAC,
                                                 FF_COMPLIANCE_NORMAL) == 1;
    if (!video_fits || !audio_fits || (lossless && is_webm(format)))
        return nullptr;
    codecs = std::string(video_encoder_for(format, lossless)) + " and " + audio_encoder_for(format);
    return format->name;
}

bool output_open(VideoOutput &output, const OutputSettings &settings)
{
    output = VideoOutput{};
    output.path = settings.path;
    av_log_set_level(AV_LOG_ERROR);
    if (avformat_alloc_output_context2(&output.format, nullptr, nullptr, settings.path.c_str()) < 0) {
        std::fprintf(stderr, "no video format for %s\n", settings.path.c_str());
        return false;
    }
    output.packet = av_packet_alloc();
    if (!output.packet || !open_video(output, settings) || !open_audio(output, settings)) {
        output_abandon(output);
        return false;
    }
    int status = avio_open(&output.format->pb, settings.path.c_str(), AVIO_FLAG_WRITE);
    if (status < 0) {
        std::fprintf(stderr, "cannot write %s: %s\n", settings.path.c_str(), error_text(status).c_str());
        output_abandon(output);
        return false;
    }
    output.file_open = true;
    AVDictionary *options = nullptr;
    // The index at the front, so that a player can start before the whole file arrives.
    if (!std::strcmp(output.format->oformat->name, "mp4") || !std::strcmp(output.format->oformat->name, "mov"))
        av_dict_set(&options, "movflags", "+faststart", 0);
    status = avformat_write_header(output.format, &options);
    av_dict_free(&options);
    if (status < 0) {
        std::fprintf(stderr, "cannot write %s: %s\n", settings.path.c_str(), error_text(status).c_str());
        output_abandon(output);
        return false;
    }
    return true;
}

AVFrame *output_new_picture(const VideoOutput &output)
{
    AVFrame *picture = av_frame_alloc();
    if (!picture)
        return nullptr;
    picture->format = output.video->pix_fmt;
    picture->width = output.video->width;
    picture->height = output.video->height;
    if (av_frame_get_buffer(picture, 0) < 0)
        av_frame_free(&picture);
    return picture;
}

bool output_convert_screen(VideoOutput &output, AVFrame *picture)
{
    // Should an encoder still hold the picture, it gets a fresh buffer (the
    // encoders used here copy what they are sent, so this stays a check).
    if (av_frame_make_writable(picture) < 0)
        return false;
    if (SDL_MUSTLOCK(screen) && SDL_LockSurface(screen) != 0)
        return false;
    const uint8_t *rows[1] = {static_cast<const uint8_t *>(screen->pixels)};
    const int pitch[1] = {screen->pitch};   // rows step by the pitch, not the width
    sws_scale(output.scaler, rows, pitch, 0, screen->h, picture->data, picture->linesize);
    if (SDL_MUSTLOCK(screen))
        SDL_UnlockSurface(screen);
    return true;
}

bool output_video_frame(VideoOutput &output, AVFrame *picture)
{
    picture->pts = output.video_frames++;
    return encode(output, output.video, output.video_stream, picture);
}

bool output_audio(VideoOutput &output, const int16_t *samples, int frames)
{
    if (frames <= 0)
        return true;
    const uint8_t *in[1] = {reinterpret_cast<const uint8_t *>(samples)};
    const int converted = swr_convert(output.resampler, output.converted, output.converted_capacity, in, frames);
    if (converted < 0 || av_audio_fifo_write(output.fifo, reinterpret_cast<void **>(output.converted), converted) !=
                             converted)
        return false;
    const int frame_size = output.audio->frame_size > 0 ? output.audio->frame_size : 1024;
    return encode_fifo(output, frame_size);
}

bool output_finish(VideoOutput &output, long long length_numerator, long long length_denominator)
{
    // What the resampler still holds, then exactly the sound's length: the
    // resampler's delay can leave a few samples too many or too few.
    int converted = 0;
    do {
        converted = swr_convert(output.resampler, output.converted, output.converted_capacity, nullptr, 0);
        if (converted > 0 &&
            av_audio_fifo_write(output.fifo, reinterpret_cast<void **>(output.converted), converted) != converted)
            return false;
    } while (converted > 0);
    const long long wanted = length_numerator * output.audio->sample_rate / length_denominator;
    const long long have = output.audio_samples + av_audio_fifo_size(output.fifo);
    if (have > wanted) {
        av_audio_fifo_drain(output.fifo, (int)std::min<long long>(have - wanted, av_audio_fifo_size(output.fifo)));
    } else if (have < wanted) {
        av_samples_set_silence(output.converted, 0, output.converted_capacity, 2, output.audio->sample_fmt);
        for (long long missing = wanted - have; missing > 0;) {
            const int count = (int)std::min<long long>(missing, output.converted_capacity);
            av_audio_fifo_write(output.fifo, reinterpret_cast<void **>(output.converted), count);
            missing -= count;
        }
    }
    const bool encoded = encode_fifo(output, 1) && encode(output, output.audio, output.audio_stream, nullptr) &&
                         encode(output, output.video, output.video_stream, nullptr);
    int status = encoded ? av_write_trailer(output.format) : -1;
    if (encoded && status < 0)
        std::fprintf(stderr, "cannot finish %s: %s\n", output.path.c_str(), error_text(status).c_str());
    status = status < 0 ? status : avio_closep(&output.format->pb);
    if (status < 0) {
        output_abandon(output);
        return false;
    }
    output.file_open = false;
    free_codecs(output);
    avformat_free_context(output.format);
    output.format = nullptr;
    return true;
}

void output_abandon(VideoOutput &output)
{
    if (output.format && output.file_open)
        avio_closep(&output.format->pb);
    if (output.file_open)
        std::remove(output.path.c_str());
    output.file_open = false;
    free_codecs(output);
    avformat_free_context(output.format);
    output.format = nullptr;
}
