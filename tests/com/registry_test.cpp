#include "platform/com/registry.h"

#include "platform/atomic_file.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <thread>

using namespace platform::com;
using testing_support::readBytes;
using testing_support::TempDir;
using testing_support::writeBytes;

namespace {

// Sets an environment variable for the scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        if (value) ::setenv(name, value, 1);
        else ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_old) ::setenv(m_name, m_old->c_str(), 1);
        else ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

}  // namespace

TEST(RegistryTree, KeysAndValueNamesIgnoreAsciiCase) {
    RegistryTree tree;
    ASSERT_EQ(tree.setValue("CLSID\\{ABC}\\InprocServer32", "", "/lib/x.so"), S_OK);
    ASSERT_EQ(tree.setValue("CLSID\\{ABC}\\InprocServer32", "ThreadingModel", "Apartment"), S_OK);
    EXPECT_EQ(tree.queryValue("clsid\\{abc}\\inprocserver32"), "/lib/x.so");
    EXPECT_EQ(tree.queryValue("CLSID\\{ABC}\\InprocServer32", "threadingmodel"), "Apartment");
    EXPECT_FALSE(tree.queryValue("CLSID\\{ABC}\\InprocServer32", "Other"));
    EXPECT_FALSE(tree.queryValue("CLSID\\{ABD}"));
    // The name keeps the letter case it was first written with.
    EXPECT_EQ(tree.subkeys("CLSID"), std::vector<std::string>{"{ABC}"});
    tree.setValue("clsid\\{abc}", "", "x");
    EXPECT_EQ(tree.subkeys("CLSID"), std::vector<std::string>{"{ABC}"});
}

TEST(RegistryTree, DeleteTreeTakesTheKeyWithEverythingBelowIt) {
    RegistryTree tree;
    tree.setValue("A\\B\\C", "", "1");
    tree.setValue("A\\B", "n", "2");
    tree.setValue("A\\Sibling", "", "3");
    EXPECT_TRUE(tree.deleteTree("a\\b"));
    EXPECT_FALSE(tree.keyExists("A\\B"));
    EXPECT_FALSE(tree.keyExists("A\\B\\C"));
    EXPECT_EQ(tree.queryValue("A\\Sibling"), "3");
    EXPECT_FALSE(tree.deleteTree("A\\B"));
    EXPECT_FALSE(tree.deleteTree("Nothing\\Here"));
}

TEST(RegistryTree, MalformedPathsAreRefused) {
    RegistryTree tree;
    for (const char* path : {"", "A\\\\B", "A\\", "\\A", "A\nB", "A\rB"})
        EXPECT_EQ(tree.setValue(path, "", "x"), E_INVALIDARG) << path;
    EXPECT_TRUE(tree.empty());
}

TEST(RegistryTree, FileFormRoundTripsEveryValue) {
    RegistryTree tree;
    tree.setValue("Key\\With ] bracket", "", "plain");
    tree.setValue("Key", "quote\"name", "a \"quoted\" \\ back\\slash");
    tree.setValue("Key", "lines", "one\ntwo\r\nthree\ttab\x01\x7F");
    tree.setValue("日本語キー", "名前", "バージョン情報ダイアログ表示OCX");
    tree.createKey("Empty\\Leaf");
    const std::string text = tree.serialize();

    std::size_t bad = 99;
    const RegistryTree back = RegistryTree::parse(text, &bad);
    EXPECT_EQ(bad, 0u);
    EXPECT_EQ(back.serialize(), text);
    EXPECT_EQ(back.queryValue("Key\\With ] bracket"), "plain");
    EXPECT_EQ(back.queryValue("Key", "quote\"name"), "a \"quoted\" \\ back\\slash");
    EXPECT_EQ(back.queryValue("Key", "lines"), "one\ntwo\r\nthree\ttab\x01\x7F");
    EXPECT_EQ(back.queryValue("日本語キー", "名前"), "バージョン情報ダイアログ表示OCX");
    EXPECT_TRUE(back.keyExists("Empty\\Leaf"));
}

