// Helpers shared by the tests of every area.
#pragma once

#include "platform/ui_services.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

/// A fresh folder under the system's temporary folder, removed with its
/// contents when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    /// The folder's path as UTF-8 text, with a file name appended when given.
    std::string str(std::string_view child = {}) const;
    std::filesystem::path operator/(std::string_view child) const;

private:
    std::filesystem::path m_path;
};

/// A small file system (tmpfs) of its own, for writes that run out of
/// space. It is mounted in a mount namespace private to the calling thread
/// and the threads it starts afterwards, and unmounted on destruction.
/// Without the right to mount, available() is false: skip the test then.
class FullDisk {
public:
    explicit FullDisk(std::size_t bytes = 16 * 1024);
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    bool available() const { return m_mounted; }
    /// Why it is not available.
    const std::string& why() const { return m_why; }
    /// A path inside the small file system.
    std::string str(std::string_view child = {}) const { return m_folder.str(child); }

private:
    TempDir m_folder;
    bool m_mounted = false;
    std::string m_why;
};

/// The whole file as bytes; the empty text when it cannot be read.
std::string readBytes(const std::filesystem::path& file);

/// Checks the condition until it holds or the limit passes (a bounded poll
/// for what another process does, where no signal tells us); true when it
/// held.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit);
/// Writes the bytes as the whole file (creating parent folders).
void writeBytes(const std::filesystem::path& file, std::string_view bytes);
/// The path of a file under tests/data.
std::filesystem::path dataPath(std::string_view relative);
/// A readable hex dump for failure messages ("41 42 0D 0A").
std::string hex(std::string_view bytes);

/// User-interface services for tests: every call is recorded, every answer
/// comes from a script. A call that finds no scripted answer throws, so an
/// unexpected dialog fails the test instead of hanging it.
class ScriptedUi final : public platform::UiServices {
public:
    struct Call {
        std::string kind;  ///< "message", "open", "save", "folder", "colour", "document"
        std::string text;  ///< message text, dialog title or opened path
        std::string caption;
        platform::MsgButtons buttons = platform::MsgButtons::Ok;
        platform::MsgIcon icon = platform::MsgIcon::None;
        platform::FileDialogOptions fileOptions;
        std::string initialFolder;
    };

    std::vector<Call> calls;
    std::deque<platform::MsgResult> messageAnswers;  ///< for boxes that ask (not OK-only ones)
    std::deque<std::optional<std::string>> fileAnswers;  ///< open and save dialogs
    std::deque<std::string> folderAnswers;
    std::deque<std::optional<std::uint32_t>> colourAnswers;
    bool openDocumentResult = true;
    std::string documents = "/nonexistent-documents";
    /// When set, message boxes without a scripted answer return this.
    std::optional<platform::MsgResult> defaultMessageAnswer;

    platform::MsgResult messageBox(platform::WindowRef, std::string_view text, std::string_view caption,
                                   platform::MsgButtons buttons, platform::MsgIcon icon) override;
    std::optional<std::string> openFileDialog(platform::WindowRef, const platform::FileDialogOptions&) override;
    std::optional<std::string> saveFileDialog(platform::WindowRef, const platform::FileDialogOptions&) override;
    std::string browseForFolder(platform::WindowRef, std::string_view initialFolder, std::string_view title) override;
    std::optional<std::uint32_t> chooseColour(platform::WindowRef, std::uint32_t initial) override;
    bool openDocument(platform::WindowRef, std::string_view pathOrUrl) override;
    std::string documentsFolder() override { return documents; }

    /// The texts of the message boxes shown so far, in order.
    std::vector<std::string> messages() const;
};

}  // namespace testing_support
