#include "app/publish/publish_target.h"

#include "app/util/paths.h"
#include "app/util/storage_location.h"
#include "platform/atomic_file.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace mirofoto::publish {
namespace {

// The remote part of a target: up to the first ':' that is not inside
// quotes (an inline remote begins with ':' itself). Empty for a local path.
std::string_view remotePart(std::string_view target) {
    if (target.empty() || target[0] == '/' || target[0] == '.') return {};
    char quote = 0;
    for (std::size_t i = target[0] == ':' ? 1 : 0; i < target.size(); ++i) {
        const char c = target[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ':') {
            return target.substr(0, i);
        } else if (c == '/' && target[0] != ':') {
            return {};  // a path before any ':' is a local path
        }
    }
    return {};
}

// The "name=value" parameters of a remote part, names in lower case with
// '-' read as '_' (rclone reads them so).
std::vector<std::pair<std::string, std::string>> parameters(std::string_view remote) {
    std::vector<std::pair<std::string, std::string>> out;
    std::vector<std::string> pieces(1);
    char quote = 0;
    for (const char c : remote) {
        if (quote) {
            if (c == quote) quote = 0;
            else pieces.back() += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ',') {
            pieces.emplace_back();
        } else {
            pieces.back() += c;
        }
    }
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        const std::string& p = pieces[i];
        const std::size_t eq = p.find('=');
        std::string name = p.substr(0, eq);
        for (char& c : name) c = c == '-' ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        out.emplace_back(name, eq == std::string::npos ? "true" : p.substr(eq + 1));
    }
    return out;
}

// Parameter names whose value is a secret: passwords, passphrases, private
// keys, tokens, the secret half of an access key.
bool secretName(const std::string& name) {
    static const char* const kParts[] = {"pass", "secret", "token", "key_pem", "private_key", "credentials",
                                         "sse_customer_key"};
    return std::any_of(std::begin(kParts), std::end(kParts),
                       [&](const char* part) { return name.find(part) != std::string::npos; }) &&
           name != "ask_password";
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

std::string targetFile(const std::string& outputFolder) {
    return outputStateFolder(storageLocation(), outputFolder) + "publish/target";
}

}  // namespace

std::string targetProblem(std::string_view target) {
    if (target.empty()) return "公開先が空です。";
    if (std::any_of(target.begin(), target.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; }))
        return "公開先に改行や制御文字は使えません。";
    if (target.front() == ' ' || target.back() == ' ') return "公開先の前後に空白は使えません。";
    const std::string_view remote = remotePart(target);
    if (target.front() == ':' && (remote.empty() || remote == ":"))
        return "公開先の書き方が正しくありません（:種類,設定=値:パス、たとえば :sftp,host=example.org:/var/www）。";
    // Every "name=value" of the text counts, not only those of a well-formed
    // remote: a secret in a misquoted text is still a secret.
    for (const auto& [name, value] : parameters(target))
        if (secretName(name))
            return "公開先にパスワードや鍵（" + name +
                   "=）を書くことはできません。rclone の設定（rclone config）か SSH の鍵に置いてください。";
    return {};
}

std::string targetPath(std::string_view target, std::string_view relative) {
    std::string out(target);
    if (relative.empty()) return out;
    if (!out.empty() && out.back() != ':' && out.back() != '/') out += '/';
    out += relative;
    return out;
}

std::string targetHost(std::string_view target) {
    for (const auto& [name, value] : parameters(remotePart(target)))
        if (name == "host") return value;
    return {};
}

std::string knownHostsFile() { return homeFolder() + "/.ssh/known_hosts"; }

std::string storedTarget(const std::string& outputFolder) {
    std::string text;
    if (platform::readFileBytes(targetFile(outputFolder), text) != platform::FileRead::Ok) return {};
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return targetProblem(text).empty() ? text : std::string();
}

bool storeTarget(const std::string& outputFolder, const std::string& target, std::string* error) {
    if (std::string why = targetProblem(target); !why.empty()) {
        if (error) *error = why;
        return false;
    }
    const std::string file = targetFile(outputFolder);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
    return platform::writeFileAtomically(file, target + "\n", platform::kUsersFile, error);
}

}  // namespace mirofoto::publish