TEST(RegistryTree, LinesThatDoNotParseAreSkippedAndCounted) {
    const std::string text =
        "\xEF\xBB\xBF; comment\r\n"
        "@=\"before any key\"\r\n"       // bad: no key yet
        "[Good]\r\n"
        "@=\"default\"\r\n"
        "\"name\"=\"value\"\r\n"
        "\"unterminated=\"x\r\n"          // bad
        "\"n\"=\"v\" trailing\r\n"        // bad
        "\"esc\"=\"\\q\"\r\n"             // bad escape
        "[Bad\\\\Path]\r\n"               // bad header
        "\"orphan\"=\"lost\"\r\n"         // bad: under the bad header
        "[Next]\r\n"
        "  \"spaced\"  =  \"ok\"  \r\n"
        "garbage line\r\n";               // bad
    std::size_t bad = 0;
    const RegistryTree tree = RegistryTree::parse(text, &bad);
    EXPECT_EQ(bad, 7u);
    EXPECT_EQ(tree.queryValue("Good"), "default");
    EXPECT_EQ(tree.queryValue("Good", "name"), "value");
    EXPECT_EQ(tree.queryValue("Next", "spaced"), "ok");
    EXPECT_FALSE(tree.keyExists("Bad"));
}

TEST(RegistryTree, RandomBytesNeverBreakTheParser) {
    std::mt19937 random(20260101);
    const std::string alphabet = "[]\\\"=@\n\r;x\x01\xFF";
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const int length = int(random() % 400);
        for (int i = 0; i < length; ++i)
            text += random() % 3 ? alphabet[random() % alphabet.size()] : char(random() % 256);
        const RegistryTree tree = RegistryTree::parse(text);
        // Whatever survived is stable once written.
        const std::string once = tree.serialize();
        std::size_t bad = 1;
        EXPECT_EQ(RegistryTree::parse(once, &bad).serialize(), once);
        EXPECT_EQ(bad, 0u);
    }
}

TEST(RegistryFile, UpdatesPersistAndLeaveNoTemporaryFile) {
    TempDir dir;
    const std::string path = dir.str("sub/registry.ini");  // the folder is made on the first write
    RegistryFile file(path);
    RegistryTree empty;
    EXPECT_EQ(file.load(empty), S_OK);
    EXPECT_TRUE(empty.empty());

    ASSERT_EQ(file.update([](RegistryTree& t) { return t.setValue("Kelpo.Kelpo\\CLSID", "", "{X}"); }), S_OK);
    // What a writer killed before its rename left (an id no process has).
    std::string stale = platform::newTemporaryName();
    stale.replace(10, 8, "7ffffff0");
    writeBytes(dir / "sub" / stale, "partial");
    ASSERT_EQ(file.update([](RegistryTree& t) { return t.setValue("Other", "", "y"); }), S_OK);
    RegistryTree reread;
    ASSERT_EQ(RegistryFile(path).load(reread), S_OK);
    EXPECT_EQ(reread.queryValue("Kelpo.Kelpo\\CLSID"), "{X}");
    EXPECT_EQ(reread.queryValue("Other"), "y");

    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "sub"))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"registry.ini", "registry.ini.lock"}));
}

TEST(RegistryFile, FailedEditWritesNothing) {
    TempDir dir;
    RegistryFile file(dir.str("registry.ini"));
    file.update([](RegistryTree& t) { return t.setValue("Keep", "", "1"); });
    const std::string before = readBytes(file.path());
    EXPECT_EQ(file.update([](RegistryTree& t) {
                  t.deleteTree("Keep");
                  return E_FAIL;
              }),
              E_FAIL);
    EXPECT_EQ(readBytes(file.path()), before);
    EXPECT_EQ(file.update([](RegistryTree&) -> HRESULT { throw std::runtime_error("edit"); }), E_UNEXPECTED);
    EXPECT_EQ(readBytes(file.path()), before);
}

