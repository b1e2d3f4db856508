// The interfaces through which a host on this platform persists and draws a
// control, beside IControlExtent (com.h). The in-place activation and view
// interfaces of Windows containers have no counterpart here; these are the
// parts of them a host can use.
#pragma once

#include "platform/com/com.h"

struct IErrorLog;

/// A set of named properties a container keeps for a control (Windows
/// layout). Read: on entry pVar->vt is the type wanted (VT_EMPTY for any);
/// a missing property gives E_INVALIDARG.
struct IPropertyBag : IUnknown {
    STDMETHOD(Read)(LPCOLESTR pszPropName, VARIANT* pVar, IErrorLog* pErrorLog) = 0;
    STDMETHOD(Write)(LPCOLESTR pszPropName, VARIANT* pVar) = 0;
};

/// Saving a control's properties into a property bag and loading them back
/// (Windows layout).
struct IPersistPropertyBag : IPersist {
    STDMETHOD(InitNew)() = 0;
    STDMETHOD(Load)(IPropertyBag* pPropBag, IErrorLog* pErrorLog) = 0;
    STDMETHOD(Save)(IPropertyBag* pPropBag, BOOL fClearDirty, BOOL fSaveAllProperties) = 0;
};

/// Ours: a control draws its face into a caller's buffer of 32-bit pixels,
/// four bytes per pixel in the order red, green, blue, alpha, rows top to
/// bottom, stride bytes apart. The control draws what it shows at the
/// top-left of the area and leaves the pixels it does not cover as they are.
struct IControlFace : IUnknown {
    STDMETHOD(Draw)(BYTE* rgba, LONG width, LONG height, LONG stride) = 0;
};

inline constexpr IID IID_IPropertyBag = {0x55272A00, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
inline constexpr IID IID_IPersistPropertyBag = {0x37D84F60, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
inline constexpr IID IID_IControlFace = {0x5E0B7C21, 0x93D4, 0x4F6A, {0xB1, 0x2E, 0x6C, 0x0D, 0x84, 0x3A, 0xF2, 0x17}};

MIROFOTO_COM_INTERFACE(IPropertyBag, IUnknown, IID_IPropertyBag);
MIROFOTO_COM_INTERFACE(IPersistPropertyBag, IPersist, IID_IPersistPropertyBag);
MIROFOTO_COM_INTERFACE(IControlFace, IUnknown, IID_IControlFace);
