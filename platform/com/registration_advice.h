// When a registered class cannot be created, the user needs to know why and
// what to run: the module was never registered (or the registry was not
// written at install time), it was moved or deleted after registration, or
// it no longer loads.
#pragma once

#include <string>
#include <string_view>

namespace platform::com {

struct RegistrationAdvice {
    enum class Problem {
        NotRegistered,  ///< the registry names no module for the class
        ModuleMissing,  ///< the module it names is not there (moved or deleted)
        ModuleFailed,   ///< the module is there but does not give the class
    };
    Problem problem = Problem::NotRegistered;
    std::string registry;          ///< the registry file in force
    std::string registeredModule;  ///< the module the registry names; empty for none
    /// The command that registers the module again, with real paths: regsvr
    /// and the module beside the running program when they are there.
    std::string command;
    /// The registry file cannot be written by this user: run it as root.
    bool asAdministrator = false;
};

/// Looks up progId in the registry in force and says what is wrong;
/// moduleFileName ("libtagora.so") names the module that provides it.
RegistrationAdvice adviseRegistration(std::string_view progId, std::string_view moduleFileName);

/// The advice as the program tells it (Japanese, single CR line breaks).
std::string registrationAdviceText(std::string_view progId, const RegistrationAdvice& advice);

}  // namespace platform::com
