#include "convert/video_info.h"

#include <dlfcn.h>
#include <locale.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <iterator>
#include <optional>

// The wide interface: its answers are the library's own text, never the current code page.
#ifndef UNICODE
#define UNICODE
#endif
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wunused-variable"
#include <MediaInfoDLL/MediaInfoDLL.h>
#pragma GCC diagnostic pop

#include "platform/settings_folder.h"
#include "platform/utf8.h"

namespace kivra {

namespace {

// Every entry point of the C interface; a copy missing any of them is not used.
constexpr const char* kEntryPoints[] = {
    "MediaInfo_New",
    "MediaInfoList_New",
    "MediaInfo_Delete",
    "MediaInfoList_Delete",
    "MediaInfo_Open",
    "MediaInfoList_Open",
    "MediaInfo_Open_Buffer_Init",
    "MediaInfo_Open_Buffer_Continue",
    "MediaInfo_Open_Buffer_Continue_GoTo_Get",
    "MediaInfo_Open_Buffer_Finalize",
    "MediaInfo_Open_NextPacket",
    "MediaInfo_Close",
    "MediaInfoList_Close",
    "MediaInfo_Inform",
    "MediaInfoList_Inform",
    "MediaInfo_GetI",
    "MediaInfoList_GetI",
    "MediaInfo_Get",
    "MediaInfoList_Get",
    "MediaInfo_Output_Buffer_Get",
    "MediaInfo_Output_Buffer_GetI",
    "MediaInfo_Option",
    "MediaInfoList_Option",
    "MediaInfo_State_Get",
    "MediaInfoList_State_Get",
    "MediaInfo_Count_Get",
    "MediaInfoList_Count_Get",
    "MediaInfoList_Count_Get_Files",
};
static_assert(std::size(kEntryPoints) == 28);

// The library turns wide paths into bytes and numbers into text through the C locale of the
// calling thread. Holding a UTF-8 "C" locale for the duration of each call makes Japanese
// paths open and decimal points stay points, whatever locale the program runs in.
class Utf8CallLocale {
public:
    Utf8CallLocale() {
        static const locale_t utf8 = [] {
            locale_t loc = newlocale(LC_ALL_MASK, "C.UTF-8", locale_t{});
            return loc ? loc : newlocale(LC_ALL_MASK, "C.utf8", locale_t{});
        }();
        if (utf8) {
            previous_ = uselocale(utf8);
        }
    }
    ~Utf8CallLocale() {
        if (previous_) {
            uselocale(previous_);
        }
    }
    Utf8CallLocale(const Utf8CallLocale&) = delete;
    Utf8CallLocale& operator=(const Utf8CallLocale&) = delete;

private:
    locale_t previous_{};
};

// wchar_t holds UTF-32 on this platform. Malformed input gives nothing rather than a guess, so
// a path is never opened under another name.
std::optional<std::wstring> Utf8ToWide(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t code = 0;
        if (lead < 0x80) {
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            code = lead & 0x07;
        } else {
            return std::nullopt;
        }
        if (i + extra >= text.size()) {
            return std::nullopt;
        }
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            code = (code << 6) | (next & 0x3F);
        }
        static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
        if (code < kMinimum[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ||
            code == 0) {
            return std::nullopt;
        }
        out.push_back(static_cast<wchar_t>(code));
        i += extra + 1;
    }
    return out;
}

std::string WideToUtf8(const wchar_t* text) {
    std::string out;
    if (text == nullptr) {
        return out;
    }
    for (; *text != L'\0'; ++text) {
        AppendUtf8(out, static_cast<char32_t>(*text));
    }
    return out;
}

std::string_view SkipBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    return text;
}

}  // namespace

struct MediaInfoLibrary::Api {
    MEDIAINFO_New newHandle = nullptr;
    MEDIAINFO_Delete deleteHandle = nullptr;
    MEDIAINFO_Open open = nullptr;
    MEDIAINFO_Close close = nullptr;
    MEDIAINFO_Get get = nullptr;
};

MediaInfoLibrary::MediaInfoLibrary(const std::vector<std::string>& candidates) {
    for (const std::string& candidate : candidates) {
        void* module = dlopen(candidate.c_str(), RTLD_LAZY | RTLD_LOCAL);
        if (module == nullptr) {
            continue;
        }
        bool complete = true;
        for (const char* name : kEntryPoints) {
            complete = complete && dlsym(module, name) != nullptr;
        }
        if (!complete) {
            dlclose(module);
            continue;
        }
        auto api = std::make_unique<Api>();
        api->newHandle = reinterpret_cast<MEDIAINFO_New>(dlsym(module, "MediaInfo_New"));
        api->deleteHandle = reinterpret_cast<MEDIAINFO_Delete>(dlsym(module, "MediaInfo_Delete"));
        api->open = reinterpret_cast<MEDIAINFO_Open>(dlsym(module, "MediaInfo_Open"));
        api->close = reinterpret_cast<MEDIAINFO_Close>(dlsym(module, "MediaInfo_Close"));
        api->get = reinterpret_cast<MEDIAINFO_Get>(dlsym(module, "MediaInfo_Get"));
        api_ = std::move(api);
        module_ = module;
        loadedFrom_ = candidate;
        return;
    }
}

MediaInfoLibrary::~MediaInfoLibrary() {
    api_.reset();
    if (module_ != nullptr) {
        dlclose(module_);
    }
}

