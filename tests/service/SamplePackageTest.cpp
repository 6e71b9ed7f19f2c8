// The sample update package really runs and records that it was started.
#include "ServiceTestSupport.h"

#include "service/ServeCommand.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace KDAutoUpdate::Testing {
namespace {

// The copy beside the programs, which the demo and the integration tests serve.
QString CopiedPackage() {
    return QCoreApplication::applicationDirPath() +
           "/catalogue/packages/KeldraStudio-Update-5.1.0.sh";
}

QStringList RecordLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

int RunPackage(const QStringList& arguments, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(CopiedPackage(), arguments);
    if (!process.waitForFinished(30000))
        return -1;
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

TEST(SamplePackageTest, CopyBesideTheProgramsIsTheSampleAndExecutable) {
    EXPECT_EQ(DefaultCatalogueFolder(), QCoreApplication::applicationDirPath() + "/catalogue");
    const QFileInfo copy(CopiedPackage());
    ASSERT_TRUE(copy.isFile());
    EXPECT_TRUE(copy.isExecutable());
    QFile original(SampleCatalogue() + "/packages/KeldraStudio-Update-5.1.0.sh");
    QFile copied(CopiedPackage());
    ASSERT_TRUE(original.open(QIODevice::ReadOnly) && copied.open(QIODevice::ReadOnly));
    EXPECT_EQ(original.readAll(), copied.readAll());
}

TEST(SamplePackageTest, EachStartAppendsTimeAndArgumentsToTheRecord) {
    TempCatalogue scratch;
    const QString record = scratch.Folder() + "/records/installs.log";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("KDAU_INSTALL_RECORD", record);

    ASSERT_EQ(RunPackage({"/quiet", "/norestart"}, environment), 0);
    ASSERT_EQ(RunPackage({}, environment), 0);

    const QStringList lines = RecordLines(record);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains(
        QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d .*/quiet /norestart$")))
        << lines[0].toStdString();
    EXPECT_FALSE(lines[1].contains("/quiet"));
}

TEST(SamplePackageTest, WithoutTheVariableTheRecordGoesBelowHome) {
    TempCatalogue home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("KDAU_INSTALL_RECORD");
    environment.insert("HOME", home.Folder());

    ASSERT_EQ(RunPackage({"/quiet"}, environment), 0);

    const QStringList lines =
        RecordLines(home.Folder() + "/.local/state/kdautoupdate/installs.log");
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].endsWith(" /quiet"));
}

} // namespace
} // namespace KDAutoUpdate::Testing
