#include "platform/console/RecordingAnimationPlayer.h"

namespace KDAutoUpdate {

RecordingAnimationPlayer::RecordingAnimationPlayer(std::shared_ptr<AnimationRecording> recording)
    : m_recording(recording ? std::move(recording) : std::make_shared<AnimationRecording>()) {}

RecordingAnimationPlayer::~RecordingAnimationPlayer() {
    m_recording->playing = false;
    m_recording->released = true;
}

void RecordingAnimationPlayer::SetOptions(bool first, bool second, bool third) {
    m_recording->optionsSet = true;
    m_recording->options[0] = first;
    m_recording->options[1] = second;
    m_recording->options[2] = third;
    m_recording->calls.push_back(std::string("SetOptions(") + (first ? "1," : "0,") +
                                 (second ? "1," : "0,") + (third ? "1)" : "0)"));
}

bool RecordingAnimationPlayer::Open(const std::string& resourceName) {
    m_recording->calls.push_back("Open(" + resourceName + ")");
    m_recording->playing = false;
    m_recording->openedName = resourceName;
    return !resourceName.empty();
}

bool RecordingAnimationPlayer::Play(long from, long to, long repeat) {
    m_recording->calls.push_back("Play(" + std::to_string(from) + "," + std::to_string(to) + "," +
                                 std::to_string(repeat) + ")");
    if (m_recording->openedName.empty())
        return false;
    ++m_recording->playCount;
    m_recording->playing = true;
    return true;
}

void RecordingAnimationPlayer::Stop() {
    m_recording->calls.push_back("Stop()");
    ++m_recording->stopCount;
    m_recording->playing = false;
}

} // namespace KDAutoUpdate
