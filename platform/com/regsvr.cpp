// regsvr: registers an in-process COM module in the registry file, or
// removes its registration.
//
//   regsvr [-u] [-s] module.so
//
// The registry file is the one the runtime uses everywhere: MIROFOTO_REGISTRY,
// else registry.ini in MIROFOTO_HOME when one is there, else registry.ini
// beside regsvr.
#include "platform/com/creation.h"
#include "platform/com/registry.h"
#include "platform/format.h"

#include <cstdio>
#include <iostream>
#include <string>

namespace {

using platform::hexCode;

void usage(std::ostream& out) {
    out << "usage: regsvr [-u] [-s] module.so\n"
           "  -u  remove the module's registration\n"
           "  -s  print nothing on success\n";
}

}  // namespace

int main(int argc, char** argv) {
    bool unregister = false, silent = false;
    std::string module;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-u") unregister = true;
        else if (arg == "-s") silent = true;
        else if (arg == "-h" || arg == "--help") {
            usage(std::cout);
            return 0;
        } else if (!arg.empty() && arg[0] == '-') {
            std::cerr << "regsvr: unknown option " << arg << "\n";
            usage(std::cerr);
            return 2;
        } else if (module.empty()) module = arg;
        else {
            usage(std::cerr);
            return 2;
        }
    }
    if (module.empty()) {
        usage(std::cerr);
        return 2;
    }

    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    std::string message;
    const HRESULT hr = platform::com::registerServer(module, unregister, &message);
    const std::string registry = platform::com::registryPath();
    if (FAILED(hr)) {
        std::cerr << "regsvr: " << entry << " in " << module << " failed: " << hexCode(hr);
        if (!message.empty()) std::cerr << " (" << message << ")";
        std::cerr << "\n  registry: " << registry << "\n";
        return 1;
    }
    if (!silent) std::cout << "regsvr: " << entry << " in " << module << " succeeded (registry " << registry << ")\n";
    return 0;
}
