#include "service/AnswerSigner.h"

#include <QFileInfo>

#include "common/SignedAnswer.h"
#include "platform/pugixml/PugiXmlService.h"
#include "platform/sodium/SodiumSignatureVerifier.h"
#include "platform/sodium/SodiumSigner.h"

namespace KDAutoUpdate {

AnswerSigner::AnswerSigner(std::string secretKey, qint64 lifetimeSeconds)
    : m_secretKey(std::move(secretKey)), m_lifetimeSeconds(lifetimeSeconds) {}

std::optional<AnswerSigner::PackageProof> AnswerSigner::ProofOf(const QString& path) const {
    const QFileInfo info(path);
    if (const auto cached = m_proofs.constFind(path); cached != m_proofs.constEnd() &&
                                                      cached->size == info.size() &&
                                                      cached->modified == info.lastModified())
        return cached->proof;
    SodiumSignatureVerifier hasher;
    const auto sha256 = hasher.FileSha256(path.toStdString());
    const auto signature = SodiumSigner::SignFile(path.toStdString(), m_secretKey);
    if (!sha256 || !signature)
        return std::nullopt;
    PackageProof proof{QString::fromStdString(*sha256), QString::fromStdString(*signature)};
    m_proofs.insert(path, {info.size(), info.lastModified(), proof});
    return proof;
}

QString AnswerSigner::ExpiresText() const {
    return QDateTime::currentDateTimeUtc().addSecs(m_lifetimeSeconds).toString(Qt::ISODate);
}

template <typename Content>
QByteArray AnswerSigner::Sign(const QByteArray& xml, Content content) const {
    PugiXmlService service(nullptr, nullptr);
    const std::unique_ptr<IXmlDocument> document = service.CreateDocument();
    const bool loaded = document->loadXML(xml.toStdString());
    const XmlElementPtr root = document->documentElement();
    if (!loaded || document->parseErrorCode() != 0 || !root)
        return {};
    root->removeAttribute("signature");
    root->setAttribute("expires", ExpiresText().toStdString());
    const auto signature = SodiumSigner::SignData(content(root), m_secretKey);
    if (!signature)
        return {};
    root->setAttribute("signature", *signature);
    return QByteArray::fromStdString(root->xml());
}

QByteArray AnswerSigner::SignCheckAnswer(const QByteArray& xml) const {
    return Sign(xml, CheckAnswerContent);
}

QByteArray AnswerSigner::SignIsland(const QByteArray& xml) const {
    return Sign(xml, IslandContentToSign);
}

} // namespace KDAutoUpdate
