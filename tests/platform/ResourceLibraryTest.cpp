// The resource library built beside the programs (_AuResLib.rcc), read through the Qt backend,
// and the res:// URLs that address its resources.

#include "platform/portable/ResUrl.h"
#include "platform/qt/QtResourceLibrary.h"

#include <QApplication>
#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <gumbo.h>

#include <memory>
#include <string>
#include <vector>

using namespace KDAutoUpdate;

namespace {

// Image plugins (GIF) and widget tests in this program need an application object; whoever
// comes first creates it.
class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (!QCoreApplication::instance()) {
            QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
            m_app = std::make_unique<QApplication>(m_argc, m_argv);
        }
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[32] = "kdau_tests_platform";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
};

[[maybe_unused]] const auto* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

// The library is packed into the programs' folder; the test program lives there too.
QString BuiltLibraryPath() {
    const QString fileName = QString::fromStdString(QtResourceLibrary().FileName());
    for (const QString& dir :
         {QCoreApplication::applicationDirPath(), QStringLiteral(KDAU_BINARY_DIR "/bin")}) {
        const QString path = QDir(dir).filePath(fileName);
        if (!dir.isEmpty() && QFile::exists(path)) {
            return QFileInfo(path).absoluteFilePath();
        }
    }
    return {};
}

struct Frames {
    int declaredCount = 0;
    int loopCount = 0;
    std::vector<QImage> images;
    std::vector<int> delays;
};

Frames ReadGif(const std::string& bytes) {
    QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    Frames frames;
    frames.declaredCount = reader.imageCount();
    frames.loopCount = reader.loopCount();
    QImage image;
    while (reader.read(&image)) {
        frames.images.push_back(image);
        frames.delays.push_back(reader.nextImageDelay());
    }
    return frames;
}

// Elements of an HTML page with their tag and attributes, in document order.
struct Element {
    std::string tag;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string text;

    std::string Attribute(const std::string& name) const {
        for (const auto& [key, value] : attributes) {
            if (key == name) {
                return value;
            }
        }
        return {};
    }
};

void Collect(const GumboNode* node, std::vector<Element>& out) {
    if (node->type != GUMBO_NODE_ELEMENT) {
        return;
    }
    const GumboElement& element = node->v.element;
    Element e;
    e.tag = gumbo_normalized_tagname(element.tag);
    for (unsigned i = 0; i < element.attributes.length; ++i) {
        const auto* attribute = static_cast<const GumboAttribute*>(element.attributes.data[i]);
        e.attributes.emplace_back(attribute->name, attribute->value);
    }
    for (unsigned i = 0; i < element.children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(element.children.data[i]);
        if (child->type == GUMBO_NODE_TEXT) {
            e.text += child->v.text.text;
        }
    }
    out.push_back(e);
    for (unsigned i = 0; i < element.children.length; ++i) {
        Collect(static_cast<const GumboNode*>(element.children.data[i]), out);
    }
}

std::vector<Element> ParseHtml(const std::string& html) {
    std::vector<Element> elements;
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size());
    Collect(output->root, elements);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    return elements;
}

const Element* FindById(const std::vector<Element>& elements, const std::string& id) {
    for (const Element& e : elements) {
        if (e.Attribute("id") == id) {
            return &e;
        }
    }
    return nullptr;
}

class ResourceLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = BuiltLibraryPath();
        if (m_path.isEmpty()) {
            GTEST_SKIP() << "_AuResLib.rcc is not built (the resources part is not configured)";
        }
        ASSERT_TRUE(m_library.OpenResourceLibrary(m_path.toStdString()));
    }

    // A copy of the library in a folder whose name has blanks and umlauts.
    QString CopyToUnusualFolder(const QTemporaryDir& temp) {
        const QString dir = temp.filePath(QString::fromUtf8("Ordner mit Leerzeichen äöü#1"));
        QDir().mkpath(dir);
        const QString copy = QDir(dir).filePath(QStringLiteral("_AuResLib.rcc"));
        EXPECT_TRUE(QFile::copy(m_path, copy));
        return copy;
    }

    QString m_path;
    QtResourceLibrary m_library;
};