TEST(RegistryFile, UnparsableLinesAreKeptAsideBeforeARewrite) {
    TempDir dir;
    const std::string path = dir.str("registry.ini");
    const std::string original = "[Good]\n@=\"1\"\nthis line is not registry text\n";
    writeBytes(path, original);
    RegistryFile file(path);
    ASSERT_EQ(file.update([](RegistryTree& t) { return t.setValue("New", "", "2"); }), S_OK);
    EXPECT_EQ(readBytes(path + ".bad"), original);
    RegistryTree tree;
    file.load(tree);
    EXPECT_EQ(tree.queryValue("Good"), "1");
    EXPECT_EQ(tree.queryValue("New"), "2");
    // A clean file makes no copy.
    std::filesystem::remove(path + ".bad");
    file.update([](RegistryTree& t) { return t.setValue("Again", "", "3"); });
    EXPECT_FALSE(std::filesystem::exists(path + ".bad"));
}

TEST(RegistryFile, UnreachableLocationsFailCleanly) {
    TempDir dir;
    // A file stands where the registry's folder must go.
    writeBytes(dir / "blocker", "x");
    RegistryFile blocked(dir.str("blocker/registry.ini"));
    EXPECT_TRUE(FAILED(blocked.update([](RegistryTree& t) { return t.setValue("A", "", "1"); })));
    RegistryTree tree;
    EXPECT_EQ(blocked.load(tree), S_OK);  // nothing there: empty
    EXPECT_EQ(readBytes(dir / "blocker"), "x");

    // A folder stands where the file must go.
    std::filesystem::create_directory(dir / "folder.ini");
    RegistryFile folder(dir.str("folder.ini"));
    EXPECT_EQ(folder.load(tree), REGDB_E_READREGDB);
    EXPECT_TRUE(FAILED(folder.update([](RegistryTree& t) { return t.setValue("A", "", "1"); })));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.ini"));
}

TEST(RegistryFile, ConcurrentWritersLoseNoUpdate) {
    TempDir dir;
    const std::string path = dir.str("registry.ini");
    auto writer = [&](const char* prefix) {
        RegistryFile file(path);
        for (int i = 0; i < 40; ++i)
            file.update([&](RegistryTree& t) { return t.setValue(prefix + std::to_string(i), "", "v"); });
    };
    std::thread a(writer, "A");
    std::thread b(writer, "B");
    a.join();
    b.join();
    RegistryTree tree;
    RegistryFile(path).load(tree);
    EXPECT_EQ(tree.subkeys("").size(), 80u);
}

TEST(RegistryFile, LocationComesFromTheEnvironment) {
    {
        ScopedEnv registry("MIROFOTO_REGISTRY", "/somewhere/reg.ini");
        ScopedEnv home("MIROFOTO_HOME", "/home/u/mirofoto");
        EXPECT_EQ(registryPath(), "/somewhere/reg.ini");
    }
    const auto exe = std::filesystem::read_symlink("/proc/self/exe");
    const std::string besideTheProgram = (exe.parent_path() / "registry.ini").string();
    {
        // A program folder that moved its settings but holds no registry
        // still finds the modules registered beside the program.
        ScopedEnv registry("MIROFOTO_REGISTRY", nullptr);
        ScopedEnv home("MIROFOTO_HOME", "/nonexistent/mirofoto");
        EXPECT_EQ(registryPath(), besideTheProgram);
    }
    {
        testing_support::TempDir home;
        testing_support::writeBytes(home / "registry.ini", "");
        ScopedEnv registry("MIROFOTO_REGISTRY", nullptr);
        ScopedEnv homeEnv("MIROFOTO_HOME", home.str().c_str());
        EXPECT_EQ(registryPath(), home.str("registry.ini"));
    }
    {
        ScopedEnv registry("MIROFOTO_REGISTRY", nullptr);
        ScopedEnv home("MIROFOTO_HOME", nullptr);
        EXPECT_EQ(registryPath(), besideTheProgram);
    }
}