const MediaInfoLibrary& MediaInfoLibrary::Shared() {
    // Never through the current folder: a library planted in a folder the user works in would
    // run inside the program.
    static const MediaInfoLibrary library(
        {GetProgramFolder() + "/misc/libmediainfo.so.0", MEDIAINFODLL_NAME});
    return library;
}

void* MediaInfoLibrary::New() const {
    if (!api_) {
        return nullptr;
    }
    const Utf8CallLocale locale;
    return api_->newHandle();
}

void MediaInfoLibrary::Delete(void* handle) const {
    if (api_ && handle != nullptr) {
        const Utf8CallLocale locale;
        api_->deleteHandle(handle);
    }
}

bool MediaInfoLibrary::Open(void* handle, const std::string& path) const {
    if (!api_ || handle == nullptr) {
        return false;
    }
    const std::optional<std::wstring> wide = Utf8ToWide(path);
    if (!wide || wide->empty()) {
        return false;
    }
    const Utf8CallLocale locale;
    return api_->open(handle, wide->c_str()) != 0;
}

void MediaInfoLibrary::Close(void* handle) const {
    if (api_ && handle != nullptr) {
        const Utf8CallLocale locale;
        api_->close(handle);
    }
}

std::string MediaInfoLibrary::GetVideo(void* handle, const std::string& name) const {
    if (!api_ || handle == nullptr) {
        return {};
    }
    const std::optional<std::wstring> wide = Utf8ToWide(name);
    if (!wide) {
        return {};
    }
    const Utf8CallLocale locale;
    return WideToUtf8(api_->get(handle, MediaInfo_Stream_Video, 0, wide->c_str(),
                                MediaInfo_Info_Text, MediaInfo_Info_Name));
}

int LeadingInt(std::string_view text) {
    text = SkipBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        value = std::min<long long>(value * 10 + (c - '0'), static_cast<long long>(INT_MAX) + 1);
    }
    if (negative) {
        return static_cast<int>(-std::min<long long>(value, static_cast<long long>(INT_MAX) + 1));
    }
    return static_cast<int>(std::min<long long>(value, INT_MAX));
}

double PixelAspectRatioFromText(std::string_view text) {
    text = SkipBlanks(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (error != std::errc{} || !std::isfinite(value) || !(value > 0.0)) {
        return 1.0;
    }
    return value;
}

double DisplayAspectRatioFor(int width, int height, double pixelAspectRatio) {
    if (height <= 0) {
        return 0.0;
    }
    if (!std::isfinite(pixelAspectRatio) || !(pixelAspectRatio > 0.0)) {
        pixelAspectRatio = 1.0;
    }
    return static_cast<double>(width) / static_cast<double>(height) * pixelAspectRatio;
}

bool DisplaySizeFor(int width, int height, double displayAspectRatio, int* displayWidth,
                    int* displayHeight) {
    if (displayWidth != nullptr) {
        *displayWidth = width;
    }
    if (displayHeight != nullptr) {
        *displayHeight = height;
    }
    if (width <= 0 || height <= 0 || !(displayAspectRatio > 0.0)) {
        return false;
    }
    const double exact = static_cast<double>(height) * displayAspectRatio + 0.5;
    if (!(exact < static_cast<double>(INT_MAX))) {
        return false;
    }
    const int display = static_cast<int>(exact) & ~3;
    if (display <= 0) {
        return false;
    }
    if (displayWidth != nullptr) {
        *displayWidth = display;
    }
    return display != width;
}

}  // namespace kivra

HaldsCVideoInfo::HaldsCVideoInfo() : HaldsCVideoInfo(kivra::MediaInfoLibrary::Shared()) {}

HaldsCVideoInfo::HaldsCVideoInfo(const kivra::MediaInfoLibrary& library)
    : m_library(library), m_pHandle(library.New(), HandleDeleter{&library}) {}

HaldsCVideoInfo::~HaldsCVideoInfo() {
    Close();
}

int HaldsCVideoInfo::Open(const std::string& path) {
    Close();
    if (!m_pHandle) {
        return 0;
    }
    // The library would scan a whole folder, or block forever on a pipe.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return 0;
    }
    if (!m_library.Open(m_pHandle.get(), path)) {
        return 0;
    }
    m_strFileName = path;
    return 1;
}

void HaldsCVideoInfo::Close() {
    if (IsOpen()) {
        m_library.Close(m_pHandle.get());
        m_strFileName.clear();
    }
}

std::string HaldsCVideoInfo::Get(const std::string& name) const {
    return m_library.GetVideo(m_pHandle.get(), name);
}

int HaldsCVideoInfo::GetWidth() const {
    return IsOpen() ? kivra::LeadingInt(Get("Width")) : 0;
}

int HaldsCVideoInfo::GetHeight() const {
    return IsOpen() ? kivra::LeadingInt(Get("Height")) : 0;
}

double HaldsCVideoInfo::GetDisplayAspectRatio() const {
    if (!IsOpen()) {
        return 0.0;
    }
    return kivra::DisplayAspectRatioFor(GetWidth(), GetHeight(),
                                        kivra::PixelAspectRatioFromText(Get("PixelAspectRatio")));
}

bool HaldsCVideoInfo::GetDisplaySize(int* width, int* height) const {
    if (width != nullptr) {
        *width = 0;
    }
    if (height != nullptr) {
        *height = 0;
    }
    if (!IsOpen()) {
        return false;
    }
    return kivra::DisplaySizeFor(GetWidth(), GetHeight(), GetDisplayAspectRatio(), width, height);
}
