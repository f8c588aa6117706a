// SPDX-License-Identifier: GPL-3.0-or-later
#include "storedecode.h"

#include <QStringDecoder>

namespace Module1 {

namespace {

// The bytes 0x80..0x9F of Windows-1252; the rest of the range is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QChar fromCp1252(unsigned char b)
{
    return (b >= 0x80 && b < 0xA0) ? QChar(kCp1252High[b - 0x80]) : QChar(QLatin1Char(char(b)));
}

// Where each line ends, the way the reader splits them: CR LF, LF or a lone
// CR. Both encodings the reader knows keep these bytes as they are.
qsizetype lineEnd(const QByteArray &bytes, qsizetype pos)
{
    while (pos < bytes.size() && bytes[pos] != '\n' && bytes[pos] != '\r')
        ++pos;
    return pos;
}

} // namespace

QString decodeStore(QByteArray bytes, std::vector<int> *fallbackLines)
{
    if (bytes.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringDecoder::Utf16LE).decode(QByteArrayView(bytes).sliced(2));
    if (bytes.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringDecoder::Utf16BE).decode(QByteArrayView(bytes).sliced(2));
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;

    text.clear();
    text.reserve(bytes.size());
    int lineNumber = 0;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        const qsizetype end = lineEnd(bytes, pos);
        ++lineNumber;
        const QByteArrayView line = QByteArrayView(bytes).sliced(pos, end - pos);
        QStringDecoder lineUtf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = lineUtf8.decode(line);
        if (!lineUtf8.hasError()) {
            text += decoded;
        } else {
            fallbackLines->push_back(lineNumber);
            for (const char c : line)
                text += fromCp1252(static_cast<unsigned char>(c));
        }
        // The line's end goes along as it was, so the reader counts alike.
        qsizetype next = end;
        if (next < bytes.size()) {
            if (bytes[next] == '\r' && next + 1 < bytes.size() && bytes[next + 1] == '\n')
                ++next;
            text += QLatin1String(bytes.constData() + end, next + 1 - end);
        }
        pos = next + 1;
    }
    return text;
}


} // namespace Module1
