#pragma once
// Plays an animated GIF of the resource library on a surface widget of a form: the frames are
// shown by a label that fills the surface, stepped by a timer of the player's own so that a
// range of frames and a number of passes can be played.
//
// Options, in the interface's order: centre the frames in the surface (else top left); draw
// them on the surface's own background (else on an opaque fill in the window colour); loop
// when Play asks for no particular number of passes.
// Play(from, to, repeat): frames from..to, where a negative `to` means the last frame;
// a negative `repeat` plays endlessly, 0 once or endlessly as the loop option says, and a
// positive one that many passes. Stop keeps the current frame.

#include <QByteArray>
#include <QPointer>
#include <memory>
#include <string>

#include "platform/AnimationPlayer.h"
#include "platform/ResourceLibrary.h"

class QBuffer;
class QLabel;
class QMovie;
class QTimer;
class QWidget;

namespace KDAutoUpdate {

class QtMovieAnimationPlayer final : public IAnimationPlayer {
public:
    QtMovieAnimationPlayer(QWidget* surface, IResourceLibrary* resources);
    ~QtMovieAnimationPlayer() override;
    QtMovieAnimationPlayer(const QtMovieAnimationPlayer&) = delete;
    QtMovieAnimationPlayer& operator=(const QtMovieAnimationPlayer&) = delete;

    // The label that shows the frames; null once the surface is gone.
    QLabel* Label() const;
    // The frame shown, -1 when nothing is open; the number of frames, 0 when nothing is open.
    int CurrentFrame() const;
    int FrameCount() const;

    // IAnimationPlayer
    void SetOptions(bool first, bool second, bool third) override;
    bool Open(const std::string& resourceName) override;
    bool Play(long from, long to, long repeat) override;
    void Stop() override;
    bool IsPlaying() const override;

private:
    void Close();
    void ApplyOptions();
    bool ShowFrame(int frame);
    void Step();
    void ScheduleStep();

    QPointer<QWidget> m_surface;
    IResourceLibrary* m_resources;
    QPointer<QLabel> m_label;
    // The movie reads its device lazily: bytes, then buffer, then movie, so the movie goes first.
    QByteArray m_bytes;
    std::unique_ptr<QBuffer> m_buffer;
    std::unique_ptr<QMovie> m_movie;
    std::unique_ptr<QTimer> m_timer;
    int m_frameCount = 0;

    bool m_centre = false;
    bool m_transparent = false;
    bool m_loop = false;

    int m_from = 0;
    int m_to = 0;
    int m_frame = -1;
    long m_passesLeft = 0; // negative: endless
};

} // namespace KDAutoUpdate
