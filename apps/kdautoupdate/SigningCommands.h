#pragma once

namespace KDAutoUpdate {

// `keygen DIR`: writes a new key pair, DIR/update-signing.key (secret, readable by its owner
// only) and DIR/update-signing.pub, and prints the public key as a trust file entry. An
// existing key is never overwritten.
int RunKeygenCommand(int argc, char** argv);
// `sign FILE --key KEY`: prints the package's "signature" and "sha256" as the page carries them.
int RunSignCommand(int argc, char** argv);

} // namespace KDAutoUpdate
