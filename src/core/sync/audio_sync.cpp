#include "sync/audio_sync.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <memory>

#include "platform/ffmpeg_handles.h"
#include "platform/translation.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace kivra {
namespace {

struct SwrDeleter {
    void operator()(SwrContext* swr) const { swr_free(&swr); }
};
using SwrPtr = std::unique_ptr<SwrContext, SwrDeleter>;

constexpr std::chrono::seconds kReadingTime{120};

// What the demuxer asks between reads; ends the read once the time is up.
struct Deadline {
    std::chrono::steady_clock::time_point end;
    static int Passed(void* self) {
        return std::chrono::steady_clock::now() > static_cast<Deadline*>(self)->end ? 1 : 0;
    }
};

double StartSeconds(const AVStream* stream) {
    return stream->start_time == AV_NOPTS_VALUE
               ? 0.0
               : double(stream->start_time) * av_q2d(stream->time_base);
}

// Decodes the stream's packets into audio.samples until the bound; false when the decoder
// or the resampler cannot be set up.
class MonoDecoder {
public:
    MonoDecoder(AVFormatContext& format, int stream, int rate, size_t maxSamples)
        : format_(format), stream_(stream), rate_(rate), maxSamples_(maxSamples) {}

    bool Open() {
        const AVCodecParameters* par = format_.streams[stream_]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(par->codec_id);
        if (codec == nullptr) {
            return false;
        }
        codec_.reset(avcodec_alloc_context3(codec));
        return codec_ && avcodec_parameters_to_context(codec_.get(), par) >= 0 &&
               avcodec_open2(codec_.get(), codec, nullptr) >= 0;
    }

    bool Run(std::vector<float>& samples) {
        const AvPacketPtr packet(av_packet_alloc());
        const AvFramePtr frame(av_frame_alloc());
        if (!packet || !frame) {
            return false;
        }
        while (samples.size() < maxSamples_ && av_read_frame(&format_, packet.get()) >= 0) {
            const bool ours = packet->stream_index == stream_;
            // A damaged packet loses its samples only; the rest still lines up by time.
            const bool sent = ours && avcodec_send_packet(codec_.get(), packet.get()) >= 0;
            av_packet_unref(packet.get());
            if (sent && !Drain(*frame, samples)) {
                return false;
            }
        }
        avcodec_send_packet(codec_.get(), nullptr);
        if (!Drain(*frame, samples)) {
            return false;
        }
        if (swr_) {
            Convert(nullptr, 0, samples);
        }
        samples.resize(std::min(samples.size(), maxSamples_));
        return true;
    }

private:
    bool Drain(AVFrame& frame, std::vector<float>& samples) {
        while (avcodec_receive_frame(codec_.get(), &frame) >= 0) {
            if (!swr_ && !OpenResampler(frame)) {
                av_frame_unref(&frame);
                return false;
            }
            // The resampler reads as many planes as it was made for: a frame of another
            // shape midway is left out rather than read past its end.
            if (frame.ch_layout.nb_channels != channels_ || frame.format != sampleFormat_ ||
                frame.sample_rate != sampleRate_) {
                av_frame_unref(&frame);
                continue;
            }
            Convert(const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples, samples);
            av_frame_unref(&frame);
        }
        return true;
    }

    bool OpenResampler(const AVFrame& frame) {
        if (frame.ch_layout.nb_channels <= 0 || frame.sample_rate <= 0) {
            return false;
        }
        AVChannelLayout in{};
        if (frame.ch_layout.order != AV_CHANNEL_ORDER_UNSPEC) {
            av_channel_layout_copy(&in, &frame.ch_layout);
        } else {
            av_channel_layout_default(&in, frame.ch_layout.nb_channels);
        }
        AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
        SwrContext* swr = nullptr;
        const int made =
            swr_alloc_set_opts2(&swr, &mono, AV_SAMPLE_FMT_FLT, rate_, &in,
                                AVSampleFormat(frame.format), frame.sample_rate, 0, nullptr);
        av_channel_layout_uninit(&in);
        swr_.reset(swr);
        channels_ = frame.ch_layout.nb_channels;
        sampleFormat_ = frame.format;
        sampleRate_ = frame.sample_rate;
        return made >= 0 && swr_init(swr_.get()) >= 0;
    }

