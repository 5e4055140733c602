#include "Util/Unicode.h"

#include <algorithm>
#include <memory>
#include <vector>

#include <unicode/ubrk.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

namespace ostrel::Unicode {
namespace {

struct BreakIteratorCloser {
    void operator()(UBreakIterator* it) const { ubrk_close(it); }
};
using BreakIteratorPtr = std::unique_ptr<UBreakIterator, BreakIteratorCloser>;

std::u16string toUtf16(std::string_view utf8) {
    std::u16string text;
    text.reserve(utf8.size());
    for (size_t offset = 0; offset < utf8.size();) {
        const Scalar s = decodeScalar(utf8, offset);
        offset += s.length;
        if (s.value > 0xFFFF) {
            text.push_back(static_cast<char16_t>(0xD7C0 + (s.value >> 10)));
            text.push_back(static_cast<char16_t>(0xDC00 | (s.value & 0x3FF)));
        } else {
            text.push_back(static_cast<char16_t>(s.value));
        }
    }
    return text;
}

void appendUtf8(std::string& out, char32_t c) {
    char buffer[U8_MAX_LENGTH];
    int32_t length = 0;
    // Every scalar we append came from the decoder, so it always fits.
    U8_APPEND_UNSAFE(buffer, length, static_cast<UChar32>(c));
    out.append(buffer, static_cast<size_t>(length));
}

// Calls `onBoundary(utf8Offset)` at every character boundary after the first,
// until it returns false.
template <typename OnBoundary>
void forEachCharacterEnd(std::string_view utf8, OnBoundary onBoundary) {
    const std::u16string text = toUtf16(utf8);
    UErrorCode status = U_ZERO_ERROR;
    BreakIteratorPtr it(ubrk_open(UBRK_CHARACTER, "", reinterpret_cast<const UChar*>(text.data()),
                                  static_cast<int32_t>(text.size()), &status));
    if (U_FAILURE(status))
        return;
    // Map UTF-16 boundaries back to UTF-8 offsets by walking both together.
    size_t utf8Offset = 0;
    int32_t utf16Offset = 0;
    for (int32_t end = ubrk_next(it.get()); end != UBRK_DONE; end = ubrk_next(it.get())) {
        while (utf16Offset < end) {
            const Scalar s = decodeScalar(utf8, utf8Offset);
            utf8Offset += s.length;
            utf16Offset += s.value > 0xFFFF ? 2 : 1;
        }
        if (!onBoundary(utf8Offset))
            return;
    }
}

} // namespace

Scalar decodeScalar(std::string_view utf8, size_t offset) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(utf8.data());
    const auto length = static_cast<int32_t>(utf8.size());
    auto index = static_cast<int32_t>(offset);
    UChar32 c = 0;
    U8_NEXT(bytes, index, length, c);
    if (c < 0)
        return {0xFFFD, static_cast<size_t>(index) - offset};
    return {static_cast<char32_t>(c), static_cast<size_t>(index) - offset};
}

bool isValidUtf8(std::string_view bytes) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    const auto length = static_cast<int32_t>(bytes.size());
    for (int32_t index = 0; index < length;) {
        UChar32 c = 0;
        U8_NEXT(data, index, length, c);
        if (c < 0)
            return false;
    }
    return true;
}

std::string repairUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t offset = 0; offset < bytes.size();) {
        const Scalar s = decodeScalar(bytes, offset);
        offset += s.length;
        appendUtf8(out, s.value);
    }
    return out;
}

size_t characterCount(std::string_view utf8) {
    size_t count = 0;
    forEachCharacterEnd(utf8, [&](size_t) {
        ++count;
        return true;
    });
    return count;
}

std::string characterPrefix(std::string_view utf8, size_t count) {
    size_t end = 0;
    size_t seen = 0;
    if (count == 0)
        return {};
    forEachCharacterEnd(utf8, [&](size_t boundary) {
        end = boundary;
        return ++seen < count;
    });
    return std::string(utf8.substr(0, end));
}

bool isNumeric(char32_t c) {
    const auto type = u_charType(static_cast<UChar32>(c));
    return type == U_DECIMAL_DIGIT_NUMBER || type == U_LETTER_NUMBER || type == U_OTHER_NUMBER;
}

bool isBlank(char32_t c) {
    return c == U'\t' || u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR;
}

bool isWhitespace(char32_t c) {
    if (isBlank(c))
        return true;
    const auto type = u_charType(static_cast<UChar32>(c));
    return type == U_LINE_SEPARATOR || type == U_PARAGRAPH_SEPARATOR || (c >= 0x0A && c <= 0x0D) || c == 0x85;
}

bool isControl(char32_t c) {
    const auto type = u_charType(static_cast<UChar32>(c));
    return type == U_CONTROL_CHAR || type == U_FORMAT_CHAR;
}

std::string_view trimmingWhitespace(std::string_view utf8) {
    size_t start = utf8.size();
    size_t end = 0;
    for (size_t offset = 0; offset < utf8.size();) {
        const Scalar s = decodeScalar(utf8, offset);
        if (!isWhitespace(s.value)) {
            start = std::min(start, offset);
            end = offset + s.length;
        }
        offset += s.length;
    }
    return start < end ? utf8.substr(start, end - start) : std::string_view{};
}

} // namespace ostrel::Unicode
