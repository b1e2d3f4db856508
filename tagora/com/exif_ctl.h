// The ExifCtl control's class factory.
#pragma once

#include "platform/com/com.h"
#include "platform/com/control.h"

namespace tagora::com {

/// The control's face is this many pixels wide and high.
inline constexpr int kIconSize = 32;

/// ClassEntry::getFactory of ExifCtl.
HRESULT exifCtlFactory(REFIID riid, void** ppv);

}  // namespace tagora::com
