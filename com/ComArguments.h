#pragma once
// The arguments of an IDispatch::Invoke call in the order of the member's description, each
// converted to its described type the way the automation runtime converts values
// (VariantChangeTypeEx): text to numbers and Booleans, doubles rounded to Long, values passed
// by reference read through. Positional arguments arrive last first, named ones (VB's
// `bAsync:=False`) first with their positions in rgdispidNamedArgs; a property's new value is
// the named argument DISPID_PROPERTYPUT. An argument left out (VT_ERROR DISP_E_PARAMNOTFOUND,
// or not passed at all) is an empty Variant, for the dispatcher to default or refuse.

#include <windows.h>

#include <oaidl.h>

#include <string_view>
#include <vector>

#include "automation/AutomationDescription.h"

namespace KDAutoUpdate {

class ComArguments {
public:
    // S_OK with `args` filled, or the HRESULT Invoke answers (DISP_E_TYPEMISMATCH,
    // DISP_E_OVERFLOW, DISP_E_PARAMNOTFOUND) with the index into rgvarg of the argument at
    // fault in `argumentError`; DISP_E_BADPARAMCOUNT for a property written without a value
    // or with more than one.
    static HRESULT Collect(const MemberDescription& member, const DISPPARAMS* params, LCID lcid,
                           std::vector<Variant>& args, UINT& argumentError);

    // The position of the argument `name` (compared without regard to case), or
    // DISPID_UNKNOWN; GetIDsOfNames answers it as the argument's dispatch id.
    static DISPID Position(const MemberDescription& member, std::string_view name);
};

} // namespace KDAutoUpdate
