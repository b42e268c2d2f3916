#include "AnsiCodec.h"

namespace veltrona::app {

QString AnsiCodec::decode(std::string_view bytes) const {
    const std::string utf8 = config::toUtf8(bytes, encoding_);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string AnsiCodec::encode(const QString& text) const {
    const QByteArray utf8 = text.toUtf8();
    return config::fromUtf8(
        std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())), encoding_);
}

}  // namespace veltrona::app