TEST_F(ResourceLibraryTest, OpenReportsThePathAndCloseReleasesEverything) {
    EXPECT_EQ(m_library.FileName(), "_AuResLib.rcc");
    EXPECT_TRUE(m_library.IsOpen());
    EXPECT_EQ(m_library.ResourceFilePath(), m_path.toStdString());
    const QString qtPath = m_library.ResourcePath("AuProgress.html");
    EXPECT_TRUE(QFile::exists(qtPath)) << qtPath.toStdString();

    m_library.CloseResourceLibrary();
    EXPECT_FALSE(QFile::exists(qtPath)) << "the file must be unregistered";
    EXPECT_FALSE(m_library.IsOpen());
    EXPECT_EQ(m_library.ResourceFilePath(), "");
    EXPECT_FALSE(m_library.ReadResource("AuProgress.html").has_value());
    EXPECT_EQ(m_library.LoadResourcePicture("AAA", 16), nullptr);
    EXPECT_TRUE(m_library.ResourcePath("aniProgress.gif").isEmpty());
    m_library.CloseResourceLibrary(); // a second close is harmless

    // The same object opens again, and a relative path is reported absolute.
    const QString relative = QDir::current().relativeFilePath(m_path);
    ASSERT_TRUE(m_library.OpenResourceLibrary(relative.toStdString()));
    EXPECT_EQ(m_library.ResourceFilePath(), m_path.toStdString());
}

TEST_F(ResourceLibraryTest, ProgressPageHasBothElementsAndOnlyLibraryReferences) {
    const auto html = m_library.ReadResource("AuProgress.html");
    ASSERT_TRUE(html.has_value());
    const std::vector<Element> elements = ParseHtml(*html);

    const Element* label = FindById(elements, "lblProgress");
    ASSERT_NE(label, nullptr);
    EXPECT_NE(label->text.find("Verbindung"), std::string::npos) << label->text;

    const Element* image = FindById(elements, "imgProgress");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->tag, "img");
    EXPECT_EQ(image->Attribute("src"), "aniProgress.gif");

    // Nothing outside the library: no scripts or style sheets to fetch, and every reference
    // names a resource of the library relative to the page.
    for (const Element& e : elements) {
        EXPECT_NE(e.tag, "script");
        EXPECT_NE(e.tag, "link");
        for (const char* attribute : {"src", "href"}) {
            const std::string target = e.Attribute(attribute);
            if (!target.empty()) {
                EXPECT_TRUE(m_library.ReadResource(target).has_value()) << target;
            }
        }
    }
    // The page declares its encoding, so the German texts survive any default.
    bool utf8 = false;
    for (const Element& e : elements) {
        utf8 =
            utf8 ||
            (e.tag == "meta" &&
             QString::fromStdString(e.Attribute("charset")).compare("utf-8", Qt::CaseInsensitive) ==
                 0);
    }
    EXPECT_TRUE(utf8);
}

TEST_F(ResourceLibraryTest, ProgressAnimationsLoopAndTheStopSignFitsTheSameSpot) {
    const auto running = m_library.ReadResource("aniProgress.gif");
    const auto stopped = m_library.ReadResource("aniProgressStop.gif");
    ASSERT_TRUE(running.has_value());
    ASSERT_TRUE(stopped.has_value());

    const Frames spin = ReadGif(*running);
    ASSERT_GE(spin.images.size(), 8u);
    EXPECT_EQ(spin.declaredCount, static_cast<int>(spin.images.size()));
    EXPECT_EQ(spin.loopCount, -1) << "the spinner must loop forever";
    const QSize size = spin.images.front().size();
    EXPECT_GE(size.width(), 32);
    EXPECT_LE(size.width(), 64);
    for (std::size_t i = 0; i < spin.images.size(); ++i) {
        EXPECT_EQ(spin.images[i].size(), size) << "frame " << i;
        EXPECT_GE(spin.delays[i], 20) << "frame " << i;
        EXPECT_LE(spin.delays[i], 200) << "frame " << i;
    }
    EXPECT_NE(spin.images.front(), spin.images[spin.images.size() / 2]) << "frames must move";

    const Frames stop = ReadGif(*stopped);
    ASSERT_EQ(stop.images.size(), 1u);
    EXPECT_EQ(stop.images.front().size(), size) << "swapping the src must not shift the text";
}

TEST_F(ResourceLibraryTest, DownloadAnimationFillsItsSurfaceAndLoops) {
    const auto bytes = m_library.ReadResource("101");
    ASSERT_TRUE(bytes.has_value());
    const Frames frames = ReadGif(*bytes);
    ASSERT_GE(frames.images.size(), 8u);
    EXPECT_EQ(frames.loopCount, -1);
    // The dialog's surface is 377 x 49 pixels at 96 dpi.
    const QSize size = frames.images.front().size();
    EXPECT_LE(size.width(), 377);
    EXPECT_GE(size.width(), 340);
    EXPECT_LE(size.height(), 49);
    EXPECT_GE(size.height(), 40);
    EXPECT_NE(frames.images.front(), frames.images[frames.images.size() / 2]);
    // Qt readers such as QMovie open it by its Qt path as well.
    QImageReader byPath(m_library.ResourcePath("101"));
    EXPECT_TRUE(byPath.canRead());
    EXPECT_EQ(byPath.imageCount(), static_cast<int>(frames.images.size()));
}

