#include "platform/qt/QtProcessLauncher.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include "platform/portable/CommandLineSplitter.h"

namespace KDAutoUpdate {

namespace {

QString Runnable(const QString& program) {
    if (program.contains(u'/')) {
        const QFileInfo file(program);
        return file.isFile() && file.isExecutable() ? file.absoluteFilePath() : QString();
    }
    return QStandardPaths::findExecutable(program);
}

} // namespace

std::string QtProcessLauncher::ResolveProgram(const std::string& program) {
    if (program.empty())
        return {};
    const QString name = QString::fromStdString(program);
    QString found = Runnable(name);
    if (found.isEmpty() && name.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive) &&
        name.size() > 4)
        found = Runnable(name.chopped(4));
    return found.toStdString();
}

bool QtProcessLauncher::StartCommandLine(const std::string& commandLine) {
    try {
        const std::vector<std::string> items = SplitCommandLine(commandLine);
        if (items.empty())
            return false;
        const QString program = QString::fromStdString(ResolveProgram(items.front()));
        if (program.isEmpty())
            return false;
        QStringList arguments;
        for (std::size_t i = 1; i < items.size(); ++i)
            arguments << QString::fromStdString(items[i]);
        // startDetached reports a failed exec, so a file that cannot run answers false.
        return QProcess::startDetached(program, arguments, QFileInfo(program).absolutePath());
    } catch (...) {
        return false;
    }
}

} // namespace KDAutoUpdate
