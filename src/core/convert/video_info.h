#pragma once
// The media probe: asks the media-information library, loaded at run time, for the stored size,
// pixel aspect ratio and rotation of a file's first video stream, and works out the width at
// which its pixels come out square.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kivra {

// One loaded copy of the media-information library with its C interface bound. Loading counts
// as failed when no candidate loads with all 28 entry points; every call then does nothing.
// The process-wide copy is Shared(); tests may make their own to point elsewhere.
class MediaInfoLibrary {
public:
    // Tries the candidates in order (dlopen names: a path with a '/' is taken as it is, a bare
    // name from the system's search path); the first complete one is kept.
    explicit MediaInfoLibrary(const std::vector<std::string>& candidates);
    ~MediaInfoLibrary();
    MediaInfoLibrary(const MediaInfoLibrary&) = delete;
    MediaInfoLibrary& operator=(const MediaInfoLibrary&) = delete;

    // Loaded once per process, on first use: "misc/libmediainfo.so.0" in the program folder,
    // else the system's "libmediainfo.so.0".
    static const MediaInfoLibrary& Shared();

    bool IsLoaded() const { return api_ != nullptr; }
    // The candidate that was loaded; empty when none.
    const std::string& LoadedFrom() const { return loadedFrom_; }

    // The five calls the probe uses. Paths, names and answers are UTF-8; numbers in answers
    // always carry a decimal point. Without the library: null, 0 and "".
    void* New() const;
    void Delete(void* handle) const;
    bool Open(void* handle, const std::string& path) const;
    void Close(void* handle) const;
    std::string GetVideo(void* handle, const std::string& name) const;

private:
    struct Api;
    std::unique_ptr<Api> api_;
    void* module_ = nullptr;
    std::string loadedFrom_;
};

// Leading decimal integer of text after optional blanks and sign, the way "90.000" reads as 90;
// 0 without digits. Values beyond int saturate.
int LeadingInt(std::string_view text);

// A pixel aspect ratio answer as a number; one that is not greater than 0, not a number or not
// finite counts as 1.0. Always read with a decimal point.
double PixelAspectRatioFromText(std::string_view text);

// width / height * pixelAspectRatio, with the ratio rules of PixelAspectRatioFromText; 0.0 when
// height is not greater than 0.
double DisplayAspectRatioFor(int width, int height, double pixelAspectRatio);

// Sets the out values to width, height, then, when both and the ratio are positive, the out
// width to height * ratio + 0.5 truncated and rounded down to a multiple of 4. True when that
// differs from width: the picture must be resized to it. A display width that would not be
// positive or not fit an int is no answer (false, out values width, height).
bool DisplaySizeFor(int width, int height, double displayAspectRatio, int* displayWidth,
                    int* displayHeight);

}  // namespace kivra

// Probes one file at a time through the media-information library. Each instance owns its
// library object; the library itself must outlive it (the shared one always does).
class HaldsCVideoInfo {
public:
    HaldsCVideoInfo();
    explicit HaldsCVideoInfo(const kivra::MediaInfoLibrary& library);
    virtual ~HaldsCVideoInfo();
    HaldsCVideoInfo(const HaldsCVideoInfo&) = delete;
    HaldsCVideoInfo& operator=(const HaldsCVideoInfo&) = delete;

    // Closes the open file, then opens path: 1 on success, 0 when the library is missing, the
    // path is no regular file, or the library cannot open it.
    int Open(const std::string& path);
    void Close();
    bool IsOpen() const { return !m_strFileName.empty(); }

    // The raw answer for the first video stream ("Rotation" -> "90.000"); empty when unknown.
    std::string Get(const std::string& name) const;
    int GetWidth() const;
    int GetHeight() const;
    double GetDisplayAspectRatio() const;
    // Either pointer may be null. See kivra::DisplaySizeFor; false when no file is open.
    bool GetDisplaySize(int* width, int* height) const;

private:
    struct HandleDeleter {
        const kivra::MediaInfoLibrary* library;
        void operator()(void* handle) const { library->Delete(handle); }
    };

    const kivra::MediaInfoLibrary& m_library;
    std::string m_strFileName;
    std::unique_ptr<void, HandleDeleter> m_pHandle;
};