TEST_F(ResourceLibraryTest, IconsDecodeAtTheRequestedSizes) {
    for (const std::string name : {"AAA", "IC_QUESTION"}) {
        for (const int size : {16, 32, 20, 40, 300}) {
            const PicturePtr picture = m_library.LoadResourcePicture(name, size, 1, 0, 0, 0);
            ASSERT_NE(picture, nullptr) << name << " " << size;
            EXPECT_EQ(picture->name, name);
            EXPECT_EQ(picture->size, size);
            const QImage image =
                QImage::fromData(reinterpret_cast<const uchar*>(picture->data.data()),
                                 static_cast<int>(picture->data.size()), "PNG");
            ASSERT_FALSE(image.isNull()) << name << " " << size;
            EXPECT_EQ(image.size(), QSize(size, size)) << name;

            // A drawn icon: mostly covered, with both light and dark pixels.
            int covered = 0;
            int light = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb p = image.pixel(x, y);
                    covered += qAlpha(p) > 128 ? 1 : 0;
                    light += qAlpha(p) > 128 && qGray(p) > 200 ? 1 : 0;
                }
            }
            EXPECT_GT(covered, size * size / 2) << name << " " << size;
            EXPECT_GT(light, size * size / 20) << name << " " << size;
            EXPECT_LT(light, covered / 2) << name << " " << size;
        }
    }
    // Size 0 asks for the largest stored picture, and names do not depend on case.
    const PicturePtr largest = m_library.LoadResourcePicture("aaa", 0);
    ASSERT_NE(largest, nullptr);
    EXPECT_GE(largest->size, 32);
    EXPECT_EQ(QImage::fromData(QByteArray::fromStdString(largest->data)).width(), largest->size);
}

TEST_F(ResourceLibraryTest, UnknownAndEscapingNamesYieldNothing) {
    EXPECT_EQ(m_library.LoadResourcePicture("IC_MISSING", 16), nullptr);
    EXPECT_EQ(m_library.LoadResourcePicture("", 16), nullptr);
    EXPECT_EQ(m_library.LoadResourcePicture("AuProgress.html", 16), nullptr);
    EXPECT_FALSE(m_library.ReadResource("missing.gif").has_value());
    EXPECT_FALSE(m_library.ReadResource("").has_value());
    EXPECT_FALSE(m_library.ReadResource("/AuProgress.html").has_value());
    EXPECT_FALSE(m_library.ReadResource("..").has_value());

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
    ASSERT_TRUE(m_library.OpenResourceLibrary(temp.filePath("_AuResLib.rcc").toStdString()));
    EXPECT_EQ(m_library.ResourceFilePath(), m_path.toStdString());
    // A library beside the program comes first.
    const QString copy = CopyToUnusualFolder(temp);
    ASSERT_TRUE(m_library.OpenResourceLibrary(copy.toStdString()));
    EXPECT_EQ(m_library.ResourceFilePath(), copy.toStdString());
}

TEST_F(ResourceLibraryTest, TwoLibrariesStayIndependent) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString copy = CopyToUnusualFolder(temp);

    QtResourceLibrary second;
    QtResourceLibrary third;
    ASSERT_TRUE(second.OpenResourceLibrary(copy.toStdString()));
    ASSERT_TRUE(third.OpenResourceLibrary(m_path.toStdString())); // the same file once more
    EXPECT_EQ(second.ResourceFilePath(), copy.toStdString());
    EXPECT_NE(m_library.ResourcePath("101"), third.ResourcePath("101"));
    EXPECT_EQ(second.ReadResource("AuProgress.html"), m_library.ReadResource("AuProgress.html"));

    m_library.CloseResourceLibrary();
    EXPECT_TRUE(second.ReadResource("101").has_value());
    EXPECT_TRUE(third.ReadResource("101").has_value());
    EXPECT_NE(third.LoadResourcePicture("IC_QUESTION", 32), nullptr);

    // Reopening one library on another file leaves the others untouched.
    ASSERT_TRUE(third.OpenResourceLibrary(copy.toStdString()));
    EXPECT_EQ(third.ResourceFilePath(), copy.toStdString());
    second.CloseResourceLibrary();
    EXPECT_TRUE(third.ReadResource("aniProgressStop.gif").has_value());
}

