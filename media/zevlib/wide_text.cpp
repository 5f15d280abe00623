#include "media/zevlib/wide_text.h"

namespace zev::archive {

UString ToWide(TextView text) {
    UString wide;
#if WCHAR_MAX > 0xFFFF
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        wide += static_cast<wchar_t>(c);
    }
#else
    for (char16_t c : text) wide += static_cast<wchar_t>(c);
#endif
    return wide;
}

Text FromWide(const wchar_t* text) {
    Text result;
    if (!text) return result;
    for (; *text; ++text) {
        const auto c = static_cast<uint32_t>(*text);
        if (c > 0xFFFF && c <= 0x10FFFF) {
            result += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            result += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else if (c > 0x10FFFF) {
            result += u'\uFFFD';
        } else {
            result += static_cast<char16_t>(c);
        }
    }
    return result;
}

}  // namespace zev::archive
