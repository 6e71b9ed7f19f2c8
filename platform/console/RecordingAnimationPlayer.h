#pragma once
// An animation player without pixels: it records what it was asked to do. Open accepts any
// non-empty name; Play succeeds only after a successful Open, as a real player would.

#include <memory>

#include "platform/AnimationPlayer.h"
#include "platform/console/AnimationRecording.h"

namespace KDAutoUpdate {

class RecordingAnimationPlayer : public IAnimationPlayer {
public:
    explicit RecordingAnimationPlayer(
        std::shared_ptr<AnimationRecording> recording = std::make_shared<AnimationRecording>());
    ~RecordingAnimationPlayer() override;
    RecordingAnimationPlayer(const RecordingAnimationPlayer&) = delete;
    RecordingAnimationPlayer& operator=(const RecordingAnimationPlayer&) = delete;

    const AnimationRecording& Recording() const { return *m_recording; }
    std::shared_ptr<const AnimationRecording> SharedRecording() const { return m_recording; }

    // IAnimationPlayer
    void SetOptions(bool first, bool second, bool third) override;
    bool Open(const std::string& resourceName) override;
    bool Play(long from, long to, long repeat) override;
    void Stop() override;
    bool IsPlaying() const override { return m_recording->playing; }

private:
    std::shared_ptr<AnimationRecording> m_recording;
};

} // namespace KDAutoUpdate
