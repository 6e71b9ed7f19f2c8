#pragma once
// What a recording animation player was asked to do. Shared between the player and its view so
// a test can still read it after the form has released the player.

#include <string>
#include <vector>

namespace KDAutoUpdate {

struct AnimationRecording {
    bool optionsSet = false;
    bool options[3] = {false, false, false};
    std::string openedName; // empty until Open succeeded
    bool playing = false;
    bool released = false; // the player was destroyed
    // Every call in order, as "SetOptions(1,0,1)", "Open(101)", "Play(0,-1,-1)", "Stop()".
    std::vector<std::string> calls;
    int playCount = 0;
    int stopCount = 0;
};

} // namespace KDAutoUpdate
