// The registry of COM classes: a tree of keys, each with a default value and
// named string values, kept in one text file. It stands for the classes root
// of the Windows registry; paths separate keys with "\" and keys and value
// names are matched without regard to ASCII letter case.
//
// The file is UTF-8 text in the form
//
//     [CLSID\{A54D405A-4506-11D3-B18D-444553540000}\InprocServer32]
//     @="/opt/mirofoto/libkelpo.so"
//     "ThreadingModel"="Apartment"
//
// one header per key, "@" for the default value, strings in double quotes
// with \\, \", \n, \r, \t and \xHH escapes; ";" starts a comment line.
#pragma once

#include "platform/com/com.h"

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::com {

/// The registry file in force: the file named by MIROFOTO_REGISTRY when it
/// is set, else "registry.ini" in MIROFOTO_HOME when that is set and the
/// file exists there, else "registry.ini" beside the running executable.
std::string registryPath();

/// An in-memory registry tree.
class RegistryTree {
public:
    RegistryTree();
    ~RegistryTree();
    RegistryTree(RegistryTree&&) noexcept;
    RegistryTree& operator=(RegistryTree&&) noexcept;

    /// True for a key path made of non-empty names without control
    /// characters, separated by single "\".
    static bool validPath(std::string_view path);

    bool keyExists(std::string_view path) const;
    /// Creates the key and every missing key above it. E_INVALIDARG for an
    /// invalid path.
    HRESULT createKey(std::string_view path);
    /// Sets a value (the empty name is the default value), creating the key.
    HRESULT setValue(std::string_view path, std::string_view name, std::string_view data);
    /// The value, or nothing when the key or the value does not exist.
    std::optional<std::string> queryValue(std::string_view path, std::string_view name = {}) const;
    /// False when there was no such value.
    bool deleteValue(std::string_view path, std::string_view name);
    /// Removes the key with everything below it; false when there was none.
    bool deleteTree(std::string_view path);
    /// The names of the direct subkeys, in order of their folded names.
    std::vector<std::string> subkeys(std::string_view path) const;
    /// The names of the values of the key ("" for the default value).
    std::vector<std::string> valueNames(std::string_view path) const;
    bool empty() const;

    /// The file form of the tree.
    std::string serialize() const;
    /// Reads the file form. Lines that do not parse (and values under a
    /// header that does not) are skipped and counted in badLines.
    static RegistryTree parse(std::string_view text, std::size_t* badLines = nullptr);

    struct Node;

private:
    Node* find(std::string_view path) const;
    std::unique_ptr<Node> m_root;
};

/// The registry file. Reads take a snapshot. An update locks the file
/// against every other writer (processes and threads), reads it afresh,
/// applies the edit and replaces the file through a temporary file and a
/// rename, so a reader never sees half a file and no update is lost.
class RegistryFile {
public:
    explicit RegistryFile(std::string path = registryPath());
    const std::string& path() const { return m_path; }

    /// The keys of the file; S_OK with an empty tree when the file does not
    /// exist, REGDB_E_READREGDB when it exists but cannot be read.
    HRESULT load(RegistryTree& tree) const;
    /// Runs the edit on the current contents and writes the result when the
    /// edit succeeds; returns the edit's failure or REGDB_E_WRITEREGDB-class
    /// codes for a file that cannot be written. When the old file held lines
    /// that did not parse, it is kept as "<file>.bad" before it is replaced,
    /// so nothing written by hand is lost silently.
    HRESULT update(const std::function<HRESULT(RegistryTree&)>& edit);

private:
    std::string m_path;
};

}  // namespace platform::com
