// Takes a picture of every Win32 dialog of the agent, as the Win32 renderer draws it, into
// OUTDIR/*.png: kdau_screenshots.exe OUTDIR [PACKAGE_URL]. With a package address the download
// dialog is shown while it downloads that package (a slow service shows its progress).
// Run by scripts/screenshots-windows.sh under a virtual display.
#include <windows.h>

#include <wincodec.h>
#include <wrl/client.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "deploy/AuMessage.h"
#include "deploy/dlgAfterDownload.h"
#include "deploy/dlgDownload.h"
#include "messages_window/frmMessages.h"
#include "platform/ResourceLibrary.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Platform.h"
#include "store/dlgCheckMessages.h"
#include "store/dlgInstallLastUpdate.h"

namespace KDAutoUpdate {
namespace {

using Microsoft::WRL::ComPtr;

// The window as the screen shows it, frame included, as a PNG file.
bool Grab(HWND window, const std::wstring& file) {
    RECT r{};
    if (!window || !GetWindowRect(window, &r))
        return false;
    const int w = r.right - r.left, h = r.bottom - r.top;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    const UINT stride = (static_cast<UINT>(w) * 3 + 3) & ~3u;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    const bool ok =
        SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_PPV_ARGS(&factory))) &&
        SUCCEEDED(factory->CreateStream(&stream)) &&
        SUCCEEDED(stream->InitializeFromFilename(file.c_str(), GENERIC_WRITE)) &&
        SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
        SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) &&
        SUCCEEDED(encoder->CreateNewFrame(&frame, &options)) &&
        SUCCEEDED(frame->Initialize(options.Get())) &&
        SUCCEEDED(frame->SetSize(static_cast<UINT>(w), static_cast<UINT>(h))) &&
        SUCCEEDED(frame->SetPixelFormat(&format)) && format == GUID_WICPixelFormat24bppBGR &&
        SUCCEEDED(frame->WritePixels(static_cast<UINT>(h), stride, stride * static_cast<UINT>(h),
                                     static_cast<BYTE*>(bits))) &&
        SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", Narrow(file).c_str());
    return ok;
}

class Session {
public:
    Session(std::wstring folder) : m_folder(std::move(folder)) {
        Platform& p = m_platform.platform();
        p.resources->OpenResourceLibrary(p.programFolder + "\\" + p.resources->FileName());
    }

    Platform& platform() { return m_platform.platform(); }

    // Lets the window paint (and an animation or a download move on), then grabs it.
    void Settle(long ms) { m_platform.loop().RunFor(ms); }
    bool Take(const Form& form, const wchar_t* name) {
        return form.View() &&
               Grab(reinterpret_cast<HWND>(form.View()->Handle()), m_folder + L"\\" + name);
    }
    // For a dialog shown modally: grabs it after `ms` from inside its loop, then `then`.
    void TakeLater(const Form& form, const wchar_t* name, UINT ms, std::function<void()> then) {
        auto id = std::make_shared<UINT_PTR>(0);
        *id = m_platform.loop().StartTimer(ms, [this, &form, name, id, then] {
            m_platform.loop().StopTimer(*id);
            m_ok = Take(form, name) && m_ok;
            then();
        });
    }
    bool m_ok = true;

private:
    Win32Platform m_platform;
    std::wstring m_folder;
};

int Run(const std::wstring& folder, const std::string& packageUrl) {
    CreateDirectoryW(folder.c_str(), nullptr);
    Session s(folder);
    {
        dlgCheckMessages form(s.platform());
        form.Load();
        form.ShowModeless(0);
        s.Settle(600);
        s.m_ok = s.Take(form, L"dlgCheckMessages.png") && s.m_ok;
        form.Unload();
    }
    {
        dlgAfterDownload form(s.platform());
        form.Load();
        form.ShowModeless(0);
        s.Settle(600);
        s.m_ok = s.Take(form, L"dlgAfterDownload.png") && s.m_ok;
        form.Unload();
    }
    {
        dlgInstallLastUpdate form(s.platform());
        form.Load();
        s.TakeLater(form, L"dlgInstallLastUpdate.png", 600, [&form] { form.Hide(); });
        form.Init("Keldra Studio 5.1.0", AgentPtr());
        form.Unload();
    }
    {
        // The frame of the messages window; its page needs the browser control.
        frmMessages form(s.platform());
        form.Load();
        form.ShowModeless(0);
        s.Settle(600);
        s.m_ok = s.Take(form, L"frmMessages.png") && s.m_ok;
        form.Unload();
    }
    if (!packageUrl.empty()) {
        AuMessage message;
        message.SetID("KS-2024-503");
        message.SetFileName(packageUrl.substr(packageUrl.rfind('/') + 1));
        message.SetDownloadPath(packageUrl);
        dlgDownload form(s.platform());
        form.Load();
        s.TakeLater(form, L"dlgDownload.png", 1500, [] {});
        form.Execute(&message);
        form.Unload();
    }
    return s.m_ok ? 0 : 1;
}

} // namespace
} // namespace KDAutoUpdate

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kdau_screenshots OUTDIR [PACKAGE_URL]\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int rc =
        KDAutoUpdate::Run(argv[1], argc > 2 ? KDAutoUpdate::Narrow(std::wstring(argv[2])) : "");
    CoUninitialize();
    return rc;
}
