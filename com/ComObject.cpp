#include "com/ComObject.h"

#include <algorithm>

#include "automation/AutomationDispatcher.h"
#include "com/ComArguments.h"
#include "com/ComBarrier.h"
#include "com/ComDualInterface.h"
#include "com/ComVariant.h"
#include "com/DispatchIds.h"
#include "platform/win32/AdoptComPtr.h"
#include "platform/win32/WideText.h"

namespace KDAutoUpdate {

namespace {

std::function<void()>& LastObjectGone() {
    static std::function<void()> handler;
    return handler;
}

DISPID IdOf(const ClassDescription& type, std::string_view name) {
    const std::vector<int> ids = DispatchIds(type);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const std::string_view member = type.members[i].name;
        if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, member.data(),
                           static_cast<int>(member.size()), name.data(),
                           static_cast<int>(name.size())) == CSTR_EQUAL)
            return ids[i];
    }
    return DISPID_UNKNOWN;
}

std::string_view NameOf(const ClassDescription& type, DISPID wanted) {
    const std::vector<int> ids = DispatchIds(type);
    const auto at = std::find(ids.begin(), ids.end(), wanted);
    return at == ids.end() ? std::string_view() : type.members[at - ids.begin()].name;
}

BSTR Bstr(const std::string& text) {
    const std::wstring wide = Widen(text);
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

} // namespace

std::atomic<long> ComObject::s_live{0};

void ComObject::SetLastObjectGone(std::function<void()> handler) {
    LastObjectGone() = std::move(handler);
}

ComObject::ComObject(const ClassDescription& type, std::shared_ptr<void> instance,
                     ITypeLib* library)
    : m_type(type), m_instance(std::move(instance)), m_library(library) {
    ++s_live;
    const std::wstring id = Widen(std::string(m_type.interfaceId));
    if (id.empty() || FAILED(IIDFromString(id.c_str(), &m_dualId)))
        m_dualId = IID_NULL;
}

Microsoft::WRL::ComPtr<ComObject> ComObject::Make(const ClassDescription& type,
                                                  std::shared_ptr<void> instance,
                                                  ITypeLib* library) {
    return AdoptComPtr(new ComObject(type, std::move(instance), library));
}

ComObject::~ComObject() {
    m_instance.reset(); // an agent ends here: windows closed, store saved
    m_extension.reset();
    m_dual.reset();
    m_library.Reset();
    if (--s_live == 0 && LastObjectGone())
        LastObjectGone()();
}

REFIID ComObject::ErrorInterface() const {
    return IsEqualIID(m_dualId, IID_NULL) ? IID_IDispatch : m_dualId;
}

HRESULT ComObject::QueryInterface(REFIID riid, void** object) {
    return ComBarrier::Run(ErrorInterface(), [&] { return Query(riid, object); });
}

HRESULT ComObject::Query(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    if (IsEqualIID(riid, IID_ISupportErrorInfo)) {
        *object = static_cast<ISupportErrorInfo*>(this);
        AddRef();
        return S_OK;
    }
    if (!IsEqualIID(m_dualId, IID_NULL) && IsEqualIID(riid, m_dualId)) {
        if (!m_dual)
            m_dual = NewDualInterface(m_type.interfaceName, *this);
        if (!m_dual)
            return E_NOINTERFACE;
        *object = m_dual.get();
        AddRef();
        return S_OK;
    }
    if (m_extension)
        return m_extension->QueryInterface(riid, object);
    return E_NOINTERFACE;
}

ULONG ComObject::Release() {
    const ULONG refs = --m_refs;
    if (refs == 0)
        delete this;
    return refs;
}

HRESULT ComObject::InterfaceSupportsErrorInfo(REFIID riid) {
    // IDispatch callers get their error in EXCEPINFO instead.
    return IsEqualIID(riid, m_dualId) ? S_OK : S_FALSE;
}

HRESULT ComObject::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = m_library && !m_type.interfaceId.empty() ? 1 : 0;
    return S_OK;
}

HRESULT ComObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (index != 0 || !m_library || IsEqualIID(m_dualId, IID_NULL))
        return DISP_E_BADINDEX;
    return ComBarrier::Run(ErrorInterface(),
                           [&] { return m_library->GetTypeInfoOfGuid(m_dualId, info); });
}

HRESULT ComObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return ComBarrier::Run(ErrorInterface(), [&] { return Names(names, count, ids); });
}

HRESULT ComObject::Names(LPOLESTR* names, UINT count, DISPID* ids) const {
    if (!names || !ids)
        return E_POINTER;
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    if (count == 0)
        return S_OK;
    const std::string name = names[0] ? Narrow(names[0]) : std::string();
    ids[0] = IdOf(m_type, name);
    if (ids[0] == DISPID_UNKNOWN)
        return DISP_E_UNKNOWNNAME;
    // The rest name arguments of the method (a property has none).
    const MemberDescription* method = FindMember(m_type, name, MemberKind::Method);
    HRESULT hr = S_OK;
    for (UINT i = 1; i < count; ++i) {
        if (method && names[i])
            ids[i] = ComArguments::Position(*method, Narrow(names[i]));
        if (ids[i] == DISPID_UNKNOWN)
            hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

const MemberDescription* ComObject::Member(DISPID id, WORD flags) const {
    const std::string_view name = NameOf(m_type, id);
    if (name.empty())
        return nullptr;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))
        return FindMember(m_type, name, MemberKind::PropertyPut);
    if (const MemberDescription* method = FindMember(m_type, name, MemberKind::Method))
        return method;
    return FindMember(m_type, name, MemberKind::PropertyGet);
}

HRESULT ComObject::Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params,
                          VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
    return ComBarrier::RunInvoke(ErrorInterface(), exception, [&] {
        return Call(id, lcid, flags, params, result, exception, argumentError);
    });
}

HRESULT ComObject::Call(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argumentError) {
    const MemberDescription* member = Member(id, flags);
    if (!member)
        return DISP_E_MEMBERNOTFOUND;
    std::vector<Variant> args;
    UINT failed = 0;
    const HRESULT collected = ComArguments::Collect(*member, params, lcid, args, failed);
    if (FAILED(collected)) {
        if (argumentError)
            *argumentError = failed;
        return collected;
    }
    const Outcome<AutomationValue> outcome =
        KDAutoUpdate::Invoke(m_instance.get(), *member, std::move(args));
    if (!outcome.ok()) {
        const AutomationError& error = outcome.error();
        if (exception) {
            *exception = EXCEPINFO{};
            exception->bstrSource = Bstr(error.source);
            exception->bstrDescription = Bstr(error.description);
            // Small numbers are the runtime's own errors, in its facility.
            exception->scode = error.number > 0 && error.number < 0x10000
                                   ? MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, error.number)
                                   : static_cast<HRESULT>(error.number);
        }
        return DISP_E_EXCEPTION;
    }
    if (!result)
        return S_OK;
    VariantInit(result);
    const AutomationValue& value = outcome.value();
    if (value.IsObject()) {
        result->vt = VT_DISPATCH;
        result->pdispVal =
            value.object.instance
                ? Make(*value.object.type, value.object.instance, m_library.Get()).Detach()
                : nullptr;
    } else {
        ToComVariant(value.scalar, *result);
    }
    return S_OK;
}

} // namespace KDAutoUpdate
