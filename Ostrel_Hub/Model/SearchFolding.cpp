#include "Model/SearchFolding.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace ostrel::hub::SearchFolding {

namespace {

bool isAscii(char byte) {
    return static_cast<unsigned char>(byte) < 0x80;
}

char asciiLower(char byte) {
    return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte - 'A' + 'a') : byte;
}

// Fullwidth and halfwidth forms replaced by their ordinary forms (U+FF21 by "A", U+3000 by a
// space, halfwidth katakana by katakana); nothing else changes.
icu::UnicodeString narrowed(const icu::UnicodeString& text, const icu::Normalizer2& nfkd) {
    icu::UnicodeString out;
    for (int32_t index = 0; index < text.length();) {
        const UChar32 c = text.char32At(index);
        index = text.moveIndex32(index, 1);
        const auto type = u_getIntPropertyValue(c, UCHAR_DECOMPOSITION_TYPE);
        icu::UnicodeString decomposition;
        if ((type == U_DT_WIDE || type == U_DT_NARROW) && nfkd.getDecomposition(c, decomposition))
            out.append(decomposition);
        else
            out.append(c);
    }
    return out;
}

void appendWithoutNonspacingMarks(std::string& out, const icu::UnicodeString& text) {
    icu::UnicodeString kept;
    for (int32_t index = 0; index < text.length();) {
        const UChar32 c = text.char32At(index);
        index = text.moveIndex32(index, 1);
        if (u_charType(c) != U_NON_SPACING_MARK)
            kept.append(c);
    }
    kept.toUTF8String(out);
}

void appendFolded(std::string& out, std::string_view utf8) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfkd = icu::Normalizer2::getNFKDInstance(status);
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    // Invalid sequences become U+FFFD here.
    auto text =
        narrowed(icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size()))), *nfkd);
    text.foldCase(U_FOLD_CASE_DEFAULT);
    const icu::UnicodeString decomposed = nfd->normalize(text, status);
    appendWithoutNonspacingMarks(out, decomposed);
}

} // namespace

std::string foldAllThroughUnicode(std::string_view utf8) {
    std::string out;
    appendFolded(out, utf8);
    return out;
}

// ASCII folds to its own lower case, and every ASCII character is a starter that no
// decomposition, reordering or case folding of its neighbours reaches. So a run of ASCII folds
// on its own, and each run of other bytes (which never splits a UTF-8 sequence) goes through
// Unicode alone: the result is the same as folding the whole text there, many times faster.
std::string fold(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t start = 0; start < utf8.size();) {
        size_t end = start;
        if (isAscii(utf8[start])) {
            for (; end < utf8.size() && isAscii(utf8[end]); ++end)
                out.push_back(asciiLower(utf8[end]));
        } else {
            while (end < utf8.size() && !isAscii(utf8[end]))
                ++end;
            appendFolded(out, utf8.substr(start, end - start));
        }
        start = end;
    }
    return out;
}

} // namespace ostrel::hub::SearchFolding
