#pragma once
// Plays the resource library's animation on a surface of a form.

#include <string>

namespace KDAutoUpdate {

class IAnimationPlayer {
public:
    virtual ~IAnimationPlayer() = default;
    // The three options: autoplay-like centre, transparent, loop (meaning belongs to the player).
    virtual void SetOptions(bool first, bool second, bool third) = 0;
    // Source: the animation's resource name in the resource library (for example "101").
    virtual bool Open(const std::string& resourceName) = 0;
    virtual bool Play(long from, long to, long repeat) = 0;
    virtual void Stop() = 0;
    virtual bool IsPlaying() const = 0;
};

} // namespace KDAutoUpdate
