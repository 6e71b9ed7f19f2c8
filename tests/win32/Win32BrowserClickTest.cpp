// The page's clicks as the browser control delivers them to the messages window: handlers are
// attached beside the page's own (attachEvent), so the page's handlers on its close button and
// document keep running; binding anew replaces only what was bound before, and a handler that
// answers false cancels the click through the event object the engine passes. Wine has no HTML
// engine: the element and document here are fakes with the engine's attachEvent and
// detachEvent, holding their handlers in a list as the engine does.
#include <gtest/gtest.h>

#include <wrl/client.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "StackCom.h"
#include "platform/win32/Win32BrowserClickBinding.h"

namespace KDAutoUpdate {
namespace {

using Microsoft::WRL::ComPtr;

// The click's event object: records what the handlers set.
class FakeEvent final : public StackDispatch<IHTMLEventObj> {
public:
    bool cancelled = false;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE put_returnValue(VARIANT v) override {
        cancelled = v.vt == VT_BOOL && v.boolVal == VARIANT_FALSE;
        return S_OK;
    }
#define KDAU_UNUSED_EVENT_MEMBER(name, type)                                                       \
    HRESULT STDMETHODCALLTYPE name(type) override {                                                \
        return E_NOTIMPL;                                                                          \
    }
    KDAU_UNUSED_EVENT_MEMBER(get_srcElement, IHTMLElement**)
    KDAU_UNUSED_EVENT_MEMBER(get_altKey, VARIANT_BOOL*)
    KDAU_UNUSED_EVENT_MEMBER(get_ctrlKey, VARIANT_BOOL*)
    KDAU_UNUSED_EVENT_MEMBER(get_shiftKey, VARIANT_BOOL*)
    KDAU_UNUSED_EVENT_MEMBER(get_returnValue, VARIANT*)
    KDAU_UNUSED_EVENT_MEMBER(put_cancelBubble, VARIANT_BOOL)
    KDAU_UNUSED_EVENT_MEMBER(get_cancelBubble, VARIANT_BOOL*)
    KDAU_UNUSED_EVENT_MEMBER(get_fromElement, IHTMLElement**)
    KDAU_UNUSED_EVENT_MEMBER(get_toElement, IHTMLElement**)
    KDAU_UNUSED_EVENT_MEMBER(put_keyCode, LONG)
    KDAU_UNUSED_EVENT_MEMBER(get_keyCode, LONG*)
    KDAU_UNUSED_EVENT_MEMBER(get_button, LONG*)
    KDAU_UNUSED_EVENT_MEMBER(get_type, BSTR*)
    KDAU_UNUSED_EVENT_MEMBER(get_qualifier, BSTR*)
    KDAU_UNUSED_EVENT_MEMBER(get_reason, LONG*)
    KDAU_UNUSED_EVENT_MEMBER(get_x, LONG*)
    KDAU_UNUSED_EVENT_MEMBER(get_y, LONG*)
    KDAU_UNUSED_EVENT_MEMBER(get_clientX, LONG*)
    KDAU_UNUSED_EVENT_MEMBER(get_clientY, LONG*)
    KDAU_UNUSED_EVENT_MEMBER(get_offsetX, LONG*)
    KDAU_UNUSED_EVENT_MEMBER(get_offsetY, LONG*)
    KDAU_UNUSED_EVENT_MEMBER(get_screenX, LONG*)
    KDAU_UNUSED_EVENT_MEMBER(get_screenY, LONG*)
    KDAU_UNUSED_EVENT_MEMBER(get_srcFilter, IDispatch**)
#undef KDAU_UNUSED_EVENT_MEMBER
};

// A handler the page's own script attached.
class PageHandler final : public StackDispatch<> {
public:
    int calls = 0;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        ++calls;
        return S_OK;
    }
};

// An element or document as the engine keeps its attached click handlers: in a list, each
// called with the event object as its one argument.
class FakeClickTarget final : public StackObject<IUnknown> {
public:
    std::vector<ComPtr<IDispatch>> handlers;

