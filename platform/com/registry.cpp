#include "platform/com/registry.h"

#include "platform/atomic_file.h"
#include "platform/paths.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <new>
#include <unistd.h>

namespace fs = std::filesystem;

namespace platform::com {

struct RegistryTree::Node {
    std::string name;
    /// Folded value name -> (name as written, data).
    std::map<std::string, std::pair<std::string, std::string>> values;
    /// Folded key name -> key.
    std::map<std::string, std::unique_ptr<Node>> children;
};

namespace {

std::string fold(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::vector<std::string_view> splitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = path.find('\\', start);
        parts.push_back(path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return parts;
}

bool hasControl(std::string_view s) {
    for (unsigned char c : s)
        if (c < 0x20 || c == 0x7F) return true;
    return false;
}

std::string quote(std::string_view s) {
    static const char* digits = "0123456789ABCDEF";
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                out += "\\x";
                out += digits[c >> 4];
                out += digits[c & 15];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

// Reads a quoted string at pos; pos ends after the closing quote.
std::optional<std::string> unquote(std::string_view line, std::size_t& pos) {
    if (pos >= line.size() || line[pos] != '"') return std::nullopt;
    std::string out;
    for (std::size_t i = pos + 1; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            pos = i + 1;
            return out;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= line.size()) return std::nullopt;
        switch (line[i]) {
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'x': {
            if (i + 2 >= line.size()) return std::nullopt;
            int v = 0;
            for (int k = 1; k <= 2; ++k) {
                const char h = line[i + k];
                v *= 16;
                if (h >= '0' && h <= '9') v += h - '0';
                else if (h >= 'a' && h <= 'f') v += h - 'a' + 10;
                else if (h >= 'A' && h <= 'F') v += h - 'A' + 10;
                else return std::nullopt;
            }
            out += static_cast<char>(v);
            i += 2;
            break;
        }
        default: return std::nullopt;
        }
    }
    return std::nullopt;
}

void skipSpaces(std::string_view line, std::size_t& pos) {
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
}

void serializeNode(const RegistryTree::Node& node, const std::string& path, std::string& out) {
    if (!path.empty()) {
        out += "\n[" + path + "]\n";
        for (const auto& [folded, value] : node.values)
            out += (value.first.empty() ? std::string("@") : quote(value.first)) + "=" + quote(value.second) + "\n";
    }
    for (const auto& [folded, child] : node.children)
        serializeNode(*child, path.empty() ? child->name : path + "\\" + child->name, out);
}

HRESULT errnoToHresult(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR: return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    case EACCES:
    case EPERM:
    case EROFS: return E_ACCESSDENIED;
    case ENOSPC:
    case EDQUOT: return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
    case ENOMEM: return E_OUTOFMEMORY;
    default: return REGDB_E_WRITEREGDB;
    }
}

HRESULT errorCodeToHresult(const std::error_code& ec) { return errnoToHresult(ec.value()); }

// Reads the whole file; a path that leads nowhere reports as "missing".
HRESULT readFile(const std::string& path, std::string& text, bool& missing) {
    const platform::FileRead r = platform::readFileBytes(path, text);
    missing = r == platform::FileRead::Missing;
    if (missing) text.clear();
    return r == platform::FileRead::Failed ? REGDB_E_READREGDB : S_OK;
}

}  // namespace

std::string registryPath() {
    if (const char* file = std::getenv("MIROFOTO_REGISTRY"); file && *file) return file;
    const auto inFolder = [](std::string folder) {
        if (folder.empty() || folder.back() != '/') folder += '/';
        return folder + "registry.ini";
    };
    // MIROFOTO_HOME moves the program's settings; the modules stay registered
    // where they were installed, beside the executable, unless that folder
    // holds a registry of its own.
    if (const char* home = std::getenv("MIROFOTO_HOME"); home && *home) {
        const std::string own = inFolder(home);
        if (::access(own.c_str(), F_OK) == 0) return own;
    }
    return inFolder(platform::executableFolder());
}

// ---------------------------------------------------------------------------
// RegistryTree

RegistryTree::RegistryTree() : m_root(std::make_unique<Node>()) {}
RegistryTree::~RegistryTree() = default;
RegistryTree::RegistryTree(RegistryTree&&) noexcept = default;
RegistryTree& RegistryTree::operator=(RegistryTree&&) noexcept = default;

bool RegistryTree::validPath(std::string_view path) {
    if (path.empty() || hasControl(path)) return false;
    for (std::string_view part : splitPath(path))
        if (part.empty()) return false;
    return true;
}

RegistryTree::Node* RegistryTree::find(std::string_view path) const {
    if (!validPath(path)) return nullptr;
    Node* node = m_root.get();
    for (std::string_view part : splitPath(path)) {
        auto it = node->children.find(fold(part));
        if (it == node->children.end()) return nullptr;
        node = it->second.get();
    }
    return node;
}

bool RegistryTree::keyExists(std::string_view path) const { return find(path) != nullptr; }

HRESULT RegistryTree::createKey(std::string_view path) {
    if (!validPath(path)) return E_INVALIDARG;
    Node* node = m_root.get();
    for (std::string_view part : splitPath(path)) {
        auto& slot = node->children[fold(part)];
        if (!slot) {
            slot = std::make_unique<Node>();
            slot->name = std::string(part);
        }
        node = slot.get();
    }
    return S_OK;
}

HRESULT RegistryTree::setValue(std::string_view path, std::string_view name, std::string_view data) {
    const HRESULT hr = createKey(path);
    if (FAILED(hr)) return hr;
    Node* node = find(path);
    node->values[fold(name)] = {std::string(name), std::string(data)};
    return S_OK;
}

std::optional<std::string> RegistryTree::queryValue(std::string_view path, std::string_view name) const {
    const Node* node = find(path);
    if (!node) return std::nullopt;
    auto it = node->values.find(fold(name));
    if (it == node->values.end()) return std::nullopt;
    return it->second.second;
}

bool RegistryTree::deleteValue(std::string_view path, std::string_view name) {
    Node* node = find(path);
    return node && node->values.erase(fold(name)) > 0;
}

bool RegistryTree::deleteTree(std::string_view path) {
    if (!validPath(path)) return false;
    const auto parts = splitPath(path);
    Node* parent = m_root.get();
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        auto it = parent->children.find(fold(parts[i]));
        if (it == parent->children.end()) return false;
        parent = it->second.get();
    }
    return parent->children.erase(fold(parts.back())) > 0;
}

