#include "Model/BannerList.h"

#include <QTimerEvent>
#include <algorithm>
#include <array>
#include <climits>

namespace ostrel::hub {
namespace {

struct TonePresentation {
    const char* name;
    // An icon name of the freedesktop.org naming scheme, found in every common icon theme.
    const char* symbol;
};

// Indexed by tone, in the order of Banner::Tone.
constexpr std::array<TonePresentation, 3> tones{{
    {"info", "dialog-information"},
    {"success", "object-select"},
    {"failure", "dialog-warning"},
}};

const TonePresentation& presentation(Banner::Tone tone) {
    return tones[static_cast<std::size_t>(tone)];
}

int timerInterval(std::chrono::milliseconds lifetime) {
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(lifetime.count(), 0, INT_MAX));
}

} // namespace

BannerList::BannerList(BannerLifetimes lifetimes, QObject* parent)
    : QAbstractListModel(parent), lifetimes_(lifetimes) {}

BannerList::~BannerList() = default;

QUuid BannerList::flash(Banner::Tone tone, const QString& text) {
    Shown shown{Banner{.tone = tone, .text = text}, {}};
    const auto lifetime = tone == Banner::Tone::failure ? lifetimes_.failure : lifetimes_.other;
    shown.expiry.start(timerInterval(lifetime), Qt::PreciseTimer, this);
    const auto row = count();
    beginInsertRows({}, row, row);
    shown_.push_back(std::move(shown));
    endInsertRows();
    emit countChanged();
    return shown_.back().banner.id;
}

void BannerList::dismiss(const QUuid& id) {
    const auto found = std::ranges::find(shown_, id, [](const Shown& shown) { return shown.banner.id; });
    if (found != shown_.end())
        removeAt(static_cast<int>(found - shown_.begin()));
}

void BannerList::dismiss(const QString& id) {
    dismiss(QUuid(id));
}

int BannerList::count() const {
    return static_cast<int>(shown_.size());
}

QList<Banner> BannerList::banners() const {
    QList<Banner> banners;
    for (const auto& shown : shown_)
        banners.append(shown.banner);
    return banners;
}

int BannerList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant BannerList::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const auto& banner = shown_[static_cast<std::size_t>(index.row())].banner;
    switch (role) {
    case bannerIdRole:
        return banner.id.toString(QUuid::WithoutBraces);
    case toneRole:
        return QString::fromLatin1(presentation(banner.tone).name);
    case Qt::DisplayRole:
    case textRole:
        return banner.text;
    case symbolRole:
        return QString::fromLatin1(presentation(banner.tone).symbol);
    default:
        return {};
    }
}

QHash<int, QByteArray> BannerList::roleNames() const {
    return {{bannerIdRole, "bannerId"}, {toneRole, "tone"}, {textRole, "text"}, {symbolRole, "symbol"}};
}

void BannerList::timerEvent(QTimerEvent* event) {
    const auto found =
        std::ranges::find(shown_, event->timerId(), [](const Shown& shown) { return shown.expiry.timerId(); });
    if (found == shown_.end()) {
        QAbstractListModel::timerEvent(event);
        return;
    }
    removeAt(static_cast<int>(found - shown_.begin()));
}

void BannerList::removeAt(int row) {
    beginRemoveRows({}, row, row);
    shown_.erase(shown_.begin() + row);
    endRemoveRows();
    emit countChanged();
}

} // namespace ostrel::hub
