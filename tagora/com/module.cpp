// The exports of libtagora.so: class objects of the six classes, the
// module's unload answer and its registration.
#include "platform/com/object.h"
#include "platform/com/registration.h"
#include "tagora/com/exif_ctl.h"
#include "tagora/com/objects.h"
#include "tagora/com/type_library.h"

using namespace platform::com;

namespace tagora::com {
namespace {

const ClassEntry kClasses[] = {
    {&CLSID_ExifCtl, &exifCtlFactory},
    {&CLSID_Exif, &factoryOf<ExifObject>},
    {&CLSID_Marker, &factoryOf<MarkerObject>},
    {&CLSID_Ifd, &factoryOf<IfdObject>},
    {&CLSID_Tags, &factoryOf<TagsObject>},
    {&CLSID_Tag, &factoryOf<TagObject>},
};

// The tag-name tables and the type description are built while the module
// loads, before any object exists; afterwards they are only read.
[[maybe_unused]] const bool kTablesBuilt = [] {
    tagora::mainTable();
    tagora::exifTable();
    tagora::gpsTable();
    tagora::interoperabilityTable();
    typeLibrary();
    return true;
}();

}  // namespace
}  // namespace tagora::com

MIROFOTO_COM_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    return getClassObject(tagora::com::kClasses, rclsid, riid, ppv);
}

MIROFOTO_COM_EXPORT HRESULT DllCanUnloadNow() { return moduleCanUnloadNow(); }

MIROFOTO_COM_EXPORT HRESULT DllRegisterServer() {
    return registerModule(tagora::com::classRegistrations(), &tagora::com::typeLibRegistration(),
                          reinterpret_cast<const void*>(&DllRegisterServer));
}

MIROFOTO_COM_EXPORT HRESULT DllUnregisterServer() {
    return unregisterModule(tagora::com::classRegistrations(), &tagora::com::typeLibRegistration());
}
