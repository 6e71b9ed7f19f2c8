// A page of 100,000 nested <div>s: what parsing it costs the agent's thread without a bound on
// the work (the HTML reader's tree builder given the page as it is), and what the bound costs
// (the headless browser refusing the page, the XML reader refusing the same nesting as an
// island). Usage: kdau_bench_page_bounds [levels]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/headless/HtmlTreeBuilder.h"
#include "platform/headless/MarkupBounds.h"
#include "platform/pugixml/PugiXmlService.h"

using namespace KDAutoUpdate;

namespace {

template <typename F> double Seconds(F&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string Repeat(const std::string& piece, int times) {
    std::string text;
    text.reserve(piece.size() * static_cast<std::size_t>(times));
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

} // namespace

int main(int argc, char** argv) {
    const int levels = argc > 1 ? std::atoi(argv[1]) : 100000;
    const auto page = std::make_shared<const std::string>(Repeat("<div>", levels));
    bool refused = false;
    const double bounded = Seconds([&] { refused = !MarkupBounds::IsWithinBounds(*page); });
    const double unbounded = Seconds([&] { HtmlTreeBuilder::ParseDocument(page); });
    std::printf("HTML page, %d nested divs: parse %.3f s; bound check %.6f s (refused: %s); "
                "ratio %.0f\n",
                levels, unbounded, bounded, refused ? "yes" : "no", unbounded / bounded);

    PugiXmlService xml(nullptr, nullptr);
    auto island = xml.CreateDocument();
    const std::string deep = Repeat("<a>", levels) + Repeat("</a>", levels);
    bool islandOk = true;
    const double islandTime = Seconds([&] { islandOk = island->loadXML(deep); });
    std::printf("XML island, %d nested elements: read %.6f s (refused: %s)\n", levels, islandTime,
                islandOk ? "no" : "yes");
    return 0;
}
