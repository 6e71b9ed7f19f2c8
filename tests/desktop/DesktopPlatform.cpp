#include "tests/desktop/DesktopPlatform.h"

#include <QApplication>

#include <system_error>

#include "tests/support/TestPlatform.h"

namespace KDAutoUpdate {

namespace {
const char* const kResourceFile = "_AuResLib.rcc";
} // namespace

DesktopPlatform::DesktopPlatform()
    : m_folder(TestPlatform::MakeTempFolder("desktop")),
      m_renderer(m_loop, &m_resources, [this](QWidget* container) {
          auto control =
              std::make_unique<QtWebBrowserControl>(container, m_http, &m_resources, m_loop);
          control->SetDesktop(&m_desktop);
          m_lastBrowser = control.get();
          return control;
      }) {
    std::error_code error;
    if (m_folder.empty())
        m_error = "no program folder";
    else if (!std::filesystem::copy_file(std::filesystem::path(KDAU_BINARY_DIR) / "bin" /
                                             kResourceFile,
                                         m_folder / kResourceFile, error))
        m_error = "resource library not copied: " + error.message();
}

DesktopPlatform::~DesktopPlatform() {
    // Browser controls and windows of the ended forms go from the loop; they use the parts
    // of this platform, so they must be gone before it.
    Drain();
    WaitFor([this] { return m_lastBrowser.isNull() && m_renderer.Views().empty(); }, 10000);
    Drain();
    std::error_code error;
    if (!m_folder.empty())
        std::filesystem::remove_all(m_folder, error);
}

bool DesktopPlatform::WaitFor(const std::function<bool()>& done, long timeoutMs) {
    return m_loop.RunUntil(done, timeoutMs);
}

void DesktopPlatform::Drain() {
    // Twice: tasks that the first round ran may have queued more.
    for (int round = 0; round < 2; ++round) {
        bool reached = false;
        m_loop.Post([&reached] { reached = true; });
        m_loop.RunUntil([&reached] { return reached; }, kPatience);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

} // namespace KDAutoUpdate
