#include "Model/LaunchOpen.h"

#include "Model/AppModel.h"
#include "Model/HubSection.h"

namespace ostrel::hub {

void applyOpenTarget(const QString& target, AppModel& model) {
    // Split at the first ":" only, so that a value may hold more of them; empty pieces go.
    QStringList pieces;
    const auto colon = target.indexOf(u':');
    for (const auto& piece : colon < 0 ? QStringList{target} : QStringList{target.left(colon), target.mid(colon + 1)})
        if (!piece.isEmpty())
            pieces << piece;
    if (pieces.isEmpty())
        return;
    const auto& kind = pieces.front();
    if (kind == QLatin1String("signin")) {
        model.openSignIn(AppModel::SignInPurpose::general);
        return;
    }
    if (pieces.size() < 2)
        return;
    const auto& value = pieces[1];
    auto& navigation = *model.navigation();
    if (kind == QLatin1String("section"))
        navigation.setSelection(parseHubSection(value));
    else if (kind == QLatin1String("product"))
        model.show(value);
    else if (kind == QLatin1String("search"))
        navigation.setSearch(value);
    else if (kind == QLatin1String("checkout"))
        model.buyNow(value); // the product alone, in its default variation; nothing without one
}

void applyLaunchRequest(const QString& request, AppModel& model) {
    if (request.startsWith(Navigation::linkScheme + u':'))
        model.open(QUrl(request));
    else
        applyOpenTarget(request, model);
}

} // namespace ostrel::hub
