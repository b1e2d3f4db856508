// The type library TAGORALib: its attributes, the six dual interfaces with
// their members in vtable order (DISPID, kind, parameter names, help
// string) and the six classes. The dispatch tables of the objects take their
// names and DISPIDs from here, and registration takes the classes, ProgIDs
// and descriptions from here, so the three never disagree.
#pragma once

#include "platform/com/dispatch_table.h"
#include "platform/com/registration.h"

#include <initializer_list>
#include <span>
#include <vector>

namespace tagora::com {

struct MemberDescription {
    const char16_t* name;
    DISPID dispid;
    WORD kind;  ///< DISPATCH_METHOD, DISPATCH_PROPERTYGET or DISPATCH_PROPERTYPUT
    std::vector<const char16_t*> params;  ///< without the return value; a put's value last
    const char* helpString;
    bool restricted = false;
};

/// A dual, non-extensible, dispatchable interface.
struct InterfaceDescription {
    const char* name;
    IID iid;
    const char* description;  ///< the name followed by " Interface"
    std::vector<MemberDescription> members;  ///< in vtable order after IDispatch
};

/// A creatable class with its default interface.
struct ClassDescription {
    const char* name;
    CLSID clsid;
    const InterfaceDescription* defaultInterface;
    platform::com::ClassRegistration registration;
};

struct TypeLibraryDescription {
    GUID libid;
    const char* version;
    LCID lcid;
    const char* helpString;
    std::vector<InterfaceDescription> interfaces;
    std::vector<ClassDescription> classes;
};

const TypeLibraryDescription& typeLibrary();
/// The interface with the IID; it must be one of the six.
const InterfaceDescription& interfaceDescription(REFIID iid);

/// What DllRegisterServer writes and DllUnregisterServer removes.
std::span<const platform::com::ClassRegistration> classRegistrations();
const platform::com::TypeLibRegistration& typeLibRegistration();

/// The dispatch table of an interface. rows are the members in vtable
/// order, made by dispMethod / dispGet / dispPut of the member functions with
/// any name and DISPID: both, and the parameter names, are taken from the
/// description. A row whose kind or parameter count disagrees with the
/// description is a defect of the module; it stops the process at once
/// rather than dispatch to the wrong member.
platform::com::DispatchTable describedTable(REFIID iid, std::initializer_list<platform::com::DispMember> rows);

}  // namespace tagora::com
