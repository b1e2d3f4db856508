// A COM control placed on a window: created by its ProgID when the window
// loads, held until the window closes. A class that is not registered (or a
// module that fails to load) leaves the control missing; the command that
// needs it then says so.
#pragma once

#include "platform/com/comptr.h"

#include <string>

namespace mirofoto::mainwindow {

class HostedControl {
public:
    explicit HostedControl(std::string progId) : m_progId(std::move(progId)) {}
    ~HostedControl() { release(); }
    HostedControl(const HostedControl&) = delete;
    HostedControl& operator=(const HostedControl&) = delete;

    /// Creates the control unless it exists; the creation's result.
    HRESULT create();
    /// Lets the control go.
    void release();

    IDispatch* get() const { return m_object.get(); }
    HRESULT result() const { return m_result; }
    const std::string& progId() const { return m_progId; }

    /// The message for a command that needs the missing control: what
    /// cannot be done, CR, which control is missing and the creation's code.
    std::string missingMessage(const std::string& whatFails) const;

private:
    std::string m_progId;
    platform::com::ComPtr<IDispatch> m_object;
    HRESULT m_result = E_FAIL;
};

}  // namespace mirofoto::mainwindow
