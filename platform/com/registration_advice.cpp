#include "platform/com/registration_advice.h"

#include "platform/com/registry.h"
#include "platform/paths.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace platform::com {
namespace {

bool isFile(const fs::path& p) {
    std::error_code ec;
    return !p.empty() && fs::is_regular_file(p, ec);
}

// Whether this user may replace the registry file (through a temporary file
// beside it, so its folder must be writable).
bool registryWritable(const std::string& registry) {
    const fs::path folder = fs::path(registry).parent_path();
    return ::access(folder.empty() ? "." : folder.c_str(), W_OK) == 0 &&
           (::access(registry.c_str(), F_OK) != 0 || ::access(registry.c_str(), W_OK) == 0);
}

std::string shellQuoted(const std::string& path) {
    if (path.find_first_of(" \t'\"$`\\") == std::string::npos) return path;
    std::string q = "'";
    for (char c : path) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

}  // namespace

RegistrationAdvice adviseRegistration(std::string_view progId, std::string_view moduleFileName) {
    RegistrationAdvice advice;
    advice.registry = registryPath();
    RegistryTree tree;
    RegistryFile(advice.registry).load(tree);
    if (const auto clsid = tree.queryValue(std::string(progId) + "\\CLSID"))
        advice.registeredModule = tree.queryValue("CLSID\\" + *clsid + "\\InprocServer32").value_or("");
    advice.problem = advice.registeredModule.empty()      ? RegistrationAdvice::Problem::NotRegistered
                     : !isFile(advice.registeredModule) ? RegistrationAdvice::Problem::ModuleMissing
                                                        : RegistrationAdvice::Problem::ModuleFailed;

    // regsvr and the modules are installed beside the running program.
    const fs::path here = platform::executableFolder();
    const fs::path regsvr = here / "regsvr";
    std::string module(moduleFileName);
    if (isFile(here / moduleFileName)) module = (here / moduleFileName).string();
    else if (isFile(advice.registeredModule)) module = advice.registeredModule;
    std::string command;
    if (const char* named = std::getenv("MIROFOTO_REGISTRY"); named && *named)
        command = "MIROFOTO_REGISTRY=" + shellQuoted(named) + " ";
    command += (isFile(regsvr) ? shellQuoted(regsvr.string()) : std::string("regsvr")) + " " + shellQuoted(module);
    advice.command = command;
    advice.asAdministrator = !registryWritable(advice.registry);
    return advice;
}

std::string registrationAdviceText(std::string_view progId, const RegistrationAdvice& a) {
    std::string text(progId);
    switch (a.problem) {
    case RegistrationAdvice::Problem::NotRegistered:
        text += " は登録されていません（" + a.registry + "）。";
        break;
    case RegistrationAdvice::Problem::ModuleMissing:
        text += " のモジュール " + a.registeredModule + " がありません（移動または削除されました）。";
        break;
    case RegistrationAdvice::Problem::ModuleFailed:
        text += " のモジュール " + a.registeredModule + " を読み込めません。";
        break;
    }
    text += a.asAdministrator ? "\r管理者（root）で次のコマンドを実行して登録してください: "
                              : "\r次のコマンドで登録してください: ";
    return text + a.command;
}

}  // namespace platform::com
