#include "service/SigningOption.h"

#include "platform/sodium/SodiumSigner.h"
#include "service/AnswerSigner.h"

namespace KDAutoUpdate {

std::optional<QString> TakeSigningKeyOption(QStringList& args,
                                            std::shared_ptr<const AnswerSigner>& signer) {
    static const QString kOption = QStringLiteral("--signing-key");
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString file;
        if (args[i] == kOption) {
            if (i + 1 >= args.size())
                return QStringLiteral("--signing-key needs a value");
            file = args[i + 1];
            args.remove(i, 2);
        } else if (args[i].startsWith(kOption + u'=')) {
            file = args[i].mid(kOption.size() + 1);
            args.remove(i);
        } else {
            continue;
        }
        const auto key = SodiumSigner::ReadSecretKeyFile(file.toStdString());
        if (!key)
            return QStringLiteral("no signing key in '%1'").arg(file);
        signer = std::make_shared<AnswerSigner>(*key, kSignedAnswerLifetimeSeconds);
        --i;
    }
    return std::nullopt;
}

} // namespace KDAutoUpdate