    void Convert(const uint8_t** in, int count, std::vector<float>& samples) {
        const int room = swr_get_out_samples(swr_.get(), count);
        if (room <= 0 || samples.size() >= maxSamples_) {
            return;
        }
        const size_t old = samples.size();
        samples.resize(old + size_t(room));
        auto* out = reinterpret_cast<uint8_t*>(samples.data() + old);
        const int made = swr_convert(swr_.get(), &out, room, in, count);
        samples.resize(old + size_t(std::max(made, 0)));
    }

    AVFormatContext& format_;
    const int stream_;
    const int rate_;
    const size_t maxSamples_;
    AvCodecContextPtr codec_;
    SwrPtr swr_;
    int channels_ = 0;  // the frames the resampler was made for
    int sampleFormat_ = 0;
    int sampleRate_ = 0;
};

// In place, radix 2; the length is a power of two. FFmpeg's own real transform of this
// release falls back to a direct sum at these lengths, which took minutes for a minute of sound.
void Transform(std::vector<std::complex<double>>& data, bool inverse) {
    const size_t n = data.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; (j & bit) != 0; bit >>= 1) {
            j ^= bit;
        }
        j ^= bit;
        if (i < j) {
            std::swap(data[i], data[j]);
        }
    }
    for (size_t half = 1; half < n; half *= 2) {
        const double angle = (inverse ? 1.0 : -1.0) * M_PI / double(half);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (size_t start = 0; start < n; start += 2 * half) {
            std::complex<double> turn(1.0, 0.0);
            for (size_t k = 0; k < half; ++k) {
                const std::complex<double> odd = data[start + half + k] * turn;
                data[start + half + k] = data[start + k] - odd;
                data[start + k] += odd;
                turn *= step;
            }
        }
    }
}

// The unit-energy signal without its mean; empty when it is silent.
std::vector<float> Normalised(const std::vector<float>& samples) {
    double mean = 0.0;
    for (const float s : samples) {
        mean += s;
    }
    mean /= double(std::max<size_t>(samples.size(), 1));
    double energy = 0.0;
    for (const float s : samples) {
        energy += (s - mean) * (s - mean);
    }
    // Below about -80 dBFS on average there is nothing to hear.
    if (samples.empty() || energy / double(samples.size()) < 1e-8) {
        return {};
    }
    const double gain = 1.0 / std::sqrt(energy);
    std::vector<float> out(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
        out[i] = float((samples[i] - mean) * gain);
    }
    return out;
}

}  // namespace

AudioRead ReadMonoAudio(const std::string& path, int rate, double maxSeconds) {
    AudioRead read;
    read.audio.rate = rate;
    // A hostile file may keep a demuxer busy for hours: the whole read has a deadline.
    Deadline deadline{std::chrono::steady_clock::now() + kReadingTime};
    AVFormatContext* opened = avformat_alloc_context();
    if (opened == nullptr) {
        read.why = translate("SyncMessages", "ファイルを開けません");
        return read;
    }
    opened->interrupt_callback = {&Deadline::Passed, &deadline};
    AVDictionary* options = nullptr;
    // Only ever a local file: a name like "pipe:1" or "http://..." is a file name here.
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int status = avformat_open_input(&opened, ("file:" + path).c_str(), nullptr, &options);
    av_dict_free(&options);
    if (status < 0) {
        read.why = translate("SyncMessages", "ファイルを開けません");
        return read;
    }
    const AvFormatInputPtr format(opened);
    if (avformat_find_stream_info(format.get(), nullptr) < 0) {
        read.why = translate("SyncMessages", "ファイルを開けません");
        return read;
    }
    const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (stream < 0) {
        read.why = translate("SyncMessages", "音声がありません");
        return read;
    }
    const int video = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    read.audio.startSeconds = StartSeconds(format->streams[stream]) -
                              (video >= 0 ? StartSeconds(format->streams[video]) : 0.0);
    // A start an hour away from the pictures is a damaged header, not a recording.
    if (!(std::abs(read.audio.startSeconds) <= 3600.0)) {
        read.audio.startSeconds = 0.0;
    }
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        format->streams[i]->discard = int(i) == stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
    MonoDecoder decoder(*format, stream, rate, size_t(maxSeconds * rate));
    if (!decoder.Open() || !decoder.Run(read.audio.samples)) {
        read.why = translate("SyncMessages", "音声をデコードできません");
        read.audio.samples.clear();
        return read;
    }
    if (read.audio.samples.empty()) {
        read.why = translate("SyncMessages", "音声がありません");
    }
    return read;
}

