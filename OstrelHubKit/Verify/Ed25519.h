#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel::Ed25519 {

// Sizes of a raw public key and of a signature, in bytes.
constexpr std::size_t publicKeySize = 32;
constexpr std::size_t signatureSize = 64;

// The 32 raw key bytes written in standard base64, or none when the text is not exactly that.
std::optional<std::string> publicKeyFromBase64(std::string_view text);

// Whether `signature` (64 raw bytes) is the key's signature over `message`. A key or signature of
// the wrong size, or any failure of the check itself, reads as false.
bool verify(std::string_view publicKey, std::string_view message, std::string_view signature);

// The same over a whole file, mapped rather than read, so that a large download never sits in
// memory twice. A missing, empty or unreadable file reads as false.
bool verifyFile(std::string_view publicKey, const std::filesystem::path& file, std::string_view signature);

} // namespace ostrel::Ed25519
