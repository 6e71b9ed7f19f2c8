#include "platform/qt/QtTextCase.h"

#include <QString>
#include <QStringDecoder>

namespace KDAutoUpdate {

std::string QtTextCase::LowerCase(std::string_view utf8) const {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(QByteArrayView(utf8.data(), static_cast<qsizetype>(utf8.size())));
    if (!decoder.hasError())
        return text.toLower().toStdString();
    // Malformed text keeps its bytes; only its ASCII letters are lowered.
    std::string out(utf8);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace KDAutoUpdate
