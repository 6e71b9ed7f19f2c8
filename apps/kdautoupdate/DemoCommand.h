#pragma once
// `demo`: the embedded update service on a free port of 127.0.0.1 and an agent walking the
// whole road against it, in real windows or, without a display, as terminal text.
// `screenshots DIR`: the same road offscreen, saving a picture of every window.

namespace KDAutoUpdate {

int RunDemoCommand(int argc, char** argv);
int RunScreenshotsCommand(int argc, char** argv);

} // namespace KDAutoUpdate
