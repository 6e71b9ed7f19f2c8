#pragma once
// Helpers shared by the Qt backend tests of the platform test program.

#include <gtest/gtest.h>

#include <QApplication>

#include <memory>

#include "tests/support/FileText.h"

namespace KDAutoUpdate {

// One widget application for the whole program, as a host has: the network, image plugins and
// the WebEngine windows all need it.
class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (QCoreApplication::instance())
            return;
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
        m_app = std::make_unique<QApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[32] = "kdau_tests_platform";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
};

inline const auto* const kQtApplication =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

} // namespace KDAutoUpdate
