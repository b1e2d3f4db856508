#include "tagora/com/objects.h"

#include "platform/com/bstr.h"
#include "platform/com/enum_variant.h"
#include "platform/com/variant.h"
#include "platform/ui_services.h"
#include "tagora/com/conversions.h"
#include "tagora/com/type_library.h"

#include <cstring>
#include <limits>

namespace tagora::com {

using platform::com::dispGet;
using platform::com::dispMethod;
using platform::com::dispPut;
using platform::com::makeObject;
using platform::com::Returns;

namespace {

// A tag ID or field type is 16 bits wide; a larger number would be cut to
// another tag or type without a word.
bool fits16(std::int32_t v) { return v >= 0 && v <= 0xFFFF; }

const tagora::TagTable& noTable() {
    static const tagora::TagTable table{std::span<const tagora::TagRow>{}};
    return table;
}

template <class I, class T>
HRESULT shareAs(const ComPtr<T>& object, I** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!object) return E_OUTOFMEMORY;
    object->AddRef();
    *out = object.get();
    return S_OK;
}

}  // namespace

void showNotProvided() {
    platform::ui().messageBox(nullptr, "本バージョンでは機能しません。", "", platform::MsgButtons::Ok,
                              platform::MsgIcon::None);
}

// ---------------------------------------------------------------------------
// Tag

TagObject::TagObject() : m_tag(std::make_shared<tagora::Tag>(0, 0, noTable())) {}

TagObject::TagObject(std::shared_ptr<tagora::Tag> tag) : m_tag(std::move(tag)) {}

const DispatchTable& TagObject::dispatchTable() {
    static const DispatchTable table = describedTable(IID_ITag, {
        dispMethod<&ITag::ClearValue>(nullptr, 0),
        dispMethod<&ITag::PushValue>(nullptr, 0, {}, 1),
        dispGet<&ITag::get_ID>(nullptr, 0),
        dispPut<&ITag::put_ID>(nullptr, 0),
        dispGet<&ITag::get_Type>(nullptr, 0),
        dispPut<&ITag::put_Type>(nullptr, 0),
        dispGet<&ITag::get_ValueString>(nullptr, 0),
        dispGet<&ITag::get_Value>(nullptr, 0),
        dispPut<&ITag::put_Value>(nullptr, 0),
        dispGet<&ITag::get_ValueSecond>(nullptr, 0),
        dispPut<&ITag::put_ValueSecond>(nullptr, 0),
        dispGet<&ITag::get_Name>(nullptr, 0),
        dispGet<&ITag::get_Mean>(nullptr, 0),
    });
    return table;
}

STDMETHODIMP TagObject::ClearValue() {
    m_tag->clearValue();
    return S_OK;
}

STDMETHODIMP TagObject::PushValue(VARIANT* Val1, VARIANT* Val2) {
    if (!Val1) return E_POINTER;
    return guarded([&]() -> HRESULT {
        const bool ascii = m_tag->type() == tagora::fieldtype::kAscii;
        const tagora::VarType target = ascii ? tagora::VarType::Bstr : elementVarType(m_tag->type());
        tagora::Variant first, second;
        HRESULT hr = toModel(*Val1, target, first);
        // Only text reports a value that does not convert; a number that
        // does not convert leaves the tag as it was and still succeeds.
        if (FAILED(hr)) return ascii ? hr : S_OK;
        if (Val2 && !ascii && FAILED(toModel(*Val2, target, second))) return S_OK;
        return m_tag->pushValue(first, Val2 ? &second : nullptr);
    });
}

STDMETHODIMP TagObject::get_ID(EXIFTAG* id) {
    if (!id) return E_POINTER;
    *id = static_cast<EXIFTAG>(m_tag->id());
    return S_OK;
}

STDMETHODIMP TagObject::put_ID(EXIFTAG id) {
    if (!fits16(id)) return DISP_E_OVERFLOW;
    m_tag->setId(static_cast<std::uint16_t>(id));
    return S_OK;
}

STDMETHODIMP TagObject::get_Type(TAGTYPE* type) {
    if (!type) return E_POINTER;
    *type = static_cast<TAGTYPE>(m_tag->type());
    return S_OK;
}

STDMETHODIMP TagObject::put_Type(TAGTYPE type) {
    if (!fits16(type)) return DISP_E_OVERFLOW;
    m_tag->setType(static_cast<std::uint16_t>(type));
    return S_OK;
}

STDMETHODIMP TagObject::get_ValueString(BSTR* text) {
    if (!text) return E_POINTER;
    return guarded([&] { return toBstr(m_tag->valueString(), text); });
}

