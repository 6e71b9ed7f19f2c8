// The resource library built beside the programs (_AuResLib.rcc) through the Qt backend, and
// the res:// URLs that address its resources.

#include "platform/portable/ResUrl.h"
#include "platform/qt/DesktopForms.h"
#include "platform/qt/QtResourceLibrary.h"
#include "tests/platform/QtTestHelpers.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

using namespace KDAutoUpdate;

// Pictures at sizes the library does not store are scaled by the desktop library, which installs
// its scaler when it is loaded: naming its entry point keeps it linked into this program.
extern "C" IFormRenderer* kdau_create_desktop_forms(const DesktopFormsParts* parts);
extern const CreateDesktopFormsFunction kdauLinksTheScaler;
const CreateDesktopFormsFunction kdauLinksTheScaler = &kdau_create_desktop_forms;

namespace {

class ResourceLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = QFileInfo(KDAU_BINARY_DIR "/bin/_AuResLib.rcc").absoluteFilePath();
        if (!QFile::exists(m_path))
            GTEST_SKIP() << "_AuResLib.rcc is not built (the resources part is not configured)";
        ASSERT_TRUE(m_library.OpenResourceLibrary(m_path.toStdString()));
    }

    QString m_path;
    QtResourceLibrary m_library;
};

TEST_F(ResourceLibraryTest, CloseReleasesEverythingAndARelativePathOpensAgain) {
    const QString qtPath = m_library.ResourcePath("AuProgress.html");
    EXPECT_TRUE(QFile::exists(qtPath)) << qtPath.toStdString();
    m_library.CloseResourceLibrary();
    EXPECT_FALSE(QFile::exists(qtPath)) << "the file must be unregistered";
    EXPECT_FALSE(m_library.IsOpen());
    EXPECT_FALSE(m_library.ReadResource("AuProgress.html").has_value());
    EXPECT_EQ(m_library.LoadResourcePicture("AAA", 16), nullptr);
    m_library.CloseResourceLibrary(); // a second close is harmless

    const QString relative = QDir::current().relativeFilePath(m_path);
    ASSERT_TRUE(m_library.OpenResourceLibrary(relative.toStdString()));
    EXPECT_EQ(m_library.ResourceFilePath(), m_path.toStdString());
}

TEST_F(ResourceLibraryTest, IconsDecodeAtTheRequestedSizes) {
    for (const std::string name : {"AAA", "IC_QUESTION"}) {
        for (const int size : {16, 32, 40}) {
            const PicturePtr picture = m_library.LoadResourcePicture(name, size, 1, 0, 0, 0);
            ASSERT_NE(picture, nullptr) << name << " " << size;
            EXPECT_EQ(picture->size, size);
            EXPECT_EQ(QImage::fromData(QByteArray::fromStdString(picture->data)).size(),
                      QSize(size, size))
                << name;
        }
    }
    // Size 0 asks for the largest stored picture, and names do not depend on case.
    const PicturePtr largest = m_library.LoadResourcePicture("aaa", 0);
    ASSERT_NE(largest, nullptr);
    EXPECT_GE(largest->size, 32);
}

TEST_F(ResourceLibraryTest, UnknownAndEscapingNamesYieldNothing) {
    EXPECT_EQ(m_library.LoadResourcePicture("IC_MISSING", 16), nullptr);
    EXPECT_EQ(m_library.LoadResourcePicture("AuProgress.html", 16), nullptr);
    for (const char* name : {"missing.gif", "", "/AuProgress.html", ".."})
        EXPECT_FALSE(m_library.ReadResource(name).has_value()) << name;

    // A second library is registered beside this one; a name must not reach into it.
    QtResourceLibrary other;
    ASSERT_TRUE(other.OpenResourceLibrary(m_path.toStdString()));
    const QString otherRoot = QFileInfo(other.ResourcePath("AuProgress.html")).path();
    const std::string climb = "../" + otherRoot.mid(2).toStdString() + "/AuProgress.html";
    EXPECT_FALSE(m_library.ReadResource(climb).has_value()) << climb;
}

