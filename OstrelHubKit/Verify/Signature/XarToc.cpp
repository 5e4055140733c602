#include "Verify/Signature/XarToc.h"

#include "Util/OpenSslPtr.h"
#include "Verify/Signature/FileBytes.h"
#include "Verify/Signature/SignatureDefect.h"

#include <charconv>
#include <cstring>
#include <memory>

#include <expat.h>

namespace ostrel {
namespace {

const char* const damaged = "the package's table of contents is damaged";

uint64_t number(const std::string& text) {
    uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        throw SignatureDefect(damaged);
    return value;
}

std::vector<uint8_t> base64(const std::string& text) {
    std::string compact;
    for (char c : text)
        if (c != ' ' && c != '\n' && c != '\r' && c != '\t')
            compact.push_back(c);
    std::vector<uint8_t> out(compact.size() / 4 * 3 + 3);
    if (compact.empty() || compact.size() % 4 != 0)
        throw SignatureDefect("a certificate in the package is damaged");
    int length = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(compact.data()),
                                 static_cast<int>(compact.size()));
    if (length < 0)
        throw SignatureDefect("a certificate in the package is damaged");
    size_t padding = compact.ends_with("==") ? 2 : compact.ends_with("=") ? 1 : 0;
    out.resize(static_cast<size_t>(length) - padding);
    return out;
}

std::vector<uint8_t> hexChecksum(const std::string& text) {
    std::vector<uint8_t> out;
    if (!FileBytes::parseHex(text, out))
        throw SignatureDefect(damaged);
    return out;
}

// Builds an XarToc from expat's events. Every element's text is collected and
// applied when the element ends, according to the element and its parent.
class TocReader {
public:
    explicit TocReader(XarToc& toc) : toc_(toc) {}

    void start(const std::string& name, const char** attributes) {
        if (stack_.size() >= static_cast<size_t>(XarToc::maxDepth))
            throw SignatureDefect("the package's table of contents is nested too deeply");
        const std::string& parent = stack_.empty() ? std::string() : stack_.back();
        std::string style = attribute(attributes, "style");
        text_.clear();
        if (parent == "toc" && name == "checksum")
            toc_.checksumStyle = style;
        else if (parent == "toc" && (name == "signature" || name == "x-signature"))
            signatureFor(name).emplace().style = style;
        else if (name == "file")
            startFile();
        else if (parent == "file" && name == "data" && !files_.empty())
            toc_.files[files_.back().index].data.emplace();
        else if (parent == "file" && name == "ea" && !files_.empty())
            toc_.files[files_.back().index].extendedAttributes.emplace_back();
        else if (XarFileData* d = stored(parent))
            startDataPart(*d, name, style);
        stack_.push_back(name);
    }

    void end() {
        std::string name = stack_.back();
        stack_.pop_back();
        const std::string parent = stack_.empty() ? std::string() : stack_.back();
        if (name == "file") {
            files_.pop_back();
            return;
        }
        applyText(name, parent);
        text_.clear();
    }

    void text(const char* chars, int length) { text_.append(chars, static_cast<size_t>(length)); }

private:
    struct OpenFile {
        size_t index;
        std::string name;
    };

    static std::string attribute(const char** attributes, const char* wanted) {
        for (size_t i = 0; attributes[i] != nullptr; i += 2)
            if (std::strcmp(attributes[i], wanted) == 0)
                return attributes[i + 1];
        return {};
    }

    std::optional<XarSignature>& signatureFor(const std::string& name) {
        return name == "signature" ? toc_.signature : toc_.xSignature;
    }

    // The stored-bytes record that the innermost open element (`container`,
    // directly inside a <file>) stands for, if it is a <data> or <ea>.
    XarFileData* stored(const std::string& container) {
        if (files_.empty() || stack_.size() < 2 || stack_[stack_.size() - 2] != "file")
            return nullptr;
        auto& file = toc_.files[files_.back().index];
        if (container == "data")
            return file.data ? &*file.data : nullptr;
        if (container == "ea")
            return file.extendedAttributes.empty() ? nullptr : &file.extendedAttributes.back();
        return nullptr;
    }

    void startFile() {
        files_.push_back({toc_.files.size(), {}});
        toc_.files.emplace_back();
    }

    static void startDataPart(XarFileData& d, const std::string& name, const std::string& style) {
        if (name == "encoding")
            d.encoding = style;
        else if (name == "archived-checksum")
            d.archivedStyle = style;
        else if (name == "extracted-checksum")
            d.extractedStyle = style;
    }

