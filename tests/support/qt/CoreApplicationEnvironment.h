#pragma once
// A QCoreApplication for the whole of a test program whose main comes from GoogleTest: the
// embedded service, QProcess and the tests' sockets want an application object.

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>

namespace KDAutoUpdate {

class CoreApplicationEnvironment : public ::testing::Environment {
public:
    // `name` becomes the program's argv[0]; a literal, it lives as long as the program.
    explicit CoreApplicationEnvironment(const char* name) : m_argv{const_cast<char*>(name)} {}
    void SetUp() override { m_app = std::make_unique<QCoreApplication>(m_argc, m_argv); }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char* m_argv[2];
    std::unique_ptr<QCoreApplication> m_app;
};

// Registers the environment; call once, from a namespace-scope initialiser.
inline ::testing::Environment* AddCoreApplication(const char* name) {
    return ::testing::AddGlobalTestEnvironment(new CoreApplicationEnvironment(name));
}

} // namespace KDAutoUpdate
