// The automation classes over one loaded file: Exif, Marker, Ifd, Tags and
// Tag. Parents hold their children (the Exif its directories and segments,
// an Ifd the objects of its tags, a Tags collection its Ifd); children do
// not hold their parents. Every class answers its dual interface and
// ISupportErrorInfo, and every member turns failures into result codes.
#pragma once

#include "platform/com/dispatch_table.h"
#include "platform/com/object.h"
#include "tagora/com/tagora.h"
#include "tagora/exif/exif.h"

#include <map>
#include <memory>
#include <vector>

namespace tagora::com {

using platform::com::ComPtr;
using platform::com::DispatchTable;
using platform::com::DualObject;

/// ISupportErrorInfo for a class whose default interface is Default: S_OK
/// for that interface, S_FALSE for any other. No error object is ever set.
template <class Default>
HRESULT supportsErrorInfo(REFIID riid) {
    return IsEqualIID(riid, platform::com::uuidOf<Default>()) ? S_OK : S_FALSE;
}

class TagObject final : public DualObject<TagObject, ITag, ISupportErrorInfo> {
public:
    /// A tag of no directory (a Tag created directly): ID 0, type 0, named
    /// from no table.
    TagObject();
    explicit TagObject(std::shared_ptr<tagora::Tag> tag);
    static const DispatchTable& dispatchTable();
    const std::shared_ptr<tagora::Tag>& model() const { return m_tag; }

    STDMETHODIMP ClearValue() override;
    STDMETHODIMP PushValue(VARIANT* Val1, VARIANT* Val2) override;
    STDMETHODIMP get_ID(EXIFTAG* id) override;
    STDMETHODIMP put_ID(EXIFTAG id) override;
    STDMETHODIMP get_Type(TAGTYPE* type) override;
    STDMETHODIMP put_Type(TAGTYPE type) override;
    STDMETHODIMP get_ValueString(BSTR* text) override;
    STDMETHODIMP get_Value(LONG index, VARIANT* value) override;
    STDMETHODIMP put_Value(LONG index, VARIANT value) override;
    STDMETHODIMP get_ValueSecond(LONG index, VARIANT* value) override;
    STDMETHODIMP put_ValueSecond(LONG index, VARIANT value) override;
    STDMETHODIMP get_Name(BSTR* name) override;
    STDMETHODIMP get_Mean(BSTR* meaning) override;
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override { return supportsErrorInfo<ITag>(riid); }

private:
    HRESULT getElement(LONG index, bool second, VARIANT* value) noexcept;
    HRESULT putElement(LONG index, bool second, const VARIANT& value) noexcept;

    // The tag keeps the static name table it was made with, so Name and
    // Mean work after its directory is gone.
    std::shared_ptr<tagora::Tag> m_tag;
};

class IfdObject final : public DualObject<IfdObject, IIfd, ISupportErrorInfo> {
public:
    /// An Ifd of no document (created directly): no name, no tags.
    IfdObject() = default;
    explicit IfdObject(std::shared_ptr<tagora::Ifd> ifd) : m_ifd(std::move(ifd)) {}
    static const DispatchTable& dispatchTable();
    /// The directory, or null for an Ifd of no document.
    const std::shared_ptr<tagora::Ifd>& model() const { return m_ifd; }

    /// The one object of a tag of this directory, made on first use and
    /// held from then on, so every route hands out the same object. Empty
    /// when memory runs out.
    ComPtr<TagObject> tagObject(const std::shared_ptr<tagora::Tag>& tag) noexcept;
    /// Removes the tag filed under the ID and lets go of its object; false
    /// when there is none.
    bool removeTag(std::uint16_t id);

    STDMETHODIMP get_Tags(ITags** ppTags) override;
    STDMETHODIMP get_Name(BSTR* name) override;
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override { return supportsErrorInfo<IIfd>(riid); }

private:
    std::shared_ptr<tagora::Ifd> m_ifd;
    std::map<const tagora::Tag*, ComPtr<TagObject>> m_tagObjects;
};

class TagsObject final : public DualObject<TagsObject, ITags, ISupportErrorInfo> {
public:
    /// A collection over no directory (created directly): empty, and takes
    /// no tags.
    TagsObject() = default;
    explicit TagsObject(ComPtr<IfdObject> ifd) : m_ifd(std::move(ifd)) {}
    static const DispatchTable& dispatchTable();

