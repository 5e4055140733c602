#include "Util/PathSafety.h"

#include "Util/Unicode.h"

namespace ostrel::PathSafety {
namespace fs = std::filesystem;
namespace {

// Resolves the links along the path as far as it exists, removes "." and
// "..", and drops a trailing separator, so two spellings of one place compare equal.
std::string normalised(const fs::path& path) {
    std::error_code error;
    fs::path resolved = fs::weakly_canonical(path, error);
    if (error)
        resolved = fs::absolute(path, error).lexically_normal();
    std::string text = resolved.string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

// Replaces control characters and the separators "/", ":" and "\" with "_".
std::string replaceUnsafeScalars(const std::string& name) {
    std::string out;
    for (size_t offset = 0; offset < name.size();) {
        const auto scalar = Unicode::decodeScalar(name, offset);
        const char32_t c = scalar.value;
        if (Unicode::isControl(c) || c == U'/' || c == U':' || c == U'\\')
            out += '_';
        else
            out.append(name, offset, scalar.length);
        offset += scalar.length;
    }
    return out;
}

std::string trimWhitespace(const std::string& text) {
    size_t begin = 0;
    size_t end = 0;
    bool seenContent = false;
    for (size_t offset = 0; offset < text.size();) {
        const auto scalar = Unicode::decodeScalar(text, offset);
        offset += scalar.length;
        if (Unicode::isWhitespace(scalar.value)) {
            if (!seenContent)
                begin = offset;
            continue;
        }
        seenContent = true;
        end = offset;
    }
    return seenContent ? text.substr(begin, end - begin) : std::string{};
}

} // namespace

bool isContained(const fs::path& child, const fs::path& root) {
    const std::string childPath = normalised(child);
    const std::string rootPath = normalised(root);
    if (childPath == rootPath)
        return true;
    const std::string prefix = rootPath.ends_with('/') ? rootPath : rootPath + "/";
    return childPath.starts_with(prefix);
}

void assertNoEscapingLinks(const fs::path& root) {
    std::error_code error;
    fs::recursive_directory_iterator walk(root, error);
    if (error)
        return;
    for (const fs::directory_entry& entry : walk) {
        if (!entry.is_symlink())
            continue;
        const fs::path destination = fs::read_symlink(entry.path());
        const fs::path target = destination.is_absolute() ? destination : entry.path().parent_path() / destination;
        if (!isContained(target, root))
            throw EscapingLink(entry.path().filename().string());
    }
}

int64_t treeSize(const fs::path& root) {
    std::error_code error;
    fs::recursive_directory_iterator walk(root, fs::directory_options::skip_permission_denied, error);
    int64_t total = 0;
    for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
        std::error_code entryError;
        if (walk->is_symlink(entryError) || entryError || !walk->is_regular_file(entryError))
            continue;
        const auto size = walk->file_size(entryError);
        if (!entryError)
            total += static_cast<int64_t>(size);
    }
    return total;
}

EscapingLink::EscapingLink(std::string linkName)
    : Error(linkName + " links outside the archive"), linkName_(std::move(linkName)) {}

bool isAcceptableFileName(const std::string& name) {
    return !name.empty() && !name.starts_with('.') && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos && name != ".." && Unicode::characterCount(name) <= 255;
}

std::string sanitizedFileName(const std::string& name, const std::string& fallback) {
    std::string text = trimWhitespace(replaceUnsafeScalars(name));
    text.erase(0, std::min(text.find_first_not_of('.'), text.size()));
    if (text.empty() || text == "..")
        return fallback;
    return Unicode::characterPrefix(text, 200);
}

} // namespace ostrel::PathSafety