TEST_F(ResourceLibraryTest, MissingOrBrokenFilesOpenFalseAndYieldNulls) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString garbage = temp.filePath("_AuResLib.rcc");
    QFile file(garbage);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is not a resource file");
    file.close();

    for (const QString& path : {temp.filePath("absent.rcc"), garbage, temp.path(), QString()}) {
        // A failed open leaves the library closed, even when it was open before.
        EXPECT_FALSE(m_library.OpenResourceLibrary(path.toStdString())) << path.toStdString();
        EXPECT_FALSE(m_library.IsOpen());
        EXPECT_EQ(m_library.ResourceFilePath(), "");
        EXPECT_EQ(m_library.LoadResourcePicture("AAA", 32), nullptr);
        EXPECT_FALSE(m_library.ReadResource("aniProgress.gif").has_value());
        ASSERT_TRUE(m_library.OpenResourceLibrary(m_path.toStdString()));
    }
}

TEST_F(ResourceLibraryTest, AnInstalledHostWithoutALibraryBesideItOpensTheFallback) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    m_library.SetFallbackFolder(QFileInfo(m_path).absolutePath().toStdString());
    const QString beside = temp.filePath("_AuResLib.rcc");
    ASSERT_TRUE(m_library.OpenResourceLibrary(beside.toStdString()));
    EXPECT_EQ(m_library.ResourceFilePath(), m_path.toStdString());
    // A library beside the program comes first.
    ASSERT_TRUE(QFile::copy(m_path, beside));
    ASSERT_TRUE(m_library.OpenResourceLibrary(beside.toStdString()));
    EXPECT_EQ(m_library.ResourceFilePath(), beside.toStdString());
}

TEST(ResUrlTest, EncodesEverythingButPlainCharactersAndSlashes) {
    EXPECT_EQ(ResourceUrlPath("/opt/x y/_AuResLib.rcc"), "/opt/x%20y/_AuResLib.rcc");
    EXPECT_EQ(ResourceUrlPath("/home/jörg/a~b-c.d"), "/home/j%C3%B6rg/a~b-c.d");
    EXPECT_EQ(ResourceUrlPath("/a#b?c%d+e&f:g"), "/a%23b%3Fc%25d%2Be%26f%3Ag");
    for (const std::string path : {"/home/jörg/Über Updates/日本/_AuResLib.rcc",
                                   "/tmp/100% sicher #2?/a+b&c=d/_AuResLib.rcc"}) {
        std::string filePath;
        std::string resourceName;
        ASSERT_TRUE(ParseResUrl("res://" + ResourceUrlPath(path) + "/101", filePath, resourceName));
        EXPECT_EQ(filePath, path);
        EXPECT_EQ(resourceName, "101");
    }
}

// The forms a browser hands back; refused ones leave the outputs alone.
TEST(ResUrlTest, ParsesLocalResUrlsOnly) {
    struct Case {
        std::string url;
        std::string path = "unchanged";
        std::string name = "unchanged";
    };
    const Case cases[] = {
        // Decoded for display: blanks and UTF-8 unescaped.
        {"res:///opt/x y/_AuResLib.rcc/aniProgress.gif", "/opt/x y/_AuResLib.rcc",
         "aniProgress.gif"},
        {"RES:///opt/_AuResLib.rcc/AuProgress.html?v=2#top", "/opt/_AuResLib.rcc",
         "AuProgress.html"},
        {"res://localhost/opt/_AuResLib.rcc/101", "/opt/_AuResLib.rcc", "101"},
        {"res:/opt/_AuResLib.rcc/101", "/opt/_AuResLib.rcc", "101"},
        {"res:///opt/%c3%a4/_AuResLib.rcc/a%20b.gif", "/opt/ä/_AuResLib.rcc", "a b.gif"},
        {"http:///opt/_AuResLib.rcc/101"},
        {"res://server/opt/_AuResLib.rcc/101"},
        {"res://localhost.evil/opt/_AuResLib.rcc/101"},
        {"res://"},
        {"res:opt/_AuResLib.rcc/101"},
        {"res:///opt/_AuResLib.rcc/"},
        {"res:///AuProgress.html"},
        {"res:///opt/%zz/_AuResLib.rcc/101"},
        {"res:///opt/%00/_AuResLib.rcc/101"},
    };
    for (const Case& c : cases) {
        std::string filePath = "unchanged";
        std::string resourceName = "unchanged";
        EXPECT_EQ(ParseResUrl(c.url, filePath, resourceName), c.path != "unchanged") << c.url;
        EXPECT_EQ(filePath, c.path) << c.url;
        EXPECT_EQ(resourceName, c.name) << c.url;
    }
}

} // namespace
