#include "Model/ProductAction.h"

#include <array>

namespace ostrel::hub {
namespace {

using Kind = ProductAction::Kind;
using Stage = InstallJob::Stage;

constexpr std::array<const char*, 10> kindNames{"get",  "buy",       "install", "update",   "resume",
                                                "open", "installed", "owned",   "progress", "none"};

std::optional<ProductAction> fromJob(std::optional<Stage> stage) {
    if (!stage || *stage == Stage::installed || *stage == Stage::failed)
        return std::nullopt;
    if (*stage == Stage::paused)
        return ProductAction{Kind::resume, QStringLiteral("Resume")};
    return ProductAction{Kind::progress, QString()};
}

ProductAction fromInstalled(const ProductFacts& facts) {
    if (facts.hasUpdate)
        return {Kind::update, QStringLiteral("Update")};
    if (facts.isApp)
        return {Kind::open, QStringLiteral("Open")};
    return {Kind::installed, QStringLiteral("Installed")};
}

} // namespace

ProductAction ProductAction::decide(const ProductFacts& facts) {
    if (auto running = fromJob(facts.jobStage))
        return *running;
    if (facts.installed)
        return fromInstalled(facts);
    if (facts.owned)
        return facts.hasMacDownload ? ProductAction{Kind::install, QStringLiteral("Install")}
                                    : ProductAction{Kind::owned, QStringLiteral("Owned")};
    if (facts.isFree)
        return {Kind::get, QStringLiteral("Get")};
    if (facts.isPurchasable)
        return {Kind::buy, facts.price};
    return {Kind::none, QString()};
}

QString ProductAction::kindName() const {
    return QString::fromLatin1(kindNames[static_cast<std::size_t>(kind)]);
}

} // namespace ostrel::hub
