#include "WindowFont.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QStringList>
#include <QtEndian>

namespace veltrona::ui {

namespace {

// Clears the average character width that the font's OS/2 table declares. The file gives
// it in font units, and Qt reads it as pixels for a face that only has bitmap strikes, so
// every widget that sizes itself by the average width (an empty label, for one) came out
// over 600 pixels wide. Without the entry Qt measures the average width itself. A file
// whose table directory does not hold together is left as it is.
void clearDeclaredAverageWidth(QByteArray& font) {
    constexpr qsizetype kDirectoryStart = 12;
    constexpr qsizetype kRecordSize = 16;
    if (font.size() < kDirectoryStart) {
        return;
    }
    const int tables = qFromBigEndian<quint16>(font.constData() + 4);
    for (int i = 0; i < tables; ++i) {
        const qsizetype record = kDirectoryStart + i * kRecordSize;
        if (record + kRecordSize > font.size()) {
            return;
        }
        if (QByteArrayView(font.constData() + record, 4) != "OS/2") {
            continue;
        }
        const quint32 offset = qFromBigEndian<quint32>(font.constData() + record + 8);
        if (offset + 4 <= quint64(font.size())) {
            font[offset + 2] = 0;  // xAvgCharWidth, a big-endian 16-bit field
            font[offset + 3] = 0;
        }
        return;
    }
}

bool loadWindowFontFile() {
    QFile file(QString::fromUtf8(kWindowFontFile));
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    QByteArray font = file.readAll();
    clearDeclaredAverageWidth(font);
    const int id = QFontDatabase::addApplicationFontFromData(font);
    return id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(
                          QString::fromUtf8(kWindowFontFamily));
}

}  // namespace

void useWindowFont() {
    static const bool once = [] {
        if (!loadWindowFontFile()) {
            QFont::insertSubstitutions(QString::fromUtf8(kWindowFontFamily),
                                       {"Liberation Sans", "Arimo", "Arial", "Nimbus Sans"});
        }
        return true;
    }();
    (void)once;
}

QFont windowFont() {
    useWindowFont();
    return QFont(QString::fromUtf8(kWindowFontFamily), 8);
}

QSize labelTextSize(const QFont& font, const QString& text) {
    const QFontMetrics metrics(font);
    int width = metrics.horizontalAdvance(text);
    if (emboldenedWithoutBoldFace(font)) {
        width += static_cast<int>(text.size()) + 1;
    }
    return QSize(width, metrics.height());
}

bool emboldenedWithoutBoldFace(const QFont& font) {
    if (!font.bold()) {
        return false;
    }
    const QString family = QFontInfo(font).family();
    for (const QString& style : QFontDatabase::styles(family)) {
        if (QFontDatabase::bold(family, style)) {
            return false;
        }
    }
    return true;
}

}  // namespace veltrona::ui
