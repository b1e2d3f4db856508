// The image library libimgctl.so, opened by name with dlopen at first use.
// When the file is missing or lacks one of its five functions, every image
// operation fails (0 or false) and the reason is written once to standard
// error and kept for the window to show.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mirofoto {

/// Why an image operation failed.
struct ImgctlFailure {
    int code = 0;          ///< errno of a file-system failure (EACCES, ENOSPC, ENOENT...) or 0
    bool corrupt = false;  ///< the data is not a decodable JPEG
    std::string text;      ///< the library's own message
};

class ImgctlLibrary {
public:
    /// Opens the first candidate file that loads and exports all five
    /// functions; a candidate without "/" is looked up by the system's
    /// library search.
    explicit ImgctlLibrary(const std::vector<std::string>& candidates);
    ImgctlLibrary(const ImgctlLibrary&) = delete;
    ImgctlLibrary& operator=(const ImgctlLibrary&) = delete;

    /// The program's library, loaded at the first call: the file named by
    /// MIROFOTO_IMGCTL when that is set (and nothing else), otherwise
    /// libimgctl.so beside the running executable, then by plain name. A
    /// failure is written to standard error, once.
    static ImgctlLibrary& instance();
    static std::vector<std::string> defaultCandidates();

    bool loaded() const { return m_toDib != nullptr; }
    /// Empty when loaded; otherwise which files could not be loaded and why.
    const std::string& loadError() const { return m_error; }

    /// The library's operations; 0 or false whenever the library is not loaded.
    std::int32_t toDIB(std::string_view path) const;
    bool resizeDIB(std::int32_t handle, std::int32_t width, std::int32_t height) const;
    bool turnDIB(std::int32_t handle, std::int32_t angle) const;
    /// Mirrors left to right; false also when the library cannot mirror.
    bool mirrorDIB(std::int32_t handle) const;
    /// Whether the library can mirror (an optional function, like lastFailure).
    bool canMirror() const { return m_toDib && m_mirrorDib; }
    bool dibToJPG(std::string_view path, std::int32_t handle, std::int32_t quality, bool encoderFlag) const;
    void deleteDIB(std::int32_t handle) const;
    /// Why the last failed call on the handle failed (ask before deleteDIB);
    /// handle 0: the calling thread's last failure of an operation without a
    /// handle (a toDIB that returned 0) or of any other. Empty when nothing
    /// failed or the library cannot tell; the load error when it is not
    /// loaded.
    ImgctlFailure lastFailure(std::int32_t handle) const;

private:
    using ToDibFn = std::int32_t (*)(const char*);
    using ResizeDibFn = std::int32_t (*)(std::int32_t, std::int32_t, std::int32_t);
    using TurnDibFn = std::int32_t (*)(std::int32_t, std::int32_t);
    using DibToJpgFn = std::int32_t (*)(const char*, std::int32_t, std::int32_t, std::int32_t);
    using DeleteDibFn = void (*)(std::int32_t);
    using MirrorDibFn = std::int32_t (*)(std::int32_t);
    using LastFailureFn = std::int32_t (*)(std::int32_t, std::int32_t*, std::int32_t*, char*, std::int32_t);

    ToDibFn m_toDib = nullptr;
    ResizeDibFn m_resizeDib = nullptr;
    TurnDibFn m_turnDib = nullptr;
    DibToJpgFn m_dibToJpg = nullptr;
    DeleteDibFn m_deleteDib = nullptr;
    LastFailureFn m_lastFailure = nullptr;  // optional: older libraries lack it
    MirrorDibFn m_mirrorDib = nullptr;      // optional too
    std::string m_error;
};

/// One decoded picture of the image library: ToDIB on construction, DeleteDIB
/// on destruction, so every handle is freed on every path.
class DibHandle {
public:
    DibHandle(const ImgctlLibrary& lib, std::string_view path) : m_lib(lib), m_handle(lib.toDIB(path)) {}
    ~DibHandle() {
        if (m_handle != 0) m_lib.deleteDIB(m_handle);
    }
    DibHandle(const DibHandle&) = delete;
    DibHandle& operator=(const DibHandle&) = delete;

    explicit operator bool() const { return m_handle != 0; }
    std::int32_t get() const { return m_handle; }
    /// Why the last call on this picture failed, or why it could not be
    /// opened.
    ImgctlFailure lastFailure() const { return m_lib.lastFailure(m_handle); }

private:
    const ImgctlLibrary& m_lib;
    std::int32_t m_handle;
};

}  // namespace mirofoto
