// The client view of the Tagora control library (type library TAGORALib):
// class and interface identifiers, ProgIDs and the six dual interfaces in
// their vtable order. C++ hosts may call through these interfaces; script
// hosts and the album program bind late through IDispatch.
#pragma once

#include "platform/com/com.h"
#include "tagora/exif/tag_table.h"

/// Tag IDs and field types as the type library declares them.
using EXIFTAG = tagora::EXIFTAG;
using TAGTYPE = tagora::TAGTYPE;

inline constexpr GUID LIBID_TAGORALib = {0x7706139C, 0x0101, 0x0001, {0x8F, 0x5A, 0xB8, 0xA5, 0xD8, 0x66, 0xB9, 0xBE}};

inline constexpr CLSID CLSID_ExifCtl = {0x7706139C, 0x0202, 0x0001, {0x8F, 0x5A, 0xB8, 0xA5, 0xD8, 0x66, 0xB9, 0xBE}};
inline constexpr CLSID CLSID_Exif = {0x7706139C, 0x0302, 0x0001, {0x8F, 0x5A, 0xB8, 0xA5, 0xD8, 0x66, 0xB9, 0xBE}};
inline constexpr CLSID CLSID_Marker = {0x7706139C, 0x0402, 0x0001, {0x8F, 0x5A, 0xB8, 0xA5, 0xD8, 0x66, 0xB9, 0xBE}};
inline constexpr CLSID CLSID_Ifd = {0x7706139C, 0x0502, 0x0001, {0x8F, 0x5A, 0xB8, 0xA5, 0xD8, 0x66, 0xB9, 0xBE}};
inline constexpr CLSID CLSID_Tags = {0x7706139C, 0x0602, 0x0001, {0x8F, 0x5A, 0xB8, 0xA5, 0xD8, 0x66, 0xB9, 0xBE}};
inline constexpr CLSID CLSID_Tag = {0x7706139C, 0x0702, 0x0001, {0x8F, 0x5A, 0xB8, 0xA5, 0xD8, 0x66, 0xB9, 0xBE}};

inline constexpr IID IID_IExifCtl = {0x7706139C, 0x0201, 0x0001, {0x8F, 0x5A, 0xB8, 0xA5, 0xD8, 0x66, 0xB9, 0xBE}};
inline constexpr IID IID_IExif = {0x7706139C, 0x0301, 0x0001, {0x8F, 0x5A, 0xB8, 0xA5, 0xD8, 0x66, 0xB9, 0xBE}};
inline constexpr IID IID_IMarker = {0x7706139C, 0x0401, 0x0001, {0x8F, 0x5A, 0xB8, 0xA5, 0xD8, 0x66, 0xB9, 0xBE}};
inline constexpr IID IID_IIfd = {0x7706139C, 0x0501, 0x0001, {0x8F, 0x5A, 0xB8, 0xA5, 0xD8, 0x66, 0xB9, 0xBE}};
inline constexpr IID IID_ITags = {0x7706139C, 0x0601, 0x0001, {0x8F, 0x5A, 0xB8, 0xA5, 0xD8, 0x66, 0xB9, 0xBE}};
inline constexpr IID IID_ITag = {0x7706139C, 0x0701, 0x0001, {0x8F, 0x5A, 0xB8, 0xA5, 0xD8, 0x66, 0xB9, 0xBE}};

inline constexpr const char* kExifCtlProgId = "Tagora.ExifCtl";

/// The result code of a missing tag ID or an index out of range (the
/// automation runtime's "invalid property array index").
inline constexpr HRESULT TAGORA_E_INVALIDINDEX = static_cast<HRESULT>(0x800A017Du);

struct IExif;
struct IMarker;
struct IIfd;
struct ITags;
struct ITag;

/// The control a host places on its form; it opens JPEG files.
struct IExifCtl : IDispatch {
    /// Not provided in this version: shows a message and returns S_OK.
    STDMETHOD(RotateExifFile)(BSTR filename, LONG angle) = 0;
    /// Reads the file's EXIF header into a new Exif object; S_FALSE with a
    /// null object when the file cannot be loaded.
    STDMETHOD(LoadHeader)(BSTR filename, IExif** ppExif) = 0;
};

