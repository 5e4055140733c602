#include "Services/ServiceConfig.h"

#include "Services/JsonReader.h"
#include "Util/AtomicFile.h"
#include "Util/Text.h"

#include <nlohmann/json.hpp>

namespace ostrel {

namespace {

using nlohmann::json;

constexpr size_t pinLength = 44; // base64 of a SHA-256 digest

std::string requiredHost(const JsonReader& in, const char* key) {
    const auto host = Text::asciiLowercase(in.required<std::string>(key));
    if (host.empty() || host.find_first_of("/:@ ") != std::string::npos)
        throw std::invalid_argument(std::string("\"") + key + "\" is not a host name");
    return host;
}

std::set<std::string> requiredPins(const JsonReader& in, const char* key) {
    const auto listed = in.required<std::vector<std::string>>(key);
    for (const auto& pin : listed)
        if (pin.size() != pinLength || pin.back() != '=')
            throw std::invalid_argument(std::string("\"") + key + "\" holds \"" + pin + "\", which is not a pin");
    return {listed.begin(), listed.end()};
}

std::map<std::string, std::string> connectTargets(const JsonReader& in) {
    std::map<std::string, std::string> targets;
    for (const auto& [host, address] :
         in.optional<std::map<std::string, std::string>>("connectTo").value_or(std::map<std::string, std::string>{})) {
        const auto colon = address.rfind(':');
        const auto port = colon == std::string::npos ? std::string() : address.substr(colon + 1);
        if (colon == 0 || port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
            throw std::invalid_argument("\"connectTo\" maps \"" + host + "\" to \"" + address +
                                        "\", which is not address:port");
        targets.emplace(Text::asciiLowercase(host), address);
    }
    return targets;
}

// Absent: the production payment services.
std::set<std::string> paymentDomainsIn(const JsonReader& in) {
    const auto listed = in.optional<std::vector<std::string>>("paymentDomains");
    if (!listed)
        return ServiceConfig::production().paymentDomains;
    std::set<std::string> domains;
    for (const auto& domain : *listed) {
        const auto lowered = Text::asciiLowercase(domain);
        if (lowered.empty() || lowered.find_first_of("/:@ ") != std::string::npos)
            throw std::invalid_argument("\"paymentDomains\" holds \"" + domain + "\", which is not a domain");
        domains.insert(lowered);
    }
    return domains;
}

} // namespace

ServiceConfigError::ServiceConfigError(std::string source, std::string detail)
    : Error("The service configuration" + source + " could not be used."), detail_(std::move(detail)) {}

const ServiceConfig& ServiceConfig::production() {
    static const ServiceConfig config{
        .storeApiHost = "ostrel.moonbase.sh",
        .storeAssetHost = "assets.moonbase.sh",
        .identityApiHost = "id.ostrel.audio",
        .webDomain = "ostrel.audio",
        .downloadDomain = "r2.cloudflarestorage.com",
        .storePins = PinnedTrust::amazonRoots(),
        .identityPins = PinnedTrust::letsEncryptRoots(),
        .downloadPins = PinnedTrust::cloudflareRoots(),
        .caBundle = std::nullopt,
        .connectTo = {},
        .paymentDomains = {"stripe.com", "stripe.network", "paypal.com", "paypalobjects.com"},
        .hubUpdateFeed = std::nullopt,
    };
    return config;
}

ServiceConfig ServiceConfig::fromJson(std::string_view text) {
    try {
        const auto document = JsonTree::parse(text);
        const JsonReader object(document);
        object.expectObject();
        return ServiceConfig{
            .storeApiHost = requiredHost(object, "storeApiHost"),
            .storeAssetHost = requiredHost(object, "storeAssetHost"),
            .identityApiHost = requiredHost(object, "identityApiHost"),
            .webDomain = requiredHost(object, "webDomain"),
            .downloadDomain = requiredHost(object, "downloadDomain"),
            .storePins = requiredPins(object, "storePins"),
            .identityPins = requiredPins(object, "identityPins"),
            .downloadPins = requiredPins(object, "downloadPins"),
            .caBundle = object.optional<std::string>("caBundle"),
            .connectTo = connectTargets(object),
            .paymentDomains = paymentDomainsIn(object),
            .hubUpdateFeed = object.optional<std::string>("hubUpdateFeed"),
        };
    } catch (const std::exception& e) {
        throw ServiceConfigError("", e.what());
    }
}

ServiceConfig ServiceConfig::load(const std::filesystem::path& file) {
    const auto text = AtomicFile::read(file, maxFileBytes);
    if (!text)
        throw ServiceConfigError(" in " + file.string(),
                                 "the file cannot be read, is not a regular file or is larger than " +
                                     std::to_string(maxFileBytes) + " bytes");
    ServiceConfig config;
    try {
        config = fromJson(*text);
    } catch (const ServiceConfigError& e) {
        throw ServiceConfigError(" in " + file.string(), e.detail());
    }
    // A bundle named relative to the file lives next to it, wherever the hub was started.
    if (config.caBundle && config.caBundle->is_relative())
        config.caBundle = file.parent_path() / *config.caBundle;
    if (config.caBundle && !std::filesystem::is_regular_file(*config.caBundle))
        throw ServiceConfigError(" in " + file.string(), "no CA bundle at " + config.caBundle->string());
    return config;
}

std::string ServiceConfig::toJson() const {
    json object{
        {"storeApiHost", storeApiHost},     {"storeAssetHost", storeAssetHost}, {"identityApiHost", identityApiHost},
        {"webDomain", webDomain},           {"downloadDomain", downloadDomain}, {"storePins", storePins},
        {"identityPins", identityPins},     {"downloadPins", downloadPins},     {"connectTo", connectTo},
        {"paymentDomains", paymentDomains},
    };
    if (caBundle)
        object["caBundle"] = caBundle->string();
    if (hubUpdateFeed)
        object["hubUpdateFeed"] = *hubUpdateFeed;
    return object.dump(2) + "\n";
}

HostPolicy ServiceConfig::hostPolicy() const {
    return HostPolicy{
        .apiHost = storeApiHost,
        .assetHosts = {storeAssetHost, webDomain},
        .downloadDomains = {downloadDomain},
    };
}

PinnedTrust ServiceConfig::pinnedTrust() const {
    return PinnedTrust{
        .pins = {{storeApiHost, storePins}, {identityApiHost, identityPins}, {webDomain, identityPins}},
        .suffixPins = {{downloadDomain, downloadPins}},
    };
}

Url ServiceConfig::hubUpdateFeedUrl() const {
    return Url(hubUpdateFeed.value_or("https://" + webDomain + "/hub/appcast"));
}

} // namespace ostrel