HRESULT TagObject::getElement(LONG index, bool second, VARIANT* value) noexcept {
    if (!value) return E_POINTER;
    VariantInit(value);
    return guarded([&]() -> HRESULT {
        tagora::Variant element;
        const HRESULT hr = second ? m_tag->valueSecond(index, element) : m_tag->value(index, element);
        if (FAILED(hr)) return hr;
        toVariant(element, value);
        return S_OK;
    });
}

HRESULT TagObject::putElement(LONG index, bool second, const VARIANT& value) noexcept {
    return guarded([&]() -> HRESULT {
        // The index is checked before the value, as callers are told.
        tagora::Variant current;
        if (HRESULT hr = m_tag->value(index, current); FAILED(hr)) return hr;
        const bool rational =
            m_tag->type() == tagora::fieldtype::kRational || m_tag->type() == tagora::fieldtype::kSRational;
        if (second && !rational) return S_OK;
        tagora::Variant v;
        if (HRESULT hr = toModel(value, elementVarType(m_tag->type()), v); FAILED(hr)) return hr;
        return second ? m_tag->putValueSecond(index, v) : m_tag->putValue(index, v);
    });
}

STDMETHODIMP TagObject::get_Value(LONG index, VARIANT* value) { return getElement(index, false, value); }
STDMETHODIMP TagObject::put_Value(LONG index, VARIANT value) { return putElement(index, false, value); }
STDMETHODIMP TagObject::get_ValueSecond(LONG index, VARIANT* value) { return getElement(index, true, value); }
STDMETHODIMP TagObject::put_ValueSecond(LONG index, VARIANT value) { return putElement(index, true, value); }

STDMETHODIMP TagObject::get_Name(BSTR* name) {
    return guarded([&] { return toBstr(m_tag->name(), name); });
}

STDMETHODIMP TagObject::get_Mean(BSTR* meaning) {
    return guarded([&] { return toBstr(m_tag->mean(), meaning); });
}

// ---------------------------------------------------------------------------
// Ifd

const DispatchTable& IfdObject::dispatchTable() {
    static const DispatchTable table = describedTable(IID_IIfd, {
        dispGet<&IIfd::get_Tags>(nullptr, 0),
        dispGet<&IIfd::get_Name>(nullptr, 0),
    });
    return table;
}

