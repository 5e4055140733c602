#include "Model/LibraryRowText.h"

#include <QStringList>
#include <array>
#include <utility>

namespace ostrel::hub::LibraryRowText {
namespace {

// The catalogue's short names and the words people know them by.
constexpr std::array<std::pair<std::string_view, std::string_view>, 2> longNames{{
    {"AU", "Audio Unit"},
    {"AUv2", "Audio Unit"},
}};

QString spelledOut(const QString& format) {
    for (const auto& [shortName, longName] : longNames)
        if (format == QLatin1String(shortName.data(), static_cast<qsizetype>(shortName.size())))
            return QString::fromLatin1(longName.data(), static_cast<qsizetype>(longName.size()));
    return format;
}

bool isInstalled(const RowFacts& facts) {
    return facts.installedVersion.has_value() && !facts.disk.removed;
}

} // namespace

QString formats(std::string_view catalogueFormats) {
    QStringList words;
    const auto parts = QString::fromUtf8(catalogueFormats.data(), static_cast<qsizetype>(catalogueFormats.size()))
                           .split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const auto& part : parts)
        if (const QString word = spelledOut(part.trimmed()); !word.isEmpty() && !words.contains(word))
            words.append(word);
    return words.join(QStringLiteral(" + "));
}

QString stateLine(const RowFacts& facts) {
    if (facts.installedVersion && facts.disk.removed)
        return QStringLiteral("Removed outside the hub");
    if (facts.installedVersion)
        return QStringLiteral("Installed ") + QString::fromStdString(*facts.installedVersion);
    if (!facts.hasMacDownload)
        return QStringLiteral("No macOS download yet");
    if (!facts.latestVersion)
        return QStringLiteral("Not installed.");
    return QStringLiteral("Not installed. Latest ") + QString::fromStdString(*facts.latestVersion);
}

QVariantMap row(const RowFacts& facts) {
    return {{"formats", formats(facts.catalogueFormats)},
            {"stateLine", stateLine(facts)},
            {"olderCopy", isInstalled(facts) && facts.disk.olderCopy},
            {"isApp", facts.isApp},
            {"installed", isInstalled(facts)}};
}

} // namespace ostrel::hub::LibraryRowText
