// Reading the data island of a page with 10,000 messages and 10 features each: the time from
// the page's DocumentComplete to the records, and the memory they take.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "agent/AuAgent.h"
#include "agent/FormInstances.h"
#include "messages_window/frmMessages.h"
#include "platform/console/ScriptedRenderer.h"
#include "tests/support/FakeBrowserControl.h"
#include "tests/support/TestPlatform.h"

using namespace KDAutoUpdate;

namespace {

long PeakKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

std::string Island(int messages, int features) {
    std::string xml = "<Messages>";
    for (int m = 0; m < messages; ++m) {
        const std::string id = "MSG-" + std::to_string(m);
        xml +=
            "<Message id=\"" + id + "\" name=\"Keldra Studio Update " + std::to_string(m) +
            "\" toVersion=\"5.1." + std::to_string(m) + "\" fileName=\"update-" + id +
            ".msp\" forProduct=\"{6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14}\" killProcName=\"keldra\" "
            "downloadPath=\"http://127.0.0.1/packages/update-" +
            id +
            ".msp\" compressed=\"no\" mustBePaid=\"no\" cmdLine=\"/quiet\" type=\"msp\"><Features>";
        for (int f = 0; f < features; ++f)
            xml += "<Feature name=\"Feature" + std::to_string(f) + "\" mandatory=\"" +
                   (f % 3 == 0 ? "yes" : "no") + "\" allowUserSelection=\"yes\" checked=\"" +
                   (f % 2 == 0 ? "yes" : "no") + "\" type=\"" + (f % 2 ? "modified" : "new") +
                   "\"/>";
        xml += "</Features></Message>";
    }
    return xml + "</Messages>";
}

} // namespace

int main() {
    const std::string island = Island(10000, 10);
    std::printf("island: 10000 messages x 10 features, %.1f MiB of XML\n",
                static_cast<double>(island.size()) / (1024.0 * 1024.0));

    TestPlatform tp;
    FakeBrowserControl* browser = nullptr;
    ScriptedRenderer renderer(tp.loop(), [&browser]() {
        auto b = std::make_unique<FakeBrowserControl>();
        browser = b.get();
        return b;
    });
    tp.platform().forms = &renderer;
    AuAgent agent(tp.platform());
    agent.SetProductCode("{6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14}");
    if (!agent.DisplayMessages().ok() || !browser)
        return 1;
    frmMessages* window = FormInstances::ForThread().messages.get();
    browser->Complete(window->ProgressBrowser(),
                      std::make_shared<FakeBrowserControl::Page>("res://progress"));
    tp.loop().ProcessPendingEvents();

    auto page = std::make_shared<FakeBrowserControl::Page>("http://127.0.0.1/InitUpdate.aspx");
    page->Add("KdAutoUpdate", "xml")->SetRawSource(island);
    const long before = PeakKiB();
    const auto start = std::chrono::steady_clock::now();
    browser->Complete(window->PageBrowser(), page);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const long after = PeakKiB();
    std::printf("records read: %zu messages, %zu features in the first\n",
                window->Messages().Count(), window->Messages().Item(0)->Features().Count());
    std::printf("time from DocumentComplete to records: %.1f ms\n", ms);
    std::printf("peak memory grew by %ld KiB (process peak %ld KiB)\n", after - before, after);
    return 0;
}
