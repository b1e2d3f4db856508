// A program folder of its own for one test: MIROFOTO_HOME points at a fresh
// temporary folder while the object lives.
#pragma once

#include "tests/support/test_support.h"

#include <cstdlib>
#include <optional>
#include <string>

class ProgramHome {
public:
    ProgramHome() {
        if (const char* old = std::getenv("MIROFOTO_HOME")) m_previous = old;
        ::setenv("MIROFOTO_HOME", m_dir.str().c_str(), 1);
    }
    ~ProgramHome() {
        if (m_previous) ::setenv("MIROFOTO_HOME", m_previous->c_str(), 1);
        else ::unsetenv("MIROFOTO_HOME");
    }
    ProgramHome(const ProgramHome&) = delete;
    ProgramHome& operator=(const ProgramHome&) = delete;

    /// The program folder with a trailing "/".
    std::string folder() const { return m_dir.str() + "/"; }
    std::string path(const std::string& child) const { return folder() + child; }

private:
    testing_support::TempDir m_dir;
    std::optional<std::string> m_previous;
};
