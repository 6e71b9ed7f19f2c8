// Written from the automation description by com/ComDualWriter.cpp; do not edit.
// clang-format off
#include "KDAutoUpdate_h.h"
#include "com/ComDualInterface.h"

namespace KDAutoUpdate {

namespace {

class AuAgentDual : public ComDual<_AuAgent> {
public:
    using ComDual::ComDual;
    HRESULT STDMETHODCALLTYPE get_IsProcessing(VARIANT_BOOL* result) override { return Get(1, result); }
    HRESULT STDMETHODCALLTYPE get_BaseURL(BSTR* result) override { return Get(2, result); }
    HRESULT STDMETHODCALLTYPE put_BaseURL(BSTR value) override { return Put(2, value); }
    HRESULT STDMETHODCALLTYPE get_ProductCode(BSTR* result) override { return Get(3, result); }
    HRESULT STDMETHODCALLTYPE put_ProductCode(BSTR value) override { return Put(3, value); }
    HRESULT STDMETHODCALLTYPE get_MajorVer(long* result) override { return Get(4, result); }
    HRESULT STDMETHODCALLTYPE put_MajorVer(long value) override { return Put(4, value); }
    HRESULT STDMETHODCALLTYPE get_MinorVer(long* result) override { return Get(5, result); }
    HRESULT STDMETHODCALLTYPE put_MinorVer(long value) override { return Put(5, value); }
    HRESULT STDMETHODCALLTYPE get_Revision(long* result) override { return Get(6, result); }
    HRESULT STDMETHODCALLTYPE put_Revision(long value) override { return Put(6, value); }
    HRESULT STDMETHODCALLTYPE get_CampaignID(BSTR* result) override { return Get(7, result); }
    HRESULT STDMETHODCALLTYPE put_CampaignID(BSTR value) override { return Put(7, value); }
    HRESULT STDMETHODCALLTYPE get_LicKey(BSTR* result) override { return Get(8, result); }
    HRESULT STDMETHODCALLTYPE put_LicKey(BSTR value) override { return Put(8, value); }
    HRESULT STDMETHODCALLTYPE get_ProductLCID(long* result) override { return Get(9, result); }
    HRESULT STDMETHODCALLTYPE put_ProductLCID(long value) override { return Put(9, value); }
    HRESULT STDMETHODCALLTYPE get_TestMode(VARIANT_BOOL* result) override { return Get(10, result); }
    HRESULT STDMETHODCALLTYPE put_TestMode(VARIANT_BOOL value) override { return Put(10, value); }
    HRESULT STDMETHODCALLTYPE get_UILanguageLCID(long* result) override { return Get(11, result); }
    HRESULT STDMETHODCALLTYPE put_UILanguageLCID(long value) override { return Put(11, value); }
    HRESULT STDMETHODCALLTYPE get_IsConnected(VARIANT_BOOL* result) override { return Get(12, result); }
    HRESULT STDMETHODCALLTYPE get_AutoConnect(VARIANT_BOOL* result) override { return Get(13, result); }
    HRESULT STDMETHODCALLTYPE put_AutoConnect(VARIANT_BOOL value) override { return Put(13, value); }
    HRESULT STDMETHODCALLTYPE CheckMessages(VARIANT_BOOL* bSilent, VARIANT_BOOL* bAsync, VARIANT_BOOL* bAuto, VARIANT_BOOL* result) override { return Call(14, result, bSilent, bAsync, bAuto); }
    HRESULT STDMETHODCALLTYPE DisplayMessages() override { return Call(15, nullptr); }
    HRESULT STDMETHODCALLTYPE CheckInstallableUpdates(VARIANT_BOOL* bSilent, VARIANT_BOOL* result) override { return Call(16, result, bSilent); }
    HRESULT STDMETHODCALLTYPE GetProductInfo(_AuProductInfo** result) override { return Call(17, result); }
    HRESULT STDMETHODCALLTYPE get_hwndOwner(long* result) override { return Get(18, result); }
    HRESULT STDMETHODCALLTYPE put_hwndOwner(long value) override { return Put(18, value); }
    HRESULT STDMETHODCALLTYPE get_CompatMode(long* result) override { return Get(19, result); }
    HRESULT STDMETHODCALLTYPE put_CompatMode(long value) override { return Put(19, value); }
    HRESULT STDMETHODCALLTYPE GetLastInstallableUpdate(_AuProductInfo** result) override { return Call(20, result); }
};

class AuProductInfoDual : public ComDual<_AuProductInfo> {
public:
    using ComDual::ComDual;
    HRESULT STDMETHODCALLTYPE get_ProductCode(BSTR* result) override { return Get(1, result); }
    HRESULT STDMETHODCALLTYPE put_ProductCode(BSTR value) override { return Put(1, value); }
    HRESULT STDMETHODCALLTYPE get_LastMessageStamp(BSTR* result) override { return Get(2, result); }
    HRESULT STDMETHODCALLTYPE put_LastMessageStamp(BSTR value) override { return Put(2, value); }
    HRESULT STDMETHODCALLTYPE get_DoNotNotifyLastMessage(VARIANT_BOOL* result) override { return Get(3, result); }
    HRESULT STDMETHODCALLTYPE put_DoNotNotifyLastMessage(VARIANT_BOOL value) override { return Put(3, value); }
    HRESULT STDMETHODCALLTYPE get_LastCheckedDate(DATE* result) override { return Get(4, result); }
    HRESULT STDMETHODCALLTYPE put_LastCheckedDate(DATE value) override { return Put(4, value); }
    HRESULT STDMETHODCALLTYPE get_LastInitDate(DATE* result) override { return Get(5, result); }
    HRESULT STDMETHODCALLTYPE put_LastInitDate(DATE value) override { return Put(5, value); }
    HRESULT STDMETHODCALLTYPE get_LastUpdateMessageID(BSTR* result) override { return Get(6, result); }
    HRESULT STDMETHODCALLTYPE put_LastUpdateMessageID(BSTR value) override { return Put(6, value); }
    HRESULT STDMETHODCALLTYPE get_InstallLastUpdateOnStartUp(VARIANT_BOOL* result) override { return Get(7, result); }
    HRESULT STDMETHODCALLTYPE put_InstallLastUpdateOnStartUp(VARIANT_BOOL value) override { return Put(7, value); }
    HRESULT STDMETHODCALLTYPE get_LastUpdateCmd(BSTR* result) override { return Get(8, result); }
    HRESULT STDMETHODCALLTYPE put_LastUpdateCmd(BSTR value) override { return Put(8, value); }
    HRESULT STDMETHODCALLTYPE get_LastUpdateName(BSTR* result) override { return Get(9, result); }
    HRESULT STDMETHODCALLTYPE put_LastUpdateName(BSTR value) override { return Put(9, value); }
    HRESULT STDMETHODCALLTYPE get_LastKillProcName(BSTR* result) override { return Get(10, result); }
    HRESULT STDMETHODCALLTYPE put_LastKillProcName(BSTR value) override { return Put(10, value); }
    HRESULT STDMETHODCALLTYPE Persist() override { return Call(11, nullptr); }
};

class AuMessageDual : public ComDual<_AuMessage> {
public:
    using ComDual::ComDual;
    HRESULT STDMETHODCALLTYPE get_ID(BSTR* result) override { return Get(1, result); }
    HRESULT STDMETHODCALLTYPE put_ID(BSTR value) override { return Put(1, value); }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* result) override { return Get(2, result); }
    HRESULT STDMETHODCALLTYPE put_Name(BSTR value) override { return Put(2, value); }
    HRESULT STDMETHODCALLTYPE get_FileName(BSTR* result) override { return Get(3, result); }
    HRESULT STDMETHODCALLTYPE put_FileName(BSTR value) override { return Put(3, value); }
    HRESULT STDMETHODCALLTYPE get_IsCompressed(VARIANT_BOOL* result) override { return Get(4, result); }
    HRESULT STDMETHODCALLTYPE put_IsCompressed(VARIANT_BOOL value) override { return Put(4, value); }
    HRESULT STDMETHODCALLTYPE get_Destination(BSTR* result) override { return Get(5, result); }
    HRESULT STDMETHODCALLTYPE put_Destination(BSTR value) override { return Put(5, value); }
    HRESULT STDMETHODCALLTYPE get_LocalPath(BSTR* result) override { return Get(6, result); }
    HRESULT STDMETHODCALLTYPE put_LocalPath(BSTR value) override { return Put(6, value); }
    HRESULT STDMETHODCALLTYPE get_DownloadPath(BSTR* result) override { return Get(7, result); }
    HRESULT STDMETHODCALLTYPE put_DownloadPath(BSTR value) override { return Put(7, value); }
    HRESULT STDMETHODCALLTYPE get_MessageType(long* result) override { return Get(8, result); }
    HRESULT STDMETHODCALLTYPE put_MessageType(long value) override { return Put(8, value); }
    HRESULT STDMETHODCALLTYPE get_Version(BSTR* result) override { return Get(9, result); }
    HRESULT STDMETHODCALLTYPE put_Version(BSTR value) override { return Put(9, value); }
    HRESULT STDMETHODCALLTYPE get_ProductCode(BSTR* result) override { return Get(10, result); }
    HRESULT STDMETHODCALLTYPE put_ProductCode(BSTR value) override { return Put(10, value); }
    HRESULT STDMETHODCALLTYPE get_KillProcName(BSTR* result) override { return Get(11, result); }
    HRESULT STDMETHODCALLTYPE put_KillProcName(BSTR value) override { return Put(11, value); }
    HRESULT STDMETHODCALLTYPE get_CmdLine(BSTR* result) override { return Get(12, result); }
    HRESULT STDMETHODCALLTYPE put_CmdLine(BSTR value) override { return Put(12, value); }
    HRESULT STDMETHODCALLTYPE get_MustBePaid(VARIANT_BOOL* result) override { return Get(13, result); }
    HRESULT STDMETHODCALLTYPE put_MustBePaid(VARIANT_BOOL value) override { return Put(13, value); }
    HRESULT STDMETHODCALLTYPE get_Features(IDispatch** result) override { return Get(14, result); }
    HRESULT STDMETHODCALLTYPE DownloadFileIE() override { return Call(15, nullptr); }
    HRESULT STDMETHODCALLTYPE Deploy() override { return Call(16, nullptr); }
};

class AuFeatureDual : public ComDual<_AuFeature> {
public:
    using ComDual::ComDual;
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* result) override { return Get(1, result); }
    HRESULT STDMETHODCALLTYPE put_Name(BSTR value) override { return Put(1, value); }
    HRESULT STDMETHODCALLTYPE get_FeatureType(long* result) override { return Get(2, result); }
    HRESULT STDMETHODCALLTYPE put_FeatureType(long value) override { return Put(2, value); }
    HRESULT STDMETHODCALLTYPE get_IsMandatory(VARIANT_BOOL* result) override { return Get(3, result); }
    HRESULT STDMETHODCALLTYPE put_IsMandatory(VARIANT_BOOL value) override { return Put(3, value); }
    HRESULT STDMETHODCALLTYPE get_AllowUserSelection(VARIANT_BOOL* result) override { return Get(4, result); }
    HRESULT STDMETHODCALLTYPE put_AllowUserSelection(VARIANT_BOOL value) override { return Put(4, value); }
    HRESULT STDMETHODCALLTYPE get_IsChecked(VARIANT_BOOL* result) override { return Get(5, result); }
    HRESULT STDMETHODCALLTYPE put_IsChecked(VARIANT_BOOL value) override { return Put(5, value); }
    HRESULT STDMETHODCALLTYPE get_InstallState(VARIANT_BOOL* result) override { return Get(6, result); }
};

} // namespace

std::shared_ptr<IDispatch> NewDualInterface(std::string_view interfaceName, IDispatch& owner) {
    if (interfaceName == "_AuAgent")
        return std::make_shared<AuAgentDual>(owner);
    if (interfaceName == "_AuProductInfo")
        return std::make_shared<AuProductInfoDual>(owner);
    if (interfaceName == "_AuMessage")
        return std::make_shared<AuMessageDual>(owner);
    if (interfaceName == "_AuFeature")
        return std::make_shared<AuFeatureDual>(owner);
    return nullptr;
}

} // namespace KDAutoUpdate