SyncEstimate FindSoundOffset(const MonoAudio& a, const MonoAudio& b, double maxOffsetSeconds) {
    SyncEstimate estimate;
    estimate.method = SyncMethod::kSound;
    if (a.rate <= 0 || a.rate != b.rate) {
        estimate.why = translate("SyncMessages", "音声のサンプリングレートが揃っていません");
        return estimate;
    }
    const std::vector<float> sa = Normalised(a.samples);
    const std::vector<float> sb = Normalised(b.samples);
    if (sa.empty() || sb.empty()) {
        estimate.why = translate("SyncMessages", "音声が無音です");
        return estimate;
    }
    size_t length = 1;
    while (length < sa.size() + sb.size()) {
        length *= 2;
    }
    std::vector<std::complex<double>> fa(length), fb(length);
    std::copy(sa.begin(), sa.end(), fa.begin());
    std::copy(sb.begin(), sb.end(), fb.begin());
    Transform(fa, false);
    Transform(fb, false);
    // conj(A) * B: its inverse at lag k is sum a[n] b[n + k].
    for (size_t i = 0; i < length; ++i) {
        fa[i] = std::conj(fa[i]) * fb[i];
    }
    Transform(fa, true);
    std::vector<float> correlation(length);
    for (size_t i = 0; i < length; ++i) {
        correlation[i] = float(fa[i].real() / double(length));
    }

    const int64_t reach = int64_t(std::floor(std::max(0.0, maxOffsetSeconds) * a.rate));
    // The audio tracks' own start times shift the lag to the videos' clocks.
    const double shift = b.startSeconds - a.startSeconds;
    const int64_t low =
        std::max<int64_t>(-(int64_t(sa.size()) - 1), -reach - int64_t(std::lround(shift * a.rate)));
    const int64_t high =
        std::min<int64_t>(int64_t(sb.size()) - 1, reach - int64_t(std::lround(shift * a.rate)));
    const auto at = [&](int64_t lag) { return correlation[size_t(lag >= 0 ? lag : length + lag)]; };
    if (low > high) {
        estimate.why = translate("SyncMessages", "音声が短すぎます");
        return estimate;
    }
    int64_t peak = low;
    for (int64_t lag = low; lag <= high; ++lag) {
        if (at(lag) > at(peak)) {
            peak = lag;
        }
    }
    const int64_t lobe = a.rate / 10;
    float second = 0.0f;
    for (int64_t lag = low; lag <= high; ++lag) {
        if (std::abs(lag - peak) > lobe) {
            second = std::max(second, at(lag));
        }
    }
    const float top = at(peak);
    constexpr double kClearest = 100.0;
    estimate.confidence =
        top <= 0.0f ? 0.0 : (second <= top / kClearest ? kClearest : double(top / second));
    const auto lagOffset = SyncOffset::Make(peak, a.rate);
    const auto startOffset = SyncOffset::FromSeconds(shift);
    if (lagOffset && startOffset) {
        if (const auto total = lagOffset->Plus(*startOffset)) {
            estimate.offset = *total;
        }
    }
    if (estimate.confidence < kSoundConfidence || top < kSoundLeastPeak) {
        estimate.why = translate("SyncMessages", "音声の一致がはっきりしません");
        return estimate;
    }
    estimate.found = true;
    return estimate;
}

}  // namespace kivra
