// The dual interfaces' vtables: written from the automation description, and reaching the
// agent's members, their optional arguments and records, and the error object on failure.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "KDAutoUpdate_h.h"
#include "agent/AuAgent.h"
#include "com/ComDualWriter.h"
#include "com/ComObject.h"
#include "platform/win32/Win32Platform.h"

namespace KDAutoUpdate {
namespace {

TEST(DualInterfaces, CommittedSourceIsTheOneTheDescriptionWrites) {
    std::stringstream committed;
    committed
        << std::ifstream(KDAU_SOURCE_DIR "/com/ComDualInterfaces.cpp", std::ios::binary).rdbuf();
    const std::string written = WriteDualInterfaces();
    // A changed description: the new source is left here to be copied over the committed one.
    std::ofstream(KDAU_BINARY_DIR "/ComDualInterfaces.cpp", std::ios::binary) << written;
    EXPECT_EQ(committed.str(), written);
}

std::wstring Take(BSTR text) {
    std::wstring value(text ? text : L"", SysStringLen(text));
    SysFreeString(text);
    return value;
}

TEST(DualInterfaces, VtableCallsReachTheAgentAndFailuresSetTheErrorObject) {
    Win32Platform host;
    auto* object =
        new ComObject(AuAgentClass(), std::make_shared<AuAgent>(host.platform()), nullptr);
    _AuAgent* agent = nullptr;
    ASSERT_HRESULT_SUCCEEDED(
        object->QueryInterface(__uuidof(_AuAgent), reinterpret_cast<void**>(&agent)));
    object->Release();
    LONG lcid = 0;
    EXPECT_HRESULT_SUCCEEDED(agent->get_UILanguageLCID(&lcid));
    EXPECT_EQ(lcid, 1031);
    BSTR text = SysAllocString(L"1234");
    EXPECT_HRESULT_SUCCEEDED(agent->put_ProductCode(text));
    SysFreeString(text);
    EXPECT_HRESULT_SUCCEEDED(agent->get_ProductCode(&text));
    EXPECT_EQ(Take(text), L"{1234}");
    _AuProductInfo* info = nullptr;
    ASSERT_HRESULT_SUCCEEDED(agent->GetProductInfo(&info));
    ASSERT_TRUE(info);
    EXPECT_HRESULT_SUCCEEDED(info->get_ProductCode(&text));
    EXPECT_EQ(Take(text), L"{1234}");
    info->Release();

    // An asynchronous check (bAuto missing) stays open until the message loop runs: the next
    // call is refused as busy.
    text = SysAllocString(L"http://127.0.0.1:9/services");
    agent->put_BaseURL(text);
    SysFreeString(text);
    VARIANT_BOOL silent = VARIANT_TRUE, async = VARIANT_TRUE, result = VARIANT_TRUE;
    EXPECT_HRESULT_SUCCEEDED(agent->CheckMessages(&silent, &async, nullptr, &result));
    EXPECT_EQ(result, VARIANT_FALSE);
    EXPECT_EQ(agent->CheckMessages(&silent, &async, nullptr, &result),
              static_cast<HRESULT>(0x80040000L));
    IErrorInfo* error = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &error), S_OK);
    error->GetSource(&text);
    EXPECT_EQ(Take(text), L"AuAgent.CheckMessages");
    error->GetDescription(&text);
    EXPECT_EQ(Take(text), L"Another 'AutoUpdate' already in progress. Process aborted.");
    error->Release();
    agent->Release();
}

} // namespace
} // namespace KDAutoUpdate
