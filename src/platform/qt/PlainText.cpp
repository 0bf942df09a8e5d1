#include "platform/qt/PlainText.h"

namespace platform {

namespace {

bool IsHidden(QChar c) {
    const char16_t u = c.unicode();
    return c.category() == QChar::Other_Control || u == 0x2028 || u == 0x2029 ||
           (u >= 0x202a && u <= 0x202e) || (u >= 0x2066 && u <= 0x2069);
}

}  // namespace

QString PlainText(QString text) {
    text.removeIf(IsHidden);
    return text;
}

}  // namespace platform
