// A framework for the module's code linked into the unit tests: answers the
// four services from fields the test sets and keeps every spoken line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "module/file_error.h"

struct FakeFramework {
    std::optional<std::string> clientRoot;
    std::optional<std::string> clientDataRoot;
    std::optional<std::string> moduleDocRoot;
    std::vector<std::string> spoken;
    std::vector<std::string> serviceCalls;
};

FakeFramework& Fake();

// The text that an error of the file layer carries, or "" when none was raised.
template <class Operation>
std::string ErrorOf(Operation operation) {
    try {
        operation();
    } catch (const FileError& error) {
        return error.what();
    }
    return "";
}

// Each test starts with a zeroed module state and an empty framework.
class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::vector<std::string> TakeSpoken();

private:
    std::string savedFolder_;
};
