// The Kelpo control: class Kelpo with its default interface _Kelpo, its
// class factory, its registration and the module exports.
#include "kelpo/frm_ver.h"
#include "kelpo/kelpo.h"

#include "platform/com/bstr.h"
#include "platform/com/dispatch_table.h"
#include "platform/com/object.h"
#include "platform/com/registration.h"
#include "platform/twips.h"

#include <QString>

using namespace platform::com;

namespace kelpo {
namespace {

// Whatever size the host gives it, the control keeps this one.
constexpr int kExtentTwips = 495;

class KelpoControl final
    : public DualObject<KelpoControl, _Kelpo, IControlExtent, IPersist, ISupportErrorInfo> {
public:
    static const DispatchTable& dispatchTable() {
        static const DispatchTable table{
            dispMethod<&_Kelpo::VerShow>(u"VerShow", DISPID_Kelpo_VerShow, {u"pgname", u"ver"}),
        };
        return table;
    }

    STDMETHODIMP VerShow(BSTR pgname, BSTR ver) override {
        // The dialog runs an event loop in which the host may release the
        // control: hold it, and so the module, until the call is over.
        const ComPtr<KelpoControl> self = ComPtr<KelpoControl>::share(this);
        const auto text = [](BSTR b) {
            const auto v = bstrView(b);
            return QString::fromUtf16(v.data(), qsizetype(v.size()));
        };
        return showVersionDialog(text(pgname), text(ver));
    }

    // IControlExtent: the control sets its width and height back to 495
    // twips whenever the host resizes it.
    STDMETHODIMP SetExtent(DWORD dwDrawAspect, SIZEL* psizel) override {
        if (!psizel) return E_POINTER;
        if (dwDrawAspect != DVASPECT_CONTENT) return E_INVALIDARG;
        return S_OK;
    }
    STDMETHODIMP GetExtent(DWORD dwDrawAspect, SIZEL* psizel) override {
        if (!psizel) return E_POINTER;
        if (dwDrawAspect != DVASPECT_CONTENT) return E_INVALIDARG;
        psizel->cx = psizel->cy = platform::twipsToHimetric(kExtentTwips);
        return S_OK;
    }

    // IPersist: the class information a host can use here.
    STDMETHODIMP GetClassID(CLSID* pClassID) override {
        if (!pClassID) return E_POINTER;
        *pClassID = CLSID_Kelpo;
        return S_OK;
    }

    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override {
        return IsEqualIID(riid, IID__Kelpo) ? S_OK : S_FALSE;
    }
};

const ClassEntry kClasses[] = {{&CLSID_Kelpo, &factoryOf<KelpoControl>}};

const ClassRegistration kRegistration[] = {{
    .clsid = CLSID_Kelpo,
    .description = "Kelpo Class",
    .progId = "Kelpo.Kelpo.1",
    .versionIndependentProgId = "Kelpo.Kelpo",
    .typeLib = LIBID_VBP_Kelpo,
    .threadingModel = "Apartment",
    .control = true,
    .toolboxBitmap = "30000",
    // Set client site first, invisible at run time, activate when visible,
    // inside-out, cannot link inside, recompose on resize.
    .miscStatus = "132497",
    .version = "1.0",
}};

const InterfaceRegistration kInterfaces[] = {{IID__Kelpo, "_Kelpo"}};

const TypeLibRegistration kTypeLib{LIBID_VBP_Kelpo, "1.0", "バージョン情報ダイアログ表示OCX", "2", kInterfaces};

}  // namespace
}  // namespace kelpo

MIROFOTO_COM_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    return getClassObject(kelpo::kClasses, rclsid, riid, ppv);
}

MIROFOTO_COM_EXPORT HRESULT DllCanUnloadNow() { return moduleCanUnloadNow(); }

MIROFOTO_COM_EXPORT HRESULT DllRegisterServer() {
    return registerModule(kelpo::kRegistration, &kelpo::kTypeLib, reinterpret_cast<const void*>(&DllRegisterServer));
}

MIROFOTO_COM_EXPORT HRESULT DllUnregisterServer() {
    return unregisterModule(kelpo::kRegistration, &kelpo::kTypeLib);
}