std::vector<std::string> RegistryTree::subkeys(std::string_view path) const {
    std::vector<std::string> out;
    const Node* node = path.empty() ? m_root.get() : find(path);
    if (node)
        for (const auto& [folded, child] : node->children) out.push_back(child->name);
    return out;
}

std::vector<std::string> RegistryTree::valueNames(std::string_view path) const {
    std::vector<std::string> out;
    if (const Node* node = find(path))
        for (const auto& [folded, value] : node->values) out.push_back(value.first);
    return out;
}

bool RegistryTree::empty() const { return m_root->children.empty(); }

std::string RegistryTree::serialize() const {
    std::string out = "; COM class registry of mirofoto (written by regsvr; UTF-8)\n";
    serializeNode(*m_root, {}, out);
    return out;
}

RegistryTree RegistryTree::parse(std::string_view text, std::size_t* badLines) {
    RegistryTree tree;
    std::size_t bad = 0;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::string currentPath;
    bool haveKey = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        std::size_t pos = 0;
        skipSpaces(line, pos);
        line.remove_prefix(pos);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;

        if (line.front() == '[') {
            haveKey = false;
            if (line.back() != ']' || line.size() < 3) {
                ++bad;
                continue;
            }
            const std::string_view path = line.substr(1, line.size() - 2);
            if (FAILED(tree.createKey(path))) {
                ++bad;
                continue;
            }
            currentPath = std::string(path);
            haveKey = true;
            continue;
        }

        // A value line: @="data" or "name"="data".
        pos = 0;
        std::optional<std::string> name;
        if (line.front() == '@') {
            name = std::string();
            pos = 1;
        } else {
            name = unquote(line, pos);
        }
        skipSpaces(line, pos);
        if (!name || !haveKey || pos >= line.size() || line[pos] != '=') {
            ++bad;
            continue;
        }
        ++pos;
        skipSpaces(line, pos);
        const auto data = unquote(line, pos);
        skipSpaces(line, pos);
        if (!data || pos != line.size()) {
            ++bad;
            continue;
        }
        tree.setValue(currentPath, *name, *data);
    }
    if (badLines) *badLines = bad;
    return tree;
}

// ---------------------------------------------------------------------------
// RegistryFile

RegistryFile::RegistryFile(std::string path) : m_path(std::move(path)) {}

HRESULT RegistryFile::load(RegistryTree& tree) const {
    std::string text;
    bool missing = false;
    const HRESULT hr = readFile(m_path, text, missing);
    if (FAILED(hr)) return hr;
    tree = missing ? RegistryTree() : RegistryTree::parse(text);
    return S_OK;
}

HRESULT RegistryFile::update(const std::function<HRESULT(RegistryTree&)>& edit) {
    std::error_code ec;
    const fs::path folder = fs::path(m_path).parent_path();
    if (!folder.empty()) {
        fs::create_directories(folder, ec);
        if (ec) return errorCodeToHresult(ec);
    }
    // The lock lives in its own file: the registry file itself is replaced
    // by every write, so a lock on it would not hold.
    const std::string lockPath = m_path + ".lock";
    const int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lock < 0) return errnoToHresult(errno);
    while (::flock(lock, LOCK_EX) != 0) {
        if (errno != EINTR) {
            const int error = errno;
            ::close(lock);
            return errnoToHresult(error);
        }
    }

    HRESULT hr = S_OK;
    std::string text;
    bool missing = false;
    hr = readFile(m_path, text, missing);
    if (SUCCEEDED(hr)) {
        std::size_t bad = 0;
        RegistryTree tree = missing ? RegistryTree() : RegistryTree::parse(text, &bad);
        try {
            hr = edit(tree);
        } catch (const std::bad_alloc&) {
            hr = E_OUTOFMEMORY;
        } catch (...) {
            hr = E_UNEXPECTED;
        }
        if (SUCCEEDED(hr) && bad > 0) {
            fs::copy_file(m_path, m_path + ".bad", fs::copy_options::overwrite_existing, ec);
            if (ec) hr = errorCodeToHresult(ec);
        }
        if (SUCCEEDED(hr)) {
            // A crash must not lose the registrations: flushed to the disk.
            const std::error_code written =
                platform::replaceFileContents(m_path, tree.serialize(), {platform::AtTargetLink::Replace, true});
            if (written) hr = errorCodeToHresult(written);
        }
        // What writers that were killed left beside the file goes.
        platform::removeStaleTemporaries(folder.empty() ? "." : folder.string());
    }
    ::flock(lock, LOCK_UN);
    ::close(lock);
    return hr;
}

}  // namespace platform::com