    STDMETHODIMP Add(EXIFTAG ID, TAGTYPE Type, ITag** ppTag) override;
    STDMETHODIMP Delete(EXIFTAG ID) override;
    STDMETHODIMP get_Count(LONG* count) override;
    STDMETHODIMP get_Item(EXIFTAG ID, ITag** ppTag) override;
    STDMETHODIMP get_ItemByIndex(LONG index, ITag** ppTag) override;
    STDMETHODIMP get__NewEnum(IUnknown** ppEnum) override;
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override { return supportsErrorInfo<ITags>(riid); }

private:
    tagora::Ifd* directory() const { return m_ifd ? m_ifd->model().get() : nullptr; }

    ComPtr<IfdObject> m_ifd;
};

class MarkerObject final : public DualObject<MarkerObject, IMarker, ISupportErrorInfo> {
public:
    /// A Marker of no file (created directly): code 0, no bytes, no name.
    MarkerObject() = default;
    explicit MarkerObject(std::shared_ptr<tagora::Marker> marker) : m_marker(std::move(marker)) {}
    static const DispatchTable& dispatchTable();

    STDMETHODIMP get_Code(LONG* code) override;
    STDMETHODIMP get_Length(LONG* length) override;
    STDMETHODIMP get_Data(VARIANT* data) override;
    STDMETHODIMP get_Name(BSTR* name) override;
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override { return supportsErrorInfo<IMarker>(riid); }

private:
    std::shared_ptr<tagora::Marker> m_marker;
};

class ExifObject final : public DualObject<ExifObject, IExif, ISupportErrorInfo> {
public:
    /// An Exif of no file: created directly it has five empty directories
    /// and no segments.
    ExifObject();
    static const DispatchTable& dispatchTable();

    /// Loads the file into this fresh object (LoadHeader). False when the
    /// file cannot be loaded or memory runs out.
    bool load(const std::string& path) noexcept;
    /// Why the last load failed: the model's failure texts, in order.
    std::string failureText() const;

    STDMETHODIMP SaveThumbnail(BSTR filename, LONG* result) override;
    STDMETHODIMP SaveHeader(BSTR filename, LONG* result) override;
    STDMETHODIMP RotateThumbnail(LONG angle) override;
    STDMETHODIMP get_IFDMain(IIfd** ppIfd) override { return handOut(m_main, ppIfd); }
    STDMETHODIMP get_IFDThumbnail(IIfd** ppIfd) override { return handOut(m_thumbnail, ppIfd); }
    STDMETHODIMP get_IFDSub(IIfd** ppIfd) override { return handOut(m_sub, ppIfd); }
    STDMETHODIMP get_IFDInteroperability(IIfd** ppIfd) override { return handOut(m_interoperability, ppIfd); }
    STDMETHODIMP get_IFDGps(IIfd** ppIfd) override { return handOut(m_gps, ppIfd); }
    STDMETHODIMP get_MarkerItem(LONG index, IMarker** ppMarker) override;
    STDMETHODIMP get_MarkerCount(LONG* count) override;
    STDMETHODIMP get_UserComment(BSTR* text) override;
    STDMETHODIMP put_UserComment(BSTR text) override;
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override { return supportsErrorInfo<IExif>(riid); }

private:
    static HRESULT handOut(const ComPtr<IfdObject>& ifd, IIfd** out);

    std::unique_ptr<tagora::Exif> m_exif;
    ComPtr<IfdObject> m_main, m_thumbnail, m_sub, m_interoperability, m_gps;
    std::vector<ComPtr<MarkerObject>> m_markers;
};

/// Shows "本バージョンでは機能しません。" the way the members that are not
/// provided in this version do: no owner, empty caption, an OK button.
void showNotProvided();

}  // namespace tagora::com
