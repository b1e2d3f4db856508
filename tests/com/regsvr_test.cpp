// The regsvr command, run as a separate process.
#include "platform/com/registry.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>

using namespace platform::com;
using testing_support::readBytes;
using testing_support::TempDir;
using testing_support::writeBytes;

namespace {

struct CommandResult {
    int exitCode;
    std::string output;
};

CommandResult regsvr(const std::string& registry, const std::string& arguments) {
    TempDir out;
    const std::string command = "MIROFOTO_REGISTRY='" + registry + "' '" REGSVR_PATH "' " + arguments + " >'" +
                                out.str("out.txt") + "' 2>&1";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readBytes(out / "out.txt")};
}

RegistryTree load(const std::string& path) {
    RegistryTree tree;
    RegistryFile(path).load(tree);
    return tree;
}

}  // namespace

TEST(Regsvr, RegistersAndUnregistersAModule) {
    TempDir dir;
    const std::string registry = dir.str("registry.ini");
    CommandResult r = regsvr(registry, "'" COM_TEST_MODULE "'");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("succeeded"), std::string::npos) << r.output;
    EXPECT_EQ(load(registry).queryValue("MirofotoTest.Calc\\CLSID"), "{E8FCDA2E-F720-47C6-B0CF-1FC30B8B0659}");

    r = regsvr(registry, "-u -s '" COM_TEST_MODULE "'");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output, "");
    EXPECT_FALSE(load(registry).keyExists("MirofotoTest.Calc"));
}

TEST(Regsvr, ReportsWhatWentWrong) {
    TempDir dir;
    const std::string registry = dir.str("registry.ini");
    CommandResult r = regsvr(registry, "");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.output.find("usage"), std::string::npos);
    EXPECT_EQ(regsvr(registry, "-x module.so").exitCode, 2);

    r = regsvr(registry, "'" + dir.str("missing.so") + "'");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("0x8007007E"), std::string::npos) << r.output;

    // A library that is no COM module.
    r = regsvr(registry, "/lib/x86_64-linux-gnu/libm.so.6");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("DllRegisterServer"), std::string::npos) << r.output;

    // The registry cannot be written: a file stands where its folder goes.
    writeBytes(dir / "blocker", "x");
    r = regsvr(dir.str("blocker/registry.ini"), "'" COM_TEST_MODULE "'");
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_EQ(readBytes(dir / "blocker"), "x");
    EXPECT_FALSE(std::filesystem::exists(registry));
}
