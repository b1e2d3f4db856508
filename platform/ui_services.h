// The user-interface services the program and its libraries call on: message
// boxes, the file, folder and colour dialogs, opening a document with the
// desktop, and the user's documents folder. The host program installs its
// implementation (Qt); tests install a scripted fake. Without a host, message
// texts go to standard error and every dialog is cancelled.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

/// An owner window, opaque to the services' callers (a QWidget* in the Qt
/// implementation, null for none).
using WindowRef = void*;

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgResult { Ok, Cancel, Yes, No, Retry };

struct FileDialogOptions {
    std::string title;
    std::string initialFolder;
    std::string defaultExtension;  ///< without the dot, e.g. "mfs"
    std::string filter;            ///< "description|*.ext" pairs
    std::string fileName;          ///< preset file name
    bool hideReadOnly = true;
};

class UiServices {
public:
    virtual ~UiServices() = default;

    /// Shows a modal message box. The text keeps single CR line breaks; the
    /// implementation turns them into line breaks when it shows them.
    virtual MsgResult messageBox(WindowRef owner, std::string_view text, std::string_view caption,
                                 MsgButtons buttons, MsgIcon icon) = 0;
    /// The chosen file path, or nothing when cancelled.
    virtual std::optional<std::string> openFileDialog(WindowRef owner, const FileDialogOptions& options) = 0;
    virtual std::optional<std::string> saveFileDialog(WindowRef owner, const FileDialogOptions& options) = 0;
    /// The chosen folder path, or the empty text when cancelled.
    virtual std::string browseForFolder(WindowRef owner, std::string_view initialFolder,
                                        std::string_view title) = 0;
    /// A colour in 0x00BBGGRR layout, or nothing when cancelled.
    virtual std::optional<std::uint32_t> chooseColour(WindowRef owner, std::uint32_t initial) = 0;
    /// Opens a file or an address with the desktop's associated program.
    /// False when the desktop reported a failure.
    virtual bool openDocument(WindowRef owner, std::string_view pathOrUrl) = 0;
    /// The user's documents folder, or the empty text when there is none.
    virtual std::string documentsFolder() = 0;
};

/// The services in force: the installed ones, or the console fallback. In a
/// library the host program loaded (a COM module), the ones the host
/// installed.
UiServices& ui();

/// Installs services (not owned; null restores the console fallback).
/// Returns the previously installed services.
UiServices* installUi(UiServices* services);

/// The XDG documents folder: XDG_DOCUMENTS_DIR from the environment or from
/// the user's user-dirs.dirs, else $HOME/Documents when it exists, else $HOME.
std::string xdgDocumentsFolder();

/// Installs services for the lifetime of a scope (tests, dialogs).
class ScopedUi {
public:
    explicit ScopedUi(UiServices& services) : m_previous(installUi(&services)) {}
    ~ScopedUi() { installUi(m_previous); }
    ScopedUi(const ScopedUi&) = delete;
    ScopedUi& operator=(const ScopedUi&) = delete;

private:
    UiServices* m_previous;
};

}  // namespace platform
