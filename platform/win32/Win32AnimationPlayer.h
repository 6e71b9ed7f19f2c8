#pragma once
// Plays an animated GIF of the resource library on an animation surface of a Win32 form. The
// resource library carries GIFs, not the AVI clips the common controls' Animate control plays,
// so the frames are decoded with the Windows Imaging Component and shown by a static bitmap
// control inside the surface, stepped by a window timer of that control.
//
// Options, in the interface's order: centre the frames in the surface (else top left); draw
// them on the surface's own background (else on an opaque fill in the window colour); loop
// when Play asks for no particular number of passes.
// Play(from, to, repeat): frames from..to, where a negative `to` means the last frame;
// a negative `repeat` plays endlessly, 0 once or endlessly as the loop option says, and a
// positive one that many passes. Stop keeps the current frame.

#include <windows.h>

#include <string>
#include <vector>

#include "platform/AnimationPlayer.h"
#include "platform/ResourceLibrary.h"

namespace KDAutoUpdate {

class Win32AnimationPlayer final : public IAnimationPlayer {
public:
    Win32AnimationPlayer(HWND surface, IResourceLibrary* resources);
    ~Win32AnimationPlayer() override;
    Win32AnimationPlayer(const Win32AnimationPlayer&) = delete;
    Win32AnimationPlayer& operator=(const Win32AnimationPlayer&) = delete;

    // The frame shown, -1 when nothing is open; the number of frames, 0 when nothing is open.
    int CurrentFrame() const { return m_frames.empty() ? -1 : m_frame; }
    int FrameCount() const { return static_cast<int>(m_frames.size()); }
    // The control that shows the frames.
    HWND Window() const { return m_window; }

    void SetOptions(bool first, bool second, bool third) override;
    bool Open(const std::string& resourceName) override;
    bool Play(long from, long to, long repeat) override;
    void Stop() override;
    bool IsPlaying() const override { return m_playing; }

private:
    struct Frame {
        std::vector<unsigned char> pixels; // premultiplied BGRA, top-down, canvas sized
        UINT delayMs = 0;
    };

    static void CALLBACK OnTimer(HWND hwnd, UINT msg, UINT_PTR id, DWORD time);
    void Close();
    void Layout();
    bool ShowFrame(int frame);
    void Step();
    void ScheduleStep();

    HWND m_surface;
    IResourceLibrary* m_resources;
    HWND m_window = nullptr;
    HBITMAP m_bitmap = nullptr;
    std::vector<Frame> m_frames;
    UINT m_width = 0;
    UINT m_height = 0;

    bool m_centre = false;
    bool m_transparent = false;
    bool m_loop = false;
    bool m_playing = false;

    int m_from = 0;
    int m_to = 0;
    int m_frame = -1;
    long m_passesLeft = 0; // negative: endless
};

} // namespace KDAutoUpdate
