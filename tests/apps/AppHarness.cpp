#include "AppHarness.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "tests/support/TestPlatform.h"
#include "tests/support/qt/CoreApplicationEnvironment.h"

namespace KDAutoUpdate {

namespace fs = std::filesystem;

namespace {
[[maybe_unused]] const auto* const kApplication = AddCoreApplication("kdau_tests_apps");
} // namespace

ProgramCopy::ProgramCopy() : m_folder(TestPlatform::MakeTempFolder("app")) {
    fs::copy_file(KDAU_APP_PATH, m_folder / "kdautoupdate");
    fs::copy_file(KDAU_RESLIB_PATH, m_folder / "_AuResLib.rcc");
}

ProgramCopy::~ProgramCopy() {
    std::error_code ec;
    fs::remove_all(m_folder, ec);
}

QString ProgramCopy::Program() const {
    return QString::fromStdString((m_folder / "kdautoupdate").string());
}

std::string ProgramCopy::ReadFile(const std::string& name) const {
    std::ifstream in(m_folder / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void ProgramCopy::WriteFile(const std::string& name, const std::string& text) const {
    std::ofstream(m_folder / name, std::ios::binary) << text;
}

ProgramCopy::Finished ProgramCopy::Run(const QStringList& args) const {
    QProcess p;
    p.setProcessEnvironment(m_env);
    p.start(Program(), args);
    p.waitForFinished(30000);
    return {p.exitCode(), p.readAllStandardOutput().toStdString()};
}

std::string ProgramCopy::RunShell(const std::string& script, const QStringList& extraArgs,
                                  int timeoutMs) const {
    QProcess p;
    p.setProgram(Program());
    p.setArguments(QStringList{"shell"} + extraArgs);
    p.setWorkingDirectory(QString::fromStdString(fs::temp_directory_path().string()));
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.setProcessEnvironment(m_env);
    p.start();
    if (!p.waitForStarted(10000))
        return "<did not start>";
    p.write(QByteArray::fromStdString(script));
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return "<timed out>\n" + p.readAllStandardOutput().toStdString();
    }
    return p.readAllStandardOutput().toStdString();
}

ServiceProcess::ServiceProcess(const QStringList& extraArgs)
    : m_process(std::make_unique<QProcess>()) {
    const QString catalogue = QString(KDAU_SOURCE_DIR) + "/service/catalogue";
    m_process->start(m_copy.Program(),
                     QStringList{"serve", "--port", "0", "--log", "--catalogue", catalogue} +
                         extraArgs);
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 15000 && !m_buffer.contains('\n')) {
        if (!m_process->waitForReadyRead(500) && m_process->state() != QProcess::Running)
            break;
        m_buffer += QString::fromUtf8(m_process->readAllStandardOutput());
    }
    const qsizetype nl = m_buffer.indexOf('\n');
    if (nl > 0) {
        m_baseUrl = m_buffer.left(nl).trimmed();
        m_buffer = m_buffer.mid(nl + 1);
    }
}

ServiceProcess::~ServiceProcess() {
    m_process->kill();
    m_process->waitForFinished(5000);
}

QStringList ServiceProcess::Requests() {
    m_process->waitForReadyRead(500); // the service writes its log in batches
    m_buffer += QString::fromUtf8(m_process->readAllStandardOutput());
    return m_buffer.split('\n', Qt::SkipEmptyParts);
}

} // namespace KDAutoUpdate
