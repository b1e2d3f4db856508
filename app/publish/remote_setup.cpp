#include "app/publish/remote_setup.h"

#include "app/publish/publisher.h"
#include "app/publish/rclone_process.h"

#include <algorithm>

namespace mirofoto::publish {
namespace {

bool plainName(const std::string& name) {
    return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](unsigned char c) {
               return std::isalnum(c) || c == '_' || c == '-';
           });
}

bool printable(const std::string& text) {
    return std::none_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; });
}

}  // namespace

std::string remoteSetupProblem(const RemoteSetup& s) {
    if (!plainName(s.name)) return "名前には英数字と _ - だけを使ってください（例: myserver）。";
    if (std::find(kSetupTypes.begin(), kSetupTypes.end(), s.type) == kSetupTypes.end())
        return "種類を選んでください。";
    if (s.host.empty()) return s.type == "webdav" ? "URL を入力してください。" : "ホスト名を入力してください。";
    if (s.type == "webdav" && !s.host.starts_with("https://") && !s.host.starts_with("http://"))
        return "URL は https:// で始めてください。";
    if (!s.port.empty() && (!std::all_of(s.port.begin(), s.port.end(), ::isdigit) || s.port.size() > 5 ||
                            std::stoi(s.port) < 1 || std::stoi(s.port) > 65535))
        return "ポートは 1 から 65535 の数で入力してください。";
    if (s.type != "webdav" && s.user.empty()) return "ユーザー名を入力してください。";
    if (s.type == "ftp" && s.password.empty()) return "FTP にはパスワードが要ります。";
    for (const std::string* text : {&s.host, &s.user, &s.password, &s.keyFile, &s.folder})
        if (!printable(*text)) return "改行や制御文字は使えません。";
    return {};
}

std::string setupTarget(const RemoteSetup& s) { return s.name + ":" + s.folder; }

std::vector<std::string> configCreateArgs(const RemoteSetup& s, const std::string& obscuredPassword) {
    std::vector<std::string> args{"config", "create", s.name, s.type};
    const auto add = [&](const char* key, const std::string& value) {
        if (value.empty()) return;
        args.push_back(key);
        args.push_back(value);
    };
    if (s.type == "webdav") {
        add("url", s.host);
        add("vendor", "other");
    } else {
        add("host", s.host);
        add("port", s.port);
    }
    add("user", s.user);
    add("pass", obscuredPassword);
    if (s.type == "sftp") add("key_file", s.keyFile);
    // Already obscured: rclone must store it as it is.
    args.insert(args.end(), {"--no-obscure", "--non-interactive", "-q"});
    return args;
}

bool createRemote(const RemoteSetup& setup, std::string* error) {
    const auto failed = [&](std::string why) {
        if (error) *error = std::move(why);
        return false;
    };
    if (std::string why = remoteSetupProblem(setup); !why.empty()) return failed(why);
    const std::string rclone = findRclone();
    if (rclone.empty()) return failed(rcloneMissingMessage());
    std::string obscured;
    if (!setup.password.empty()) {
        const ProcessOutcome out = runProgram(rclone, {"obscure", "-"}, nullptr, nullptr, setup.password + "\n");
        if (!out.started || out.exitCode != 0) return failed("パスワードを rclone に渡せませんでした。");
        obscured = out.output;
        while (!obscured.empty() && (obscured.back() == '\n' || obscured.back() == '\r')) obscured.pop_back();
    }
    std::string said;
    const ProcessOutcome out =
        runProgram(rclone, configCreateArgs(setup, obscured), [&](const std::string& l) { said += l + "\n"; }, nullptr);
    if (!out.started || out.exitCode != 0)
        return failed("rclone の設定を作れませんでした。" + (said.empty() ? std::string() : "\r" + said));
    return true;
}

}  // namespace mirofoto::publish
