#include "platform/win32/Win32AnimationPlayer.h"

#include <propidl.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <optional>

namespace KDAutoUpdate {

using Microsoft::WRL::ComPtr;

namespace {

constexpr UINT kMinDelayMs = 20; // no busy stepping on frames without a delay
constexpr UINT kDefaultDelayMs = 100;

struct Decoded {
    UINT width = 0;
    UINT height = 0;
    std::vector<std::vector<unsigned char>> pixels;
    std::vector<UINT> delays;
};

std::optional<UINT> MetadataNumber(IWICMetadataQueryReader* reader, const wchar_t* name) {
    PROPVARIANT value;
    PropVariantInit(&value);
    std::optional<UINT> number;
    if (reader && SUCCEEDED(reader->GetMetadataByName(name, &value)) && value.vt == VT_UI2)
        number = value.uiVal;
    PropVariantClear(&value);
    return number;
}

// Every frame on a canvas of the animation's size, at its place in it, on a clear background:
// the resource library's animations replace each frame by the next one whole.
bool Decode(const std::string& bytes, Decoded& out) {
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    UINT count = 0;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&factory))) ||
        FAILED(factory->CreateStream(&stream)) ||
        FAILED(
            stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())),
                                         static_cast<DWORD>(bytes.size()))) ||
        FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnLoad,
                                                &decoder)) ||
        FAILED(decoder->GetFrameCount(&count)) || count == 0)
        return false;
    ComPtr<IWICMetadataQueryReader> global;
    decoder->GetMetadataQueryReader(&global);
    for (UINT i = 0; i < count; ++i) {
        ComPtr<IWICBitmapFrameDecode> frame;
        ComPtr<IWICFormatConverter> converter;
        UINT w = 0, h = 0;
        if (FAILED(decoder->GetFrame(i, &frame)) || FAILED(frame->GetSize(&w, &h)) ||
            FAILED(factory->CreateFormatConverter(&converter)) ||
            FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA,
                                         WICBitmapDitherTypeNone, nullptr, 0,
                                         WICBitmapPaletteTypeCustom)))
            return false;
        ComPtr<IWICMetadataQueryReader> meta;
        frame->GetMetadataQueryReader(&meta);
        const UINT left = MetadataNumber(meta.Get(), L"/imgdesc/Left").value_or(0);
        const UINT top = MetadataNumber(meta.Get(), L"/imgdesc/Top").value_or(0);
        if (i == 0) {
            out.width = MetadataNumber(global.Get(), L"/logscrdesc/Width").value_or(w + left);
            out.height = MetadataNumber(global.Get(), L"/logscrdesc/Height").value_or(h + top);
        }
        std::vector<unsigned char> part(static_cast<std::size_t>(w) * h * 4);
        if (FAILED(
                converter->CopyPixels(nullptr, w * 4, static_cast<UINT>(part.size()), part.data())))
            return false;
        std::vector<unsigned char> canvas(static_cast<std::size_t>(out.width) * out.height * 4);
        for (UINT y = 0; y < h && top + y < out.height; ++y) {
            const UINT run = std::min(w, out.width > left ? out.width - left : 0);
            std::copy_n(part.begin() + static_cast<std::ptrdiff_t>(y) * w * 4, run * 4,
                        canvas.begin() +
                            (static_cast<std::ptrdiff_t>(top + y) * out.width + left) * 4);
        }
        out.pixels.push_back(std::move(canvas));
        // GIF delays are in hundredths of a second.
        out.delays.push_back(MetadataNumber(meta.Get(), L"/grctlext/Delay").value_or(0) * 10);
    }
    return out.width > 0 && out.height > 0;
}

} // namespace

Win32AnimationPlayer::Win32AnimationPlayer(HWND surface, IResourceLibrary* resources)
    : m_surface(surface), m_resources(resources) {
    if (!m_surface)
        return;
    m_window = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_BITMAP, 0, 0, 0, 0,
                               m_surface, nullptr, GetModuleHandleW(nullptr), nullptr);
}

Win32AnimationPlayer::~Win32AnimationPlayer() {
    Close();
    if (m_window && IsWindow(m_window))
        DestroyWindow(m_window);
}

void Win32AnimationPlayer::SetOptions(bool first, bool second, bool third) {
    m_centre = first;
    m_transparent = second;
    m_loop = third;
    if (m_frame >= 0)
        ShowFrame(m_frame);
}

void Win32AnimationPlayer::Close() {
    Stop();
    m_frames.clear();
    m_frame = -1;
    if (m_window && IsWindow(m_window)) {
        // The control may answer a copy of its own (of a bitmap with alpha).
        const auto old =
            reinterpret_cast<HBITMAP>(SendMessageW(m_window, STM_SETIMAGE, IMAGE_BITMAP, 0));
        if (old && old != m_bitmap)
            DeleteObject(old);
    }
    if (m_bitmap)
        DeleteObject(m_bitmap);
    m_bitmap = nullptr;
}

