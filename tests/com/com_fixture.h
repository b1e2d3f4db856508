// A private registry for each test, with the test module registered in it,
// and the check that every test leaves the module unloadable.
#pragma once

#include "platform/com/creation.h"
#include "platform/com/object.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <optional>
#include <string>

class ComFixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("MIROFOTO_REGISTRY")) m_oldRegistry = old;
        ::setenv("MIROFOTO_REGISTRY", registryFile().c_str(), 1);
    }
    void TearDown() override {
        // Every object is gone: the module agrees to go, and really goes.
        CoFreeUnusedLibraries();
        EXPECT_FALSE(platform::com::isModuleLoaded(COM_TEST_MODULE));
        EXPECT_EQ(::dlopen(COM_TEST_MODULE, RTLD_NOW | RTLD_NOLOAD), nullptr);
        EXPECT_EQ(platform::com::liveObjectCount(), 0);
        if (m_oldRegistry) ::setenv("MIROFOTO_REGISTRY", m_oldRegistry->c_str(), 1);
        else ::unsetenv("MIROFOTO_REGISTRY");
    }

    std::string registryFile() const { return m_dir.str("registry.ini"); }
    void registerTestModule() { ASSERT_EQ(platform::com::registerServer(COM_TEST_MODULE, false), S_OK); }

    testing_support::TempDir m_dir;

private:
    std::optional<std::string> m_oldRegistry;
};
