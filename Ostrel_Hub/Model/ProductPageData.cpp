#include "Model/ProductPageData.h"

#include "Model/ByteCount.h"
#include "Model/Catalog.h"
#include "Model/PriceText.h"

#include <QDateTime>
#include <QStringList>
#include <algorithm>

namespace ostrel::hub::ProductPageData {
namespace {

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

QString qt(const std::optional<std::string>& text) {
    return text ? QString::fromStdString(*text) : QString();
}

const ProductSummary* detail(const StoreState& state, const std::string& id) {
    const auto found = state.releaseNotes.find(id);
    return found == state.releaseNotes.end() ? nullptr : &found->second;
}

// The storefront's files, else those of the store's product detail.
std::vector<Download> downloads(const StorefrontProduct& product, const ProductSummary* summary) {
    if (product.downloads && !product.downloads->empty())
        return *product.downloads;
    return summary && summary->downloads ? *summary->downloads : std::vector<Download>{};
}

QStringList compatibility(const std::vector<Download>& files) {
    QStringList platforms;
    for (const auto& file : files) {
        const QString name = qt(std::string(rawValue(file.platform)));
        if (file.platform != Platform::unknown && !platforms.contains(name))
            platforms.append(name);
    }
    return platforms;
}

QString size(const std::vector<Download>& files, const QLocale& locale) {
    const auto mac = macDownloads(files);
    return mac.empty() || mac.front().size <= 0 ? QString() : ByteCount::format(mac.front().size, locale);
}

QString kindName(ProductKind kind) {
    switch (kind) {
    case ProductKind::app:
        return QStringLiteral("app");
    case ProductKind::game:
        return QStringLiteral("game");
    case ProductKind::plugIn:
        break;
    }
    return QStringLiteral("plugIn");
}

QStringList screenshots(const std::string& id, const ProductPageSources& sources) {
    QStringList addresses;
    if (sources.extras)
        for (const auto& url : sources.extras->screenshots(id, sources.imagePolicy))
            addresses.append(qt(url.text()));
    return addresses;
}

// The maker's other products as the rows their tiles show, so the page needs no second lookup.
QVariantList moreFromOstrel(const std::string& id, const StoreState& state) {
    QVariantList others;
    for (const auto* product : state.products()) {
        if (product->id == id)
            continue;
        if (others.size() == moreFromOstrelCount)
            break;
        others.append(QVariantMap{{"productId", qt(product->id)},
                                  {"name", qt(product->name)},
                                  {"tagline", qt(product->tagline)},
                                  {"iconUrl", qt(product->iconUrl)}});
    }
    return others;
}

QVariantMap facts(const StorefrontProduct& product, const ProductPageSources& sources) {
    const auto& state = sources.state;
    const auto entry = Catalog::entry(product.id);
    const auto* summary = detail(state, product.id);
    const auto files = downloads(product, summary);
    const auto latest = state.latestVersion(product);
    return {
        {"version", latest ? qt(*latest) : QStringLiteral("None")},
        {"size", size(files, sources.locale)},
        {"category", qt(entry.category)},
        {"formats", entry.formats.empty() ? QStringLiteral("macOS") : qt(entry.formats)},
        {"price", PriceText::productPrice(product, sources.currency, sources.localeName)},
        {"wasPrice", PriceText::wasPrice(product, sources.currency, sources.localeName)},
        {"releaseVersion", qt(latest)},
        {"releaseNotes", summary ? qt(summary->releaseDescription) : QString()},
        {"compatibility", compatibility(files)},
        {"installsTo", entry.kind == ProductKind::plugIn ? QStringLiteral("~/Library/Audio/Plug-Ins")
                                                         : QStringLiteral("/Applications")},
        {"kind", kindName(entry.kind)},
    };
}

} // namespace

QString installedLine(const InstallRecord* record, const QLocale& locale) {
    if (!record)
        return {};
    const auto seconds = record->installedAt.time_since_epoch().count();
    const QDate day = QDateTime::fromSecsSinceEpoch(seconds).toLocalTime().date();
    return QStringLiteral("You have %1, installed %2")
        .arg(qt(record->version), locale.toString(day, QStringLiteral("d MMM yyyy")));
}

QString licence(const StorefrontProduct& product) {
    const auto& variation = product.defaultVariation;
    if (!variation || !variation->recurrence.isRecurring())
        return QStringLiteral("Perpetual");
    return variation->recurrence.cycleLength ? QStringLiteral("Subscription") : QStringLiteral("Recurring");
}

QVariantMap build(const std::string& productId, const ProductPageSources& sources) {
    const auto& state = sources.state;
    const auto* product = state.storeProduct(productId);
    if (!product)
        return {{"exists", false}};
    QVariantMap page = facts(*product, sources);
    page.insert(QVariantMap{
        {"exists", true},
        {"name", qt(product->name)},
        {"tagline", qt(product->tagline)},
        {"description", qt(product->description)},
        {"iconUrl", qt(product->iconUrl)},
        {"installedLine", installedLine(state.record(productId), sources.locale)},
        {"licence", licence(*product)},
        {"website", qt(product->website)},
        {"shareUrl", sources.storeWebAddress + QStringLiteral("/buy/") + qt(productId)},
        {"screenshots", screenshots(productId, sources)},
        {"moreFromOstrel", moreFromOstrel(productId, state)},
        {"isPaidNotOwned", product->isPurchasable() && !product->isFree() && !state.owns(productId)},
    });
    return page;
}

} // namespace ostrel::hub::ProductPageData
