#include "Platform/SecretStore.h"

#include <memory>
#include <utility>

#include <libsecret/secret.h>

namespace ostrel {

namespace {

// Our own schema: items carry exactly the two attributes that name them.
const SecretSchema& itemSchema() {
    static const SecretSchema schema = {
        "com.ostrel.hub.Session",
        SECRET_SCHEMA_NONE,
        {
            {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
        0,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
    };
    return schema;
}

struct GErrorDeleter {
    void operator()(GError* e) const { g_error_free(e); }
};
using GErrorPtr = std::unique_ptr<GError, GErrorDeleter>;

struct SecretValueDeleter {
    void operator()(SecretValue* v) const { secret_value_unref(v); }
};
using SecretValuePtr = std::unique_ptr<SecretValue, SecretValueDeleter>;

// Turns a GError left by a call into a thrown KeychainError.
void throwIfFailed(GError* raw) {
    GErrorPtr error(raw);
    if (error)
        throw KeychainError(error->code, error->message ? error->message : "");
}

std::string describe(int32_t status, const std::string& message) {
    return "Keychain error " + std::to_string(status) + ": " + (message.empty() ? "unknown" : message);
}

} // namespace

KeychainError::KeychainError(int32_t status, std::string platformMessage)
    : Error(describe(status, platformMessage)), status_(status), platformMessage_(std::move(platformMessage)) {}

std::optional<std::string> KeychainItem::read() const {
    GError* error = nullptr;
    SecretValuePtr value(secret_password_lookup_binary_sync(&itemSchema(), nullptr, &error, "service", service.c_str(),
                                                            "account", account.c_str(), nullptr));
    throwIfFailed(error);
    if (!value)
        return std::nullopt;
    gsize length = 0;
    const gchar* bytes = secret_value_get(value.get(), &length);
    return std::string(bytes, length);
}

void KeychainItem::write(const std::string& data) const {
    SecretValuePtr value(secret_value_new(data.data(), static_cast<gssize>(data.size()), "application/octet-stream"));
    const std::string label = service + " (" + account + ")";
    GError* error = nullptr;
    // The store replaces an item whose attributes match, so saving twice never leaves two items.
    secret_password_store_binary_sync(&itemSchema(), SECRET_COLLECTION_DEFAULT, label.c_str(), value.get(), nullptr,
                                      &error, "service", service.c_str(), "account", account.c_str(), nullptr);
    throwIfFailed(error);
}

void KeychainItem::remove() const {
    GError* error = nullptr;
    // Returns false without an error when nothing matched, which counts as removed.
    secret_password_clear_sync(&itemSchema(), nullptr, &error, "service", service.c_str(), "account", account.c_str(),
                               nullptr);
    throwIfFailed(error);
}

} // namespace ostrel
