#include "platform/headless/HtmlClick.h"

namespace KDAutoUpdate {

bool HtmlClick::Dispatch(const HeadlessElementPtr& target, const HtmlElementPtr& source,
                         std::optional<bool> newChecked, DocumentHandler onDocument,
                         const std::function<bool()>& stillThere) {
    if (!target)
        return false;
    const auto there = [&stillThere] { return !stillThere || stillThere(); };
    const bool before = target->Checked();
    if (newChecked)
        target->SetChecked(*newChecked);

    bool kept = true;
    bool first = true;
    for (HeadlessElementPtr node = target; node && (first || there()); node = node->Parent()) {
        first = false;
        kept = Answer(node->ClickHandler()) && kept;
    }
    if (there())
        kept = Answer(onDocument, source) && kept;

    if (newChecked && !kept)
        target->SetChecked(before);
    return kept;
}

} // namespace KDAutoUpdate
