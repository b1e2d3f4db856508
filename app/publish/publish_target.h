// A publish target: an rclone remote path, either a remote of the user's own
// rclone configuration ("myserver:public_html/album"), an inline one
// (":sftp,host=example.org,user=me:/var/www/album") or a local folder. We
// keep the text in the program's settings, so it must never carry a secret:
// passwords and keys belong in rclone's configuration or the user's SSH keys.
#pragma once

#include <string>
#include <string_view>

namespace mirofoto::publish {

/// Why a target text cannot be used (or stored); empty when it can.
std::string targetProblem(std::string_view target);

/// The target with a path below it ("dir/file" under "remote:" or
/// "remote:base").
std::string targetPath(std::string_view target, std::string_view relative);

/// The host part of an inline or configured SFTP target for messages, when
/// the text names one ("example.org" of ":sftp,host=example.org:"); empty
/// otherwise.
std::string targetHost(std::string_view target);

/// The user's known hosts file, against which SSH host keys are checked:
/// ~/.ssh/known_hosts.
std::string knownHostsFile();

/// The stored target of an output folder (empty when none) and storing one.
/// The text is stored only when targetProblem() finds nothing; false with
/// *error saying why otherwise.
std::string storedTarget(const std::string& outputFolder);
bool storeTarget(const std::string& outputFolder, const std::string& target, std::string* error = nullptr);

}  // namespace mirofoto::publish