    HRESULT STDMETHODCALLTYPE attachEvent(BSTR event, IDispatch* handler, VARIANT_BOOL* ok) {
        *ok = VARIANT_FALSE;
        if (std::wstring(event) != L"onclick" || !handler)
            return S_OK;
        handlers.emplace_back(handler);
        *ok = VARIANT_TRUE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE detachEvent(BSTR event, IDispatch* handler) {
        if (std::wstring(event) == L"onclick")
            handlers.erase(std::remove_if(handlers.begin(), handlers.end(),
                                          [&](const auto& h) { return h.Get() == handler; }),
                           handlers.end());
        return S_OK;
    }
    void Click(FakeEvent& event) {
        const std::vector<ComPtr<IDispatch>> called = handlers;
        for (const auto& handler : called) {
            VARIANT argument;
            argument.vt = VT_DISPATCH;
            argument.pdispVal = &event;
            DISPPARAMS params{&argument, nullptr, 1, 0};
            handler->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                            nullptr);
        }
    }
};

TEST(Win32BrowserClick, TheBindingRunsBesideThePagesOwnHandlers) {
    FakeClickTarget target;
    PageHandler page;
    VARIANT_BOOL ok = VARIANT_FALSE;
    BSTR onclick = SysAllocString(L"onclick");
    target.attachEvent(onclick, &page, &ok);
    SysFreeString(onclick);
    {
        Win32BrowserClickBinding<FakeClickTarget> binding;
        int ours = 0;
        ASSERT_TRUE(binding.Bind(&target, [&](IHTMLEventObj* event) {
            EXPECT_TRUE(event);
            ++ours;
            return true;
        }));
        FakeEvent event;
        target.Click(event);
        EXPECT_EQ(page.calls, 1);
        EXPECT_EQ(ours, 1);
        EXPECT_FALSE(event.cancelled);

        // Bound anew: the earlier handler goes, the page's stays.
        int replacement = 0;
        ASSERT_TRUE(binding.Bind(&target, [&](IHTMLEventObj*) { return ++replacement, false; }));
        EXPECT_EQ(target.handlers.size(), 2u);
        FakeEvent cancelled;
        target.Click(cancelled);
        EXPECT_EQ(page.calls, 2);
        EXPECT_EQ(ours, 1);
        EXPECT_EQ(replacement, 1);
        EXPECT_TRUE(cancelled.cancelled);
    }
    // The binding is gone, and its handler with it; the target holds nothing of ours.
    ASSERT_EQ(target.handlers.size(), 1u);
    EXPECT_EQ(target.handlers.front().Get(), &page);
    EXPECT_EQ(target.refs, 1u);
    EXPECT_EQ(page.refs, 2u); // the target's reference
}

// Once taken off and let go by the page, the handler is freed with what it holds.
TEST(Win32BrowserClick, ANullHandlerTakesOffWhatWasBoundAndFreesIt) {
    FakeClickTarget target;
    Win32BrowserClickBinding<FakeClickTarget> binding;
    const auto held = std::make_shared<int>(0);
    ASSERT_TRUE(binding.Bind(&target, [held](IHTMLEventObj*) { return true; }));
    ASSERT_EQ(target.handlers.size(), 1u);
    EXPECT_EQ(held.use_count(), 2);
    EXPECT_TRUE(binding.Bind(&target, nullptr));
    EXPECT_TRUE(target.handlers.empty());
    EXPECT_EQ(held.use_count(), 1);
    EXPECT_EQ(target.refs, 1u);
}

// Called as an onclick property's handler (no event object), the answer is the result; a
// handler that throws cancels.
TEST(Win32BrowserClick, WithoutAnEventTheAnswerIsTheResult) {
    const ComPtr<IDispatch> click =
        AdoptComPtr<IDispatch>(new Win32BrowserClick([](IHTMLEventObj* event) -> bool {
            if (event)
                return true;
            throw std::runtime_error("no event");
        }));
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(
        click->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
        S_OK);
    EXPECT_EQ(result.vt, VT_BOOL);
    EXPECT_EQ(result.boolVal, VARIANT_FALSE);
    EXPECT_EQ(click->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
}

} // namespace
} // namespace KDAutoUpdate
