#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "config/TextEncoding.h"

namespace veltrona::app {

// Converts between the 8-bit text of one file and the window's Unicode text. Each file
// keeps the code page it was read in, so its bytes survive a read and a write.
class AnsiCodec {
  public:
    explicit AnsiCodec(config::TextEncoding encoding = config::TextEncoding::Utf8)
        : encoding_(encoding) {}

    // The code page that `bytes` are written in.
    static AnsiCodec detect(std::string_view bytes) {
        return AnsiCodec(config::detectEncoding(bytes));
    }

    QString decode(std::string_view bytes) const;
    std::string encode(const QString& text) const;

    config::TextEncoding encoding() const { return encoding_; }

  private:
    config::TextEncoding encoding_;
};

}  // namespace veltrona::app
