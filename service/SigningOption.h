#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace KDAutoUpdate {

class AnswerSigner;

// How long a signed answer of `serve` stays valid: long enough for a slow page, short enough
// that an answer replayed later (to hold an agent on an old offer) is refused.
constexpr qint64 kSignedAnswerLifetimeSeconds = 3600;

// Takes "--signing-key FILE" (or "--signing-key=FILE") out of `args` and makes its signer;
// the problem when the option has no value or the file holds no secret key.
std::optional<QString> TakeSigningKeyOption(QStringList& args,
                                            std::shared_ptr<const AnswerSigner>& signer);

} // namespace KDAutoUpdate