TEST_F(ResourceLibraryTest, ProgressPageUrlLeadsBackToTheLibrary) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    QtResourceLibrary library;
    ASSERT_TRUE(library.OpenResourceLibrary(CopyToUnusualFolder(temp).toStdString()));

    const std::string path = library.ResourceFilePath();
    const std::string url = "res://" + ResourceUrlPath(path) + "/AuProgress.html";
    EXPECT_EQ(url.find(' '), std::string::npos) << url;
    EXPECT_EQ(url.find('#'), std::string::npos) << url;

    std::string filePath;
    std::string resourceName;
    ASSERT_TRUE(ParseResUrl(url, filePath, resourceName)) << url;
    EXPECT_EQ(filePath, path);
    EXPECT_EQ(resourceName, "AuProgress.html");
    EXPECT_TRUE(library.ReadResource(resourceName).has_value());
}

TEST(ResUrlTest, EncodesEverythingButPlainCharactersAndSlashes) {
    EXPECT_EQ(ResourceUrlPath("/opt/x y/_AuResLib.rcc"), "/opt/x%20y/_AuResLib.rcc");
    EXPECT_EQ(ResourceUrlPath("/home/jörg/a~b-c.d"), "/home/j%C3%B6rg/a~b-c.d");
    EXPECT_EQ(ResourceUrlPath("/a#b?c%d+e&f:g"), "/a%23b%3Fc%25d%2Be%26f%3Ag");
    EXPECT_EQ(ResourceUrlPath(""), "");
}

TEST(ResUrlTest, RoundTripsPathsWithBlanksAndNonAscii) {
    for (const std::string path :
         {"/opt/x y/_AuResLib.rcc", "/home/jörg/Über Updates/日本/_AuResLib.rcc",
          "/tmp/100% sicher #2?/a+b&c=d/_AuResLib.rcc", "/_AuResLib.rcc"}) {
        for (const std::string name : {"AuProgress.html", "aniProgress.gif", "101"}) {
            std::string filePath;
            std::string resourceName;
            const std::string url = "res://" + ResourceUrlPath(path) + "/" + name;
            ASSERT_TRUE(ParseResUrl(url, filePath, resourceName)) << url;
            EXPECT_EQ(filePath, path);
            EXPECT_EQ(resourceName, name);
        }
    }
}

TEST(ResUrlTest, AcceptsTheFormsABrowserHandsBack) {
    struct Case {
        std::string url;
        std::string path;
        std::string name;
    };
    const std::vector<Case> cases = {
        // Decoded for display: blanks and UTF-8 unescaped.
        {"res:///opt/x y/_AuResLib.rcc/aniProgress.gif", "/opt/x y/_AuResLib.rcc",
         "aniProgress.gif"},
        {"res:///home/jörg/_AuResLib.rcc/101", "/home/jörg/_AuResLib.rcc", "101"},
        {"RES:///opt/_AuResLib.rcc/AuProgress.html?v=2#top", "/opt/_AuResLib.rcc",
         "AuProgress.html"},
        {"res://localhost/opt/_AuResLib.rcc/101", "/opt/_AuResLib.rcc", "101"},
        {"res:/opt/_AuResLib.rcc/101", "/opt/_AuResLib.rcc", "101"},
        {"res:///opt/%c3%a4/_AuResLib.rcc/a%20b.gif", "/opt/ä/_AuResLib.rcc", "a b.gif"},
    };
    for (const Case& c : cases) {
        std::string filePath = "unchanged";
        std::string resourceName = "unchanged";
        ASSERT_TRUE(ParseResUrl(c.url, filePath, resourceName)) << c.url;
        EXPECT_EQ(filePath, c.path) << c.url;
        EXPECT_EQ(resourceName, c.name) << c.url;
    }
}

TEST(ResUrlTest, RefusesOtherSchemesHostsAndBrokenEscapes) {
    for (const std::string url : {
             "http:///opt/_AuResLib.rcc/101",
             "file:///opt/_AuResLib.rcc/101",
             "resx:///opt/_AuResLib.rcc/101",
             "res://server/opt/_AuResLib.rcc/101",
             "res://localhost.evil/opt/_AuResLib.rcc/101",
             "res://",
             "res:",
             "res:opt/_AuResLib.rcc/101",
             "res:///opt/_AuResLib.rcc/",
             "res:///AuProgress.html",
             "res:///opt/%zz/_AuResLib.rcc/101",
             "res:///opt/_AuResLib.rcc/10%",
             "res:///opt/_AuResLib.rcc/10%1",
             "res:///opt/%00/_AuResLib.rcc/101",
         }) {
        std::string filePath = "unchanged";
        std::string resourceName = "unchanged";
        EXPECT_FALSE(ParseResUrl(url, filePath, resourceName)) << url;
        EXPECT_EQ(filePath, "unchanged") << url;
        EXPECT_EQ(resourceName, "unchanged") << url;
    }
}

} // namespace
