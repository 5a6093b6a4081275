#include "platform/compressors.h"

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <tuple>

#include "platform/four_cc.h"
#include "platform/path_util.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

namespace kivra {
namespace {

constexpr uint32_t kDibCode = MakeFourCC("DIB ");

// Encoders that only drive a device; without it they fail at open, so they are no choice.
constexpr std::array<std::string_view, 10> kDeviceWrappers = {
    "vaapi", "qsv",  "v4l2m2m",      "omx",        "nvenc",
    "amf",   "cuda", "videotoolbox", "mediacodec", "vulkan"};

struct Entry {
    CompressorInfo info;
    AVCodecID codecId = AV_CODEC_ID_NONE;
    bool preferred = false;  // FFmpeg's default encoder for codecId
};

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

uint32_t UpperCode(uint32_t code) {
    uint32_t upper = 0;
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<char>((code >> (8 * i)) & 0xFF);
        upper |= uint32_t(uint8_t(AsciiUpper(c))) << (8 * i);
    }
    return upper;
}

bool IsDeviceWrapper(const AVCodec& codec) {
    if (codec.capabilities & AV_CODEC_CAP_HARDWARE) {
        return true;
    }
    const std::string_view name = codec.name ? codec.name : "";
    const std::string_view wrapper = codec.wrapper_name ? codec.wrapper_name : "";
    return std::any_of(kDeviceWrappers.begin(), kDeviceWrappers.end(), [&](std::string_view w) {
        return name.find(w) != std::string_view::npos || wrapper.find(w) != std::string_view::npos;
    });
}

// The encoders live in libavcodec whichever codec they wrap, so one path serves them all.
std::string LibraryPathOf(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    std::string path = info.dli_fname;
    if (!path.empty() && path.front() != '/') {
        const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr),
                                                                   &std::free);
        if (resolved) {
            path = resolved.get();
        }
    }
    return path;
}

std::string AvcodecVersionText() {
    const unsigned version = avcodec_version();
    return std::to_string(AV_VERSION_MAJOR(version)) + "." +
           std::to_string(AV_VERSION_MINOR(version)) + "." +
           std::to_string(AV_VERSION_MICRO(version));
}

std::vector<Entry> BuildCompressorList() {
    const AVCodecTag* const tags[] = {avformat_get_riff_video_tags(), nullptr};
    const AVOutputFormat* const avi = av_guess_format("avi", nullptr, nullptr);
    const std::string driver = LibraryPathOf(reinterpret_cast<const void*>(&avcodec_version));
    const std::string version = AvcodecVersionText();

    std::vector<Entry> entries;
    void* iterator = nullptr;
    while (const AVCodec* codec = av_codec_iterate(&iterator)) {
        if (codec->type != AVMEDIA_TYPE_VIDEO || !av_codec_is_encoder(codec) ||
            (codec->capabilities & AV_CODEC_CAP_EXPERIMENTAL) || IsDeviceWrapper(*codec)) {
            continue;
        }
        const unsigned tag = av_codec_get_tag(tags, codec->id);
        if (tag == 0 || (avi && avformat_query_codec(avi, codec->id, FF_COMPLIANCE_NORMAL) != 1)) {
            continue;
        }
        const bool duplicate = std::any_of(entries.begin(), entries.end(), [&](const Entry& e) {
            return e.info.name == codec->name;
        });
        if (duplicate) {
            continue;
        }
        Entry entry;
        entry.info.code = tag;
        entry.info.codeText = FourCCText(tag);
        entry.info.name = codec->name;
        entry.info.description = codec->long_name ? codec->long_name : "";
        entry.info.driver = driver;
        entry.info.version = version;
        entry.codecId = codec->id;
        entry.preferred = avcodec_find_encoder(codec->id) == codec;
        entries.push_back(std::move(entry));
    }

    Entry dib;
    dib.info.code = kDibCode;
    dib.info.codeText = FourCCText(kDibCode);
    dib.info.name = "rawvideo";
    dib.info.description = "Uncompressed (32-bit BGR frames)";
    dib.info.driver = driver;
    dib.info.version = version;
    dib.codecId = AV_CODEC_ID_RAWVIDEO;
    dib.preferred = true;
    entries.push_back(std::move(dib));

    // Within one code FFmpeg's own choice comes first, so a lookup by code or codec finds it.
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return std::tie(a.info.codeText, b.preferred, a.info.name) <
               std::tie(b.info.codeText, a.preferred, b.info.name);
    });
    return entries;
}

const std::vector<Entry>& Entries() {
    static const std::vector<Entry> entries = BuildCompressorList();
    return entries;
}

}  // namespace

const std::vector<CompressorInfo>& InstalledCompressors() {
    static const std::vector<CompressorInfo> list = [] {
        std::vector<CompressorInfo> infos;
        for (const Entry& e : Entries()) {
            infos.push_back(e.info);
        }
        return infos;
    }();
    return list;
}

std::optional<CompressorInfo> FindCompressor(uint32_t code) {
    if (code == 0) {
        return std::nullopt;
    }
    const auto& entries = Entries();
    if (IsUncompressedCode(HandlerCodeText(code))) {
        code = kDibCode;
    }
    const uint32_t wanted = UpperCode(code);
    for (const Entry& e : entries) {
        if (UpperCode(e.info.code) == wanted) {
            return e.info;
        }
    }
    const AVCodecTag* const tags[] = {avformat_get_riff_video_tags(), nullptr};
    const AVCodecID id = av_codec_get_id(tags, code);
    if (id == AV_CODEC_ID_NONE) {
        return std::nullopt;
    }
    for (const Entry& e : entries) {
        if (e.codecId == id) {
            return e.info;
        }
    }
    return std::nullopt;
}

bool IsUncompressedCode(std::string_view codeText) {
    return EqualsIgnoreCase(codeText, "DIB ") || EqualsIgnoreCase(codeText, "RGB ") ||
           EqualsIgnoreCase(codeText, "RAW ");
}

std::string HandlerCodeText(uint32_t code) {
    std::string text(4, '?');
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<unsigned char>((code >> (8 * i)) & 0xFF);
        if (c >= 0x20 && c < 0x7F) {
            text[i] = static_cast<char>(c);
        }
    }
    return text;
}

CodecTexts DescribeCodec(uint32_t handlerCode) {
    CodecTexts texts;
    if (handlerCode == 0) {
        return texts;
    }
    texts.code = HandlerCodeText(handlerCode);
    if (IsUncompressedCode(texts.code)) {
        texts.name = "Uncompressed";
        return texts;
    }
    if (const auto found = FindCompressor(handlerCode)) {
        texts.name = found->name;
        texts.description = found->description;
        texts.driver = found->driver;
    }
    return texts;
}

bool HasEncoder(const char* name) {
    if (name == nullptr) {
        return false;
    }
    const auto& list = InstalledCompressors();
    return std::any_of(list.begin(), list.end(),
                       [&](const CompressorInfo& c) { return c.name == name; });
}

}  // namespace kivra
