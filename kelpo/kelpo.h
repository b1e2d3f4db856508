// The client view of the Kelpo control (type library VBP_Kelpo): the class
// that shows the program's version-information dialog. Hosts create it by
// ProgID ("Kelpo.Kelpo") and call VerShow through IDispatch or _Kelpo.
#pragma once

#include "platform/com/com.h"

inline constexpr GUID LIBID_VBP_Kelpo = {0xA54D405E, 0x4506, 0x11D3, {0xB1, 0x8D, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr CLSID CLSID_Kelpo = {0xA54D405A, 0x4506, 0x11D3, {0xB1, 0x8D, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr IID IID__Kelpo = {0xA54D4059, 0x4506, 0x11D3, {0xB1, 0x8D, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
/// The control's event interface; it has no events.
inline constexpr IID DIID___Kelpo = {0xA54D405B, 0x4506, 0x11D3, {0xB1, 0x8D, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

inline constexpr DISPID DISPID_Kelpo_VerShow = 0x60030000;
inline constexpr const char* kKelpoProgId = "Kelpo.Kelpo";

/// The control's default interface (dual, hidden).
struct _Kelpo : IDispatch {
    /// Shows the version-information dialog modally with the program name
    /// and the version text, and returns when the user closes it.
    STDMETHOD(VerShow)(BSTR pgname, BSTR ver) = 0;
};

MIROFOTO_COM_INTERFACE(_Kelpo, IDispatch, IID__Kelpo);
