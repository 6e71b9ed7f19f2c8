#pragma once
// One application object for the whole of a test program whose main comes from GoogleTest: the
// embedded service, QProcess, the tests' sockets and (as QApplication) the widgets want one.

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>

namespace KDAutoUpdate {

template <class App = QCoreApplication>
class CoreApplicationEnvironment : public ::testing::Environment {
public:
    // `name` becomes the program's argv[0]; a literal, it lives as long as the program.
    explicit CoreApplicationEnvironment(const char* name) : m_argv{const_cast<char*>(name)} {}
    void SetUp() override {
        if (!QCoreApplication::instance()) // a program with its own main may have made one
            m_app = std::make_unique<App>(m_argc, m_argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char* m_argv[2];
    std::unique_ptr<QCoreApplication> m_app;
};

// Registers the environment; call once, from a namespace-scope initialiser.
template <class App = QCoreApplication>
inline ::testing::Environment* AddCoreApplication(const char* name) {
    return ::testing::AddGlobalTestEnvironment(new CoreApplicationEnvironment<App>(name));
}

} // namespace KDAutoUpdate