ComPtr<TagObject> IfdObject::tagObject(const std::shared_ptr<tagora::Tag>& tag) noexcept {
    if (!tag) return {};
    try {
        auto found = m_tagObjects.find(tag.get());
        if (found != m_tagObjects.end()) return found->second;
        ComPtr<TagObject> object = makeObject<TagObject>(tag);
        if (object) m_tagObjects.emplace(tag.get(), object);
        return object;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

bool IfdObject::removeTag(std::uint16_t id) {
    if (!m_ifd) return false;
    const std::shared_ptr<tagora::Tag> tag = m_ifd->find(id);
    if (!tag || !m_ifd->remove(id)) return false;
    m_tagObjects.erase(tag.get());
    return true;
}

STDMETHODIMP IfdObject::get_Tags(ITags** ppTags) {
    if (!ppTags) return E_POINTER;
    *ppTags = nullptr;
    ComPtr<TagsObject> tags = makeObject<TagsObject>(ComPtr<IfdObject>::share(this));
    if (!tags) return E_OUTOFMEMORY;
    *ppTags = tags.detach();
    return S_OK;
}

STDMETHODIMP IfdObject::get_Name(BSTR* name) {
    return guarded([&] { return toBstr(m_ifd ? std::string_view(m_ifd->name()) : std::string_view(), name); });
}

// ---------------------------------------------------------------------------
// Tags

const DispatchTable& TagsObject::dispatchTable() {
    static const DispatchTable table = describedTable(IID_ITags, {
        dispMethod<&ITags::Add, Returns::value>(nullptr, 0),
        dispMethod<&ITags::Delete>(nullptr, 0),
        dispGet<&ITags::get_Count>(nullptr, 0),
        dispGet<&ITags::get_Item>(nullptr, 0),
        dispGet<&ITags::get_ItemByIndex>(nullptr, 0),
        dispGet<&ITags::get__NewEnum>(nullptr, 0),
    });
    return table;
}

STDMETHODIMP TagsObject::Add(EXIFTAG ID, TAGTYPE Type, ITag** ppTag) {
    if (!ppTag) return E_POINTER;
    *ppTag = nullptr;
    if (!fits16(ID) || !fits16(Type)) return DISP_E_OVERFLOW;
    tagora::Ifd* ifd = directory();
    if (!ifd) return TAGORA_E_INVALIDINDEX;
    return guarded([&]() -> HRESULT {
        const auto id = static_cast<std::uint16_t>(ID);
        const std::shared_ptr<tagora::Tag> added = ifd->add(id, static_cast<std::uint16_t>(Type));
        if (!added) return TAGORA_E_INVALIDINDEX;
        ComPtr<TagObject> object = m_ifd->tagObject(added);
        if (!object) {
            // No object for it: the directory stays as it was.
            ifd->remove(id);
            return E_OUTOFMEMORY;
        }
        return shareAs(object, ppTag);
    });
}

STDMETHODIMP TagsObject::Delete(EXIFTAG ID) {
    if (!fits16(ID) || !m_ifd) return TAGORA_E_INVALIDINDEX;
    return guarded([&] { return m_ifd->removeTag(static_cast<std::uint16_t>(ID)) ? S_OK : TAGORA_E_INVALIDINDEX; });
}

STDMETHODIMP TagsObject::get_Count(LONG* count) {
    if (!count) return E_POINTER;
    const tagora::Ifd* ifd = directory();
    const std::size_t n = ifd ? ifd->count() : 0;
    *count = n > std::size_t(std::numeric_limits<LONG>::max()) ? std::numeric_limits<LONG>::max() : LONG(n);
    return S_OK;
}

STDMETHODIMP TagsObject::get_Item(EXIFTAG ID, ITag** ppTag) {
    if (!ppTag) return E_POINTER;
    *ppTag = nullptr;
    const tagora::Ifd* ifd = directory();
    if (!ifd || !fits16(ID)) return TAGORA_E_INVALIDINDEX;
    return guarded([&]() -> HRESULT {
        const auto tag = ifd->find(static_cast<std::uint16_t>(ID));
        if (!tag) return TAGORA_E_INVALIDINDEX;
        return shareAs(m_ifd->tagObject(tag), ppTag);
    });
}

STDMETHODIMP TagsObject::get_ItemByIndex(LONG index, ITag** ppTag) {
    if (!ppTag) return E_POINTER;
    *ppTag = nullptr;
    const tagora::Ifd* ifd = directory();
    if (!ifd || index < 0 || std::size_t(index) >= ifd->count()) return TAGORA_E_INVALIDINDEX;
    return guarded([&] { return shareAs(m_ifd->tagObject(ifd->at(std::size_t(index))), ppTag); });
}

STDMETHODIMP TagsObject::get__NewEnum(IUnknown** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    return guarded([&]() -> HRESULT {
        std::vector<platform::com::Variant> items;
        if (const tagora::Ifd* ifd = directory()) {
            items.reserve(ifd->count());
            for (std::size_t i = 0; i < ifd->count(); ++i) {
                ComPtr<TagObject> tag = m_ifd->tagObject(ifd->at(i));
                if (!tag) return E_OUTOFMEMORY;
                items.emplace_back(static_cast<IDispatch*>(static_cast<ITag*>(tag.get())));
            }
        }
        IEnumVARIANT* enumerator = nullptr;
        const HRESULT hr = platform::com::createVariantEnumerator(std::move(items), &enumerator);
        if (FAILED(hr)) return hr;
        *ppEnum = enumerator;
        return S_OK;
    });
}

// ---------------------------------------------------------------------------
// Marker

const DispatchTable& MarkerObject::dispatchTable() {
    static const DispatchTable table = describedTable(IID_IMarker, {
        dispGet<&IMarker::get_Code>(nullptr, 0),
        dispGet<&IMarker::get_Length>(nullptr, 0),
        dispGet<&IMarker::get_Data>(nullptr, 0),
        dispGet<&IMarker::get_Name>(nullptr, 0),
    });
    return table;
}

STDMETHODIMP MarkerObject::get_Code(LONG* code) {
    if (!code) return E_POINTER;
    *code = m_marker ? LONG(m_marker->code()) : 0;
    return S_OK;
}

STDMETHODIMP MarkerObject::get_Length(LONG* length) {
    if (!length) return E_POINTER;
    *length = m_marker ? LONG(m_marker->length()) : 0;
    return S_OK;
}

STDMETHODIMP MarkerObject::get_Data(VARIANT* data) {
    if (!data) return E_POINTER;
    VariantInit(data);
    static const std::vector<std::uint8_t> none;
    const std::vector<std::uint8_t>& bytes = m_marker ? m_marker->data() : none;
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, ULONG(bytes.size()));
    if (!array) return E_OUTOFMEMORY;
    void* target = nullptr;
    if (FAILED(SafeArrayAccessData(array, &target))) {
        SafeArrayDestroy(array);
        return E_OUTOFMEMORY;
    }
    if (!bytes.empty()) std::memcpy(target, bytes.data(), bytes.size());
    SafeArrayUnaccessData(array);
    data->vt = VT_ARRAY | VT_UI1;
    data->parray = array;
    return S_OK;
}

STDMETHODIMP MarkerObject::get_Name(BSTR* name) {
    // The identifier is bytes of the file; read them as the system code page.
    return cp932ToBstr(m_marker ? std::string_view(m_marker->name()) : std::string_view(), name);
}

// ---------------------------------------------------------------------------
// Exif

ExifObject::ExifObject() : m_exif(std::make_unique<tagora::Exif>()) {
    const auto wrap = [](const std::shared_ptr<tagora::Ifd>& ifd) {
        ComPtr<IfdObject> object = makeObject<IfdObject>(ifd);
        if (!object) throw std::bad_alloc();
        return object;
    };
    m_main = wrap(m_exif->ifdMain());
    m_thumbnail = wrap(m_exif->ifdThumbnail());
    m_sub = wrap(m_exif->ifdSub());
    m_interoperability = wrap(m_exif->ifdInteroperability());
    m_gps = wrap(m_exif->ifdGps());
}

const DispatchTable& ExifObject::dispatchTable() {
    static const DispatchTable table = describedTable(IID_IExif, {
        dispMethod<&IExif::SaveThumbnail, Returns::value>(nullptr, 0),
        dispMethod<&IExif::SaveHeader, Returns::value>(nullptr, 0),
        dispMethod<&IExif::RotateThumbnail>(nullptr, 0),
        dispGet<&IExif::get_IFDMain>(nullptr, 0),
        dispGet<&IExif::get_IFDThumbnail>(nullptr, 0),
        dispGet<&IExif::get_IFDSub>(nullptr, 0),
        dispGet<&IExif::get_IFDInteroperability>(nullptr, 0),
        dispGet<&IExif::get_IFDGps>(nullptr, 0),
        dispGet<&IExif::get_MarkerItem>(nullptr, 0),
        dispGet<&IExif::get_MarkerCount>(nullptr, 0),
        dispGet<&IExif::get_UserComment>(nullptr, 0),
        dispPut<&IExif::put_UserComment>(nullptr, 0),
    });
    return table;
}

bool ExifObject::load(const std::string& path) noexcept {
    try {
        if (!m_exif->load(path)) return false;
        m_markers.clear();
        for (const auto& marker : m_exif->markers()) {
            ComPtr<MarkerObject> object = makeObject<MarkerObject>(marker);
            if (!object) return false;
            m_markers.push_back(std::move(object));
        }
        return true;
    } catch (...) {
        return false;
    }
}

std::string ExifObject::failureText() const {
    std::string text;
    for (const std::string& d : m_exif->diagnostics()) text += (text.empty() ? "" : "; ") + d;
    return text.empty() ? "the file does not load" : text;
}

HRESULT ExifObject::handOut(const ComPtr<IfdObject>& ifd, IIfd** out) { return shareAs(ifd, out); }

STDMETHODIMP ExifObject::SaveThumbnail(BSTR filename, LONG* result) {
    if (!result) return E_POINTER;
    *result = 0;
    return guarded([&]() -> HRESULT {
        *result = m_exif->saveThumbnail(nativePath(filename));
        return *result ? S_OK : S_FALSE;
    });
}

STDMETHODIMP ExifObject::SaveHeader(BSTR, LONG* result) {
    if (!result) return E_POINTER;
    *result = 0;
    showNotProvided();
    return S_OK;
}

STDMETHODIMP ExifObject::RotateThumbnail(LONG angle) {
    return guarded([&] { return m_exif->rotateThumbnail(angle) ? S_OK : S_FALSE; });
}

STDMETHODIMP ExifObject::get_MarkerItem(LONG index, IMarker** ppMarker) {
    if (!ppMarker) return E_POINTER;
    *ppMarker = nullptr;
    if (index < 0 || std::size_t(index) >= m_markers.size()) return TAGORA_E_INVALIDINDEX;
    return shareAs(m_markers[std::size_t(index)], ppMarker);
}

STDMETHODIMP ExifObject::get_MarkerCount(LONG* count) {
    if (!count) return E_POINTER;
    *count = LONG(m_markers.size());
    return S_OK;
}

STDMETHODIMP ExifObject::get_UserComment(BSTR* text) {
    if (!text) return E_POINTER;
    return guarded([&] { return toBstr(m_exif->userComment(), text); });
}

STDMETHODIMP ExifObject::put_UserComment(BSTR text) {
    return guarded([&]() -> HRESULT {
        m_exif->setUserComment(platform::com::bstrView(text));
        return S_OK;
    });
}

}  // namespace tagora::com
