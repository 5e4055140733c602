#include "Install/PackageInfoReader.h"

#include <climits>
#include <cstring>
#include <memory>

#include <expat.h>

namespace ostrel {
namespace {

struct ParserFree {
    void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};
using ParserPtr = std::unique_ptr<std::remove_pointer_t<XML_Parser>, ParserFree>;

// Every handler gets the parser itself, so it can stop it; the reader's field is its user data.
void XMLCALL onStart(void* parser, const XML_Char* name, const XML_Char** attributes) {
    if (std::strcmp(name, "pkg-info") != 0)
        return;
    auto& location = *static_cast<std::optional<std::string>*>(XML_GetUserData(static_cast<XML_Parser>(parser)));
    location.reset();
    for (size_t i = 0; attributes[i] != nullptr; i += 2) {
        if (std::strcmp(attributes[i], "install-location") == 0)
            location = attributes[i + 1];
    }
}

// Entity declarations are how billion-laughs documents grow; a PackageInfo needs none.
void XMLCALL onEntityDeclaration(void* parser, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                                 const XML_Char*, const XML_Char*, const XML_Char*) {
    XML_StopParser(static_cast<XML_Parser>(parser), XML_FALSE);
}

} // namespace

bool PackageInfoReader::parse(std::string_view xml) {
    ParserPtr parser(XML_ParserCreate(nullptr));
    if (!parser)
        return false;
    XML_SetStartElementHandler(parser.get(), onStart);
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetEntityDeclHandler(parser.get(), onEntityDeclaration);
    XML_UseParserAsHandlerArg(parser.get());
    XML_SetUserData(parser.get(), &installLocation_);
    if (xml.size() > static_cast<size_t>(INT_MAX))
        return false;
    return XML_Parse(parser.get(), xml.data(), static_cast<int>(xml.size()), XML_TRUE) == XML_STATUS_OK;
}

} // namespace ostrel