    // The signature element that directly or indirectly encloses the current one.
    XarSignature* enclosingSignature() {
        if (stack_.size() < 2 || stack_[1] != "toc" || stack_.size() < 3)
            return nullptr;
        const std::string& top = stack_[2];
        if (top != "signature" && top != "x-signature")
            return nullptr;
        auto& signature = signatureFor(top);
        return signature ? &*signature : nullptr;
    }

    void applyText(const std::string& name, const std::string& parent) {
        if (parent == "checksum" && stack_.size() == 3 && stack_[1] == "toc")
            applyRange(name, toc_.checksumOffset, toc_.checksumSize);
        else if ((parent == "signature" || parent == "x-signature") && stack_.size() == 3 && enclosingSignature())
            applyRange(name, enclosingSignature()->offset, enclosingSignature()->size);
        else if (name == "X509Certificate" && enclosingSignature())
            enclosingSignature()->certificates.push_back(base64(text_));
        else if (XarFileData* d = stored(parent))
            applyData(*d, name);
        else if (parent == "file" && !files_.empty())
            applyFile(name);
    }

    void applyRange(const std::string& name, uint64_t& offset, uint64_t& size) {
        if (name == "offset")
            offset = number(text_);
        else if (name == "size")
            size = number(text_);
    }

    void applyData(XarFileData& d, const std::string& name) {
        if (name == "offset")
            d.offset = number(text_);
        else if (name == "length")
            d.length = number(text_);
        else if (name == "size")
            d.size = number(text_);
        else if (name == "archived-checksum")
            d.archivedChecksum = hexChecksum(text_);
        else if (name == "extracted-checksum")
            d.extractedChecksum = hexChecksum(text_);
    }

    void applyFile(const std::string& name) {
        XarFile& file = toc_.files[files_.back().index];
        if (name == "type") {
            file.type = text_;
        } else if (name == "name") {
            files_.back().name = text_;
            std::string prefix;
            for (size_t i = 0; i + 1 < files_.size(); ++i)
                prefix += files_[i].name + "/";
            file.path = prefix + text_;
        }
    }

    XarToc& toc_;
    std::vector<std::string> stack_;
    std::vector<OpenFile> files_;
    std::string text_;
};

struct Session {
    XML_Parser parser;
    TocReader reader;
    std::string failure;
};

void stopWith(Session& s, std::string failure) {
    if (s.failure.empty())
        s.failure = std::move(failure);
    XML_StopParser(s.parser, XML_FALSE);
}

template <typename F>
void guarded(void* data, F&& step) {
    auto& s = *static_cast<Session*>(data);
    if (!s.failure.empty())
        return;
    try {
        step(s.reader);
    } catch (const SignatureDefect& e) {
        stopWith(s, e.detail());
    }
}

struct ParserFree {
    void operator()(XML_ParserStruct* p) const { XML_ParserFree(p); }
};

} // namespace

XarToc XarToc::parse(std::string_view xml) {
    XarToc toc;
    std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreate(nullptr));
    if (!parser || xml.size() > static_cast<size_t>(INT32_MAX))
        throw SignatureDefect(damaged);
    Session session{parser.get(), TocReader(toc), {}};
    XML_SetUserData(parser.get(), &session);
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);
    // Any entity declaration ends the parse: a table of contents needs none,
    // and refusing them stops both external fetches and expansion bombs.
    XML_SetEntityDeclHandler(parser.get(), [](void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                                              const XML_Char*, const XML_Char*, const XML_Char*) {
        stopWith(*static_cast<Session*>(data), "the package's table of contents declares entities");
    });
    XML_SetElementHandler(
        parser.get(),
        [](void* data, const XML_Char* name, const XML_Char** attributes) {
            guarded(data, [&](TocReader& r) { r.start(name, attributes); });
        },
        [](void* data, const XML_Char*) { guarded(data, [](TocReader& r) { r.end(); }); });
    XML_SetCharacterDataHandler(parser.get(), [](void* data, const XML_Char* chars, int length) {
        guarded(data, [&](TocReader& r) { r.text(chars, length); });
    });
    XML_Status status = XML_Parse(parser.get(), xml.data(), static_cast<int>(xml.size()), XML_TRUE);
    if (!session.failure.empty())
        throw SignatureDefect(session.failure);
    if (status != XML_STATUS_OK)
        throw SignatureDefect(damaged);
    return toc;
}

} // namespace ostrel
