#pragma once
// Shared procedures: value conversions with caller-given fallbacks, and form helpers.

#include <optional>
#include <string>
#include <string_view>

#include "AgentPtr.h"
#include "Variant.h"
#include "platform/FormView.h"

namespace KDAutoUpdate {

class IAgent;

// Empty or blank text gives ""; otherwise wraps the text in "{" and "}" where missing.
std::string NormalizeGuid(const std::string& text);

std::string VarToStr(const Variant& value, const std::string& defaultValue);
bool VarToBool(const Variant& value, bool defaultValue);
// VarToBool of an XML attribute read: its text, or the default when the attribute is absent.
bool VarToBool(const std::optional<std::string_view>& attribute, bool defaultValue);
long VarToLong(const Variant& value, long defaultValue);

// Places `form` at the centre of `owner` (or of the screen when owner is null), in twips.
void CenterForm(IFormView& form, const IFormView* owner, const TwipRect& screen);

// Index of the first selected option button of a control array, or -1.
long GetSelectedOption(const IFormView& form, const FormDef& def, const std::string& group);

// The agent behind a back-reference, or null.
IAgent* ObjectFromPtr(const AgentPtr& ptr);

} // namespace KDAutoUpdate
