#pragma once

// The hub's side of a test against the demo services: its own folders and settings, and
// ledger records written as another process would.
#include "Catalog/SnapshotCache.h"
#include "Install/AppDirectories.h"
#include "Model/AppModel.h"
#include "Model/BannerList.h"
#include "Model/ModelEnvironment.h"
#include "Model/RowListBase.h"
#include "ModelFolders.h"
#include "TempDir.h"

#include <filesystem>
#include <string>
#include <vector>

namespace ostrel::hub::test_support {

// The hub's folders, its settings and whether its window is in front.
struct HubFolders {
    test::TempDir dir;
    bool active = false;

    ModelEnvironment environmentFor(const ServiceConfig& config, const std::filesystem::path& codeSigningRoot) {
        auto environment = isolated();
        environment.config = config;
        environment.codeTrust =
            signature::TrustSettings{.anchors = *signature::TrustAnchors::fromPemFile(codeSigningRoot)};
        return environment;
    }
    // These folders and settings, sessions in memory, on no service in particular.
    ModelEnvironment isolated() {
        auto environment = test::modelEnvironmentIn(dir);
        environment.applicationIsActive = [this] { return active; };
        return environment;
    }
    SnapshotCache snapshots() { return SnapshotCache{AppDirectories::owned(dir / "snapshots")}; }
};

// One field of every row of a list, in order.
template <typename Row, typename Field>
std::vector<Field> column(const RowListBase<Row>& list, Field Row::*field) {
    std::vector<Field> values;
    for (const auto& row : list.rows())
        values.push_back(row.*field);
    return values;
}

// The product ids of a list, in order.
inline std::vector<std::string> idsIn(const ProductListModel& list) {
    std::vector<std::string> ids;
    for (const auto& row : list.rows())
        ids.push_back(row.product.id);
    return ids;
}

// The texts of the banners shown, in order.
inline std::vector<QString> bannerTexts(const BannerList& banners) {
    std::vector<QString> texts;
    for (int row = 0; row < banners.rowCount(); ++row)
        texts.push_back(banners.data(banners.index(row), BannerList::textRole).toString());
    return texts;
}

// An older release on this machine, as another process would have recorded it.
inline void recordInstalled(AppModel& app, std::string id, std::string name, std::string version,
                            std::vector<InstalledItem> items = {}) {
    InstallRecord record;
    record.productId = std::move(id);
    record.productName = std::move(name);
    record.version = std::move(version);
    record.items = std::move(items);
    app.services().ledger->save(record);
}

} // namespace ostrel::hub::test_support
