// The version-information dialog Frm_Ver.
#pragma once

#include "platform/com/com.h"

#include <QString>

namespace kelpo {

/// The address Lbl_URL shows and opens, and the copyright line.
inline constexpr const char* kHomePageUrl = "https://mirofoto.github.io/";
inline constexpr const char* kCopyright = "Copyright (C) 2026 ミロフォト開発チーム";

/// The 0x800A0000-range code for "form already displayed; can't show
/// modally": VerShow called while its dialog is open.
inline constexpr HRESULT kFormAlreadyShown = static_cast<HRESULT>(0x800A0190u);

/// Creates Frm_Ver with its initial captions, puts the program name and the
/// version into it, shows it modally without an owner and destroys it when
/// it closes. E_UNEXPECTED without a QApplication, RPC_E_WRONG_THREAD off
/// the application's thread, kFormAlreadyShown while it is already open.
HRESULT showVersionDialog(const QString& programName, const QString& version) noexcept;

}  // namespace kelpo
