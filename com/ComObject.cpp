#include "com/ComObject.h"

#include <algorithm>

#include "automation/AutomationDispatcher.h"
#include "com/ComDualInterface.h"
#include "com/ComVariant.h"
#include "com/DispatchIds.h"
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
    if (m_library)
        m_library->AddRef();
    const std::wstring id = Widen(std::string(m_type.interfaceId));
    if (id.empty() || FAILED(IIDFromString(id.c_str(), &m_dualId)))
        m_dualId = IID_NULL;
}

ComObject::~ComObject() {
    m_instance.reset(); // an agent ends here: windows closed, store saved
    m_extensionHolder.reset();
    m_dual.reset();
    if (m_library)
        m_library->Release();
    if (--s_live == 0 && LastObjectGone())
        LastObjectGone()();
}

HRESULT ComObject::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
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
        *object = m_dual.get();
        if (!m_dual)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    if (m_extension)
        return m_extension->QueryInterface(riid, object);
    *object = nullptr;
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
    return m_library->GetTypeInfoOfGuid(m_dualId, info);
}

HRESULT ComObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids)
        return E_POINTER;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        // Only the member itself; argument names are not offered.
        ids[i] = i == 0 ? IdOf(m_type, Narrow(names[i])) : DISPID_UNKNOWN;
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

HRESULT ComObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                          EXCEPINFO* exception, UINT* argumentError) {
    const MemberDescription* member = Member(id, flags);
    if (!member)
        return DISP_E_MEMBERNOTFOUND;
    const bool put = member->kind == MemberKind::PropertyPut;
    const UINT named = params ? params->cNamedArgs : 0;
    if (named > (put ? 1u : 0u))
        return DISP_E_NONAMEDARGS;
    std::vector<Variant> args;
    const UINT count = params ? params->cArgs : 0;
    for (UINT i = 0; i < count; ++i) {
        // Arguments arrive last first.
        const std::optional<Variant> value = FromComVariant(params->rgvarg[count - 1 - i]);
        if (!value) {
            if (argumentError)
                *argumentError = count - 1 - i;
            return DISP_E_TYPEMISMATCH;
        }
        args.push_back(*value);
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
        result->pdispVal = value.object.instance
                               ? new ComObject(*value.object.type, value.object.instance, m_library)
                               : nullptr;
    } else {
        ToComVariant(value.scalar, *result);
    }
    return S_OK;
}

} // namespace KDAutoUpdate