/// One loaded file.
struct IExif : IDispatch {
    /// Writes the thumbnail (JPEG, or a TIFF file around strip data): *result
    /// 1 and S_OK when written, else 0 and S_FALSE.
    STDMETHOD(SaveThumbnail)(BSTR filename, LONG* result) = 0;
    /// Not provided in this version: shows a message, *result 0, S_OK.
    STDMETHOD(SaveHeader)(BSTR filename, LONG* result) = 0;
    /// Turns the JPEG thumbnail in memory without re-encoding it: code 1 is
    /// 90° clockwise, 2 is 180°, 3 is 270°. S_FALSE when nothing was done.
    STDMETHOD(RotateThumbnail)(LONG angle) = 0;
    STDMETHOD(get_IFDMain)(IIfd** ppIfd) = 0;
    STDMETHOD(get_IFDThumbnail)(IIfd** ppIfd) = 0;
    STDMETHOD(get_IFDSub)(IIfd** ppIfd) = 0;
    STDMETHOD(get_IFDInteroperability)(IIfd** ppIfd) = 0;
    STDMETHOD(get_IFDGps)(IIfd** ppIfd) = 0;
    /// The segment at a 0-based index in file order.
    STDMETHOD(get_MarkerItem)(LONG index, IMarker** ppMarker) = 0;
    STDMETHOD(get_MarkerCount)(LONG* count) = 0;
    STDMETHOD(get_UserComment)(BSTR* text) = 0;
    /// Stores the text as a "UNICODE" user comment (in memory only).
    STDMETHOD(put_UserComment)(BSTR text) = 0;
};

/// One collected APP0 or APP1 segment.
struct IMarker : IDispatch {
    STDMETHOD(get_Code)(LONG* code) = 0;
    STDMETHOD(get_Length)(LONG* length) = 0;
    /// The whole segment (length + 2 bytes) as VT_ARRAY | VT_UI1.
    STDMETHOD(get_Data)(VARIANT* data) = 0;
    STDMETHOD(get_Name)(BSTR* name) = 0;
};

/// One directory ("IFD Main", "IFD Thumbnail", "IFD Sub",
/// "IFD Interoperability", "IFD Gps").
struct IIfd : IDispatch {
    /// A new collection over the directory's tags (the default member).
    STDMETHOD(get_Tags)(ITags** ppTags) = 0;
    STDMETHOD(get_Name)(BSTR* name) = 0;
};

/// The tags of one directory.
struct ITags : IDispatch {
    STDMETHOD(Add)(EXIFTAG ID, TAGTYPE Type, ITag** ppTag) = 0;
    STDMETHOD(Delete)(EXIFTAG ID) = 0;
    STDMETHOD(get_Count)(LONG* count) = 0;
    /// The tag filed under the ID (the default member).
    STDMETHOD(get_Item)(EXIFTAG ID, ITag** ppTag) = 0;
    STDMETHOD(get_ItemByIndex)(LONG index, ITag** ppTag) = 0;
    /// An IEnumVARIANT over a snapshot of the tags, one VT_DISPATCH each.
    STDMETHOD(get__NewEnum)(IUnknown** ppEnum) = 0;
};

/// One directory entry.
struct ITag : IDispatch {
    STDMETHOD(ClearValue)() = 0;
    /// Appends one element (ASCII: appends text); Val2 is the denominator of
    /// a rational and may be left out.
    STDMETHOD(PushValue)(VARIANT* Val1, VARIANT* Val2) = 0;
    STDMETHOD(get_ID)(EXIFTAG* id) = 0;
    STDMETHOD(put_ID)(EXIFTAG id) = 0;
    STDMETHOD(get_Type)(TAGTYPE* type) = 0;
    STDMETHOD(put_Type)(TAGTYPE type) = 0;
    STDMETHOD(get_ValueString)(BSTR* text) = 0;
    STDMETHOD(get_Value)(LONG index, VARIANT* value) = 0;
    STDMETHOD(put_Value)(LONG index, VARIANT value) = 0;
    /// The denominator of a rational element (empty for other types).
    STDMETHOD(get_ValueSecond)(LONG index, VARIANT* value) = 0;
    STDMETHOD(put_ValueSecond)(LONG index, VARIANT value) = 0;
    STDMETHOD(get_Name)(BSTR* name) = 0;
    STDMETHOD(get_Mean)(BSTR* meaning) = 0;
};

MIROFOTO_COM_INTERFACE(IExifCtl, IDispatch, IID_IExifCtl);
MIROFOTO_COM_INTERFACE(IExif, IDispatch, IID_IExif);
MIROFOTO_COM_INTERFACE(IMarker, IDispatch, IID_IMarker);
MIROFOTO_COM_INTERFACE(IIfd, IDispatch, IID_IIfd);
MIROFOTO_COM_INTERFACE(ITags, IDispatch, IID_ITags);
MIROFOTO_COM_INTERFACE(ITag, IDispatch, IID_ITag);
