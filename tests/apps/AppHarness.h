#pragma once
// Runs copies of the kdautoupdate program in fresh folders: a shell fed a script, and the
// embedded update service on a free port of 127.0.0.1.

#include <QProcess>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <memory>
#include <string>

namespace KDAutoUpdate {

// A folder holding a copy of the program and its resource library.
class ProgramCopy {
public:
    ProgramCopy();
    ~ProgramCopy();
    const std::filesystem::path& Folder() const { return m_folder; }
    QString Program() const;
    std::string ReadFile(const std::string& name) const;
    void WriteFile(const std::string& name, const std::string& text) const;
    // Environment of the programs this copy runs.
    void SetEnv(const QString& name, const QString& value) { m_env.insert(name, value); }

    struct Finished {
        int code;
        std::string out;
    };
    // Runs the program with `args`; answers its exit code and standard output.
    Finished Run(const QStringList& args) const;
    // Runs `kdautoupdate shell` with `script` on its standard input; answers its standard output.
    std::string RunShell(const std::string& script, const QStringList& extraArgs = {},
                         int timeoutMs = 60000) const;

private:
    std::filesystem::path m_folder;
    QProcessEnvironment m_env = QProcessEnvironment::systemEnvironment();
};

// `kdautoupdate serve --port 0` as a child process.
class ServiceProcess {
public:
    explicit ServiceProcess(const QStringList& extraArgs = {});
    ~ServiceProcess();
    bool Started() const { return !m_baseUrl.isEmpty(); }
    QString BaseUrl() const { return m_baseUrl; }
    QStringList Requests();

private:
    ProgramCopy m_copy;
    std::unique_ptr<QProcess> m_process;
    QString m_baseUrl;
    QString m_buffer;
};

} // namespace KDAutoUpdate
