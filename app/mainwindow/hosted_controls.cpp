#include "app/mainwindow/hosted_controls.h"

#include "platform/com/creation.h"
#include "platform/format.h"

namespace mirofoto::mainwindow {

HRESULT HostedControl::create() {
    if (m_object) return S_OK;
    m_result = platform::com::createObject(m_progId, m_object);
    if (FAILED(m_result)) m_object.reset();
    return m_result;
}

void HostedControl::release() {
    if (!m_object) return;
    m_object.reset();
    CoFreeUnusedLibraries();
}

std::string HostedControl::missingMessage(const std::string& whatFails) const {
    return whatFails + "\r「" + m_progId + "」コントロールが登録されていないか、読み込めません（" +
           platform::hexCode(static_cast<std::uint32_t>(m_result)) + "）。";
}

}  // namespace mirofoto::mainwindow