bool Win32AnimationPlayer::Open(const std::string& resourceName) {
    Close();
    const std::optional<std::string> bytes =
        m_resources ? m_resources->ReadResource(resourceName) : std::nullopt;
    if (!bytes || bytes->empty())
        return false;
    // The imaging component is COM; the agent's thread has it already, a bare thread not.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Decoded decoded;
    const bool ok = Decode(*bytes, decoded);
    if (SUCCEEDED(com))
        CoUninitialize();
    if (!ok)
        return false;
    m_width = decoded.width;
    m_height = decoded.height;
    for (std::size_t i = 0; i < decoded.pixels.size(); ++i)
        m_frames.push_back(Frame{std::move(decoded.pixels[i]), decoded.delays[i]});
    return ShowFrame(0);
}

void Win32AnimationPlayer::Layout() {
    RECT area{};
    GetClientRect(m_surface, &area);
    const int w = static_cast<int>(m_width), h = static_cast<int>(m_height);
    const int x = m_centre ? std::max(0, static_cast<int>(area.right) - w) / 2 : 0;
    const int y = m_centre ? std::max(0, static_cast<int>(area.bottom) - h) / 2 : 0;
    SetWindowPos(m_window, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Win32AnimationPlayer::ShowFrame(int frame) {
    if (frame < 0 || frame >= FrameCount() || !m_window)
        return false;
    m_frame = frame;
    // Premultiplied pixels over the background the options ask for.
    const COLORREF fill = GetSysColor(m_transparent ? COLOR_BTNFACE : COLOR_WINDOW);
    const unsigned char back[3] = {GetBValue(fill), GetGValue(fill), GetRValue(fill)};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = static_cast<LONG>(m_width);
    info.bmiHeader.biHeight = -static_cast<LONG>(m_height); // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap)
        return false;
    const std::vector<unsigned char>& src = m_frames[static_cast<std::size_t>(frame)].pixels;
    auto* dst = static_cast<unsigned char*>(bits);
    for (std::size_t i = 0; i + 3 < src.size(); i += 4) {
        const unsigned alpha = src[i + 3];
        for (std::size_t c = 0; c < 3; ++c)
            dst[i + c] = static_cast<unsigned char>(src[i + c] + back[c] * (255 - alpha) / 255);
        dst[i + 3] = 255;
    }
    const auto old = reinterpret_cast<HBITMAP>(
        SendMessageW(m_window, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    if (old && old != m_bitmap)
        DeleteObject(old);
    if (m_bitmap)
        DeleteObject(m_bitmap);
    m_bitmap = bitmap;
    Layout();
    return true;
}

bool Win32AnimationPlayer::Play(long from, long to, long repeat) {
    if (m_frames.empty())
        return false;
    const long last = FrameCount() - 1;
    const long first = std::max(from, 0L);
    const long end = to < 0 || to > last ? last : to;
    if (first > end)
        return false;
    m_from = static_cast<int>(first);
    m_to = static_cast<int>(end);
    m_passesLeft = repeat < 0 ? -1 : repeat == 0 ? (m_loop ? -1 : 1) : repeat;
    Stop();
    if (!ShowFrame(m_from))
        return false;
    ScheduleStep();
    return true;
}

void CALLBACK Win32AnimationPlayer::OnTimer(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    KillTimer(hwnd, id);
    reinterpret_cast<Win32AnimationPlayer*>(id)->Step();
}

void Win32AnimationPlayer::Step() {
    m_playing = false;
    if (m_frame >= m_to) {
        if (m_passesLeft > 0 && --m_passesLeft == 0)
            return; // the last frame stays
        ShowFrame(m_from);
    } else {
        ShowFrame(m_frame + 1);
    }
    ScheduleStep();
}

void Win32AnimationPlayer::ScheduleStep() {
    const UINT delay = m_frames[static_cast<std::size_t>(m_frame)].delayMs;
    // The timer's id is the player itself, so the callback finds it; Stop kills it.
    m_playing = m_window &&
                SetTimer(m_window, reinterpret_cast<UINT_PTR>(this),
                         delay > 0 ? std::max(delay, kMinDelayMs) : kDefaultDelayMs, &OnTimer) != 0;
}

void Win32AnimationPlayer::Stop() {
    if (m_playing && m_window && IsWindow(m_window))
        KillTimer(m_window, reinterpret_cast<UINT_PTR>(this));
    m_playing = false;
}

} // namespace KDAutoUpdate
