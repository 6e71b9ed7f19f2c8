#include "com/ComErrorInfo.h"

#include <wrl/client.h>

namespace KDAutoUpdate {

void ComErrorInfo::Set(REFIID iid, const wchar_t* source, const wchar_t* description) noexcept {
    Microsoft::WRL::ComPtr<ICreateErrorInfo> create;
    Microsoft::WRL::ComPtr<IErrorInfo> info;
    if (FAILED(CreateErrorInfo(&create)))
        return;
    create->SetGUID(iid);
    create->SetSource(const_cast<wchar_t*>(source));
    create->SetDescription(const_cast<wchar_t*>(description));
    if (SUCCEEDED(create.As(&info)))
        SetErrorInfo(0, info.Get());
}

} // namespace KDAutoUpdate
