#include "platform/paths.h"

#include <dlfcn.h>
#include <system_error>

namespace fs = std::filesystem;

namespace platform {

std::string executableFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return fs::current_path(ec).string();
    return exe.parent_path().string();
}

std::string moduleFolder(const void* addressInModule) {
    Dl_info info{};
    if (::dladdr(addressInModule, &info) == 0 || !info.dli_fname || !*info.dli_fname) return ".";
    const std::string file = info.dli_fname;
    const auto slash = file.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : file.substr(0, slash);
}

fs::path resolvedPath(std::string_view path) {
    const fs::path given{std::string(path)};
    std::error_code ec;
    fs::path abs = fs::absolute(given, ec);
    if (ec) return given.lexically_normal();
    const fs::path c = fs::weakly_canonical(abs, ec);
    return (ec ? abs : c).lexically_normal();
}

bool sameFile(std::string_view a, std::string_view b) {
    if (a.empty() || b.empty()) return false;
    const fs::path pa{std::string(a)}, pb{std::string(b)};
    std::error_code ec;
    if (fs::exists(pa, ec) && fs::exists(pb, ec) && fs::equivalent(pa, pb, ec)) return true;
    return resolvedPath(a) == resolvedPath(b);
}

}  // namespace platform
