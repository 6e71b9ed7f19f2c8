#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

#include <optional>
#include <string>

namespace KDAutoUpdate {

// Signs what the service answers with the vendor's secret key, as agents with the matching
// public key in their trust file require: the check answer and the page's data island get an
// "expires" and a "signature" on their root, each package of the island its "sha256" and
// "signature".
class AnswerSigner {
public:
    // `secretKey` is base64 as `kdautoupdate keygen` writes it; answers expire `lifetime`
    // seconds after they were made.
    AnswerSigner(std::string secretKey, qint64 lifetimeSeconds);

    struct PackageProof {
        QString sha256;
        QString signature;
    };
    // Cached while the file keeps its size and time; nullopt when it cannot be read.
    std::optional<PackageProof> ProofOf(const QString& path) const;

    // The answer with "expires" and "signature" on its root; empty when it cannot be signed.
    QByteArray SignCheckAnswer(const QByteArray& xml) const;
    QByteArray SignIsland(const QByteArray& xml) const;

    // Now plus the lifetime, as the agent reads it.
    QString ExpiresText() const;

private:
    template <typename Content> QByteArray Sign(const QByteArray& xml, Content content) const;

    std::string m_secretKey;
    qint64 m_lifetimeSeconds;
    struct CachedProof {
        qint64 size;
        QDateTime modified;
        PackageProof proof;
    };
    mutable QHash<QString, CachedProof> m_proofs;
};

} // namespace KDAutoUpdate
