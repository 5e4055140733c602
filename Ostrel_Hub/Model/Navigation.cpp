#include "Model/Navigation.h"

namespace ostrel::hub {
namespace {

// The words of a link: its host, then each component of its path, decoded one by one so that
// an encoded "/" stays inside its word.
QStringList linkWords(const QUrl& link) {
    QStringList words;
    const auto host = link.host(QUrl::FullyDecoded);
    if (!host.isEmpty())
        words.append(host);
    const auto encodedPath = link.path(QUrl::FullyEncoded);
    for (const auto& piece : QStringView(encodedPath).split(u'/', Qt::SkipEmptyParts))
        words.append(QUrl::fromPercentEncoding(piece.toUtf8()));
    return words;
}

} // namespace

Navigation::Navigation(QObject* parent) : QObject(parent) {}

std::optional<HubSection> Navigation::selection() const {
    return selection_;
}

void Navigation::setSelection(std::optional<HubSection> section) {
    if (section == selection_)
        return;
    selection_ = section;
    emit selectionChanged();
    setPath({});
}

QVariant Navigation::selectionValue() const {
    return selection_ ? QVariant::fromValue(*selection_) : QVariant();
}

void Navigation::setSelectionValue(const QVariant& value) {
    if (!value.isValid() || value.isNull()) {
        setSelection(std::nullopt);
        return;
    }
    bool isNumber = false;
    const auto number = value.toInt(&isNumber);
    if (isNumber && number >= 0 && number < static_cast<int>(hubSectionCount))
        setSelection(static_cast<HubSection>(number));
}

QStringList Navigation::path() const {
    return path_;
}

void Navigation::setPath(const QStringList& path) {
    if (path == path_)
        return;
    path_ = path;
    emit pathChanged();
}

QString Navigation::search() const {
    return search_;
}

void Navigation::setSearch(const QString& text) {
    if (text == search_)
        return;
    const bool starting = search_.isEmpty();
    search_ = text;
    emit searchChanged();
    if (starting)
        setPath({});
}

void Navigation::show(const QString& productId) {
    if (!selection_ || *selection_ == HubSection::account)
        setSelection(HubSection::discover);
    push(productId);
}

void Navigation::showExtra(const QString& itemId) {
    push(extraPrefix + itemId);
}

void Navigation::goBack() {
    if (path_.isEmpty())
        return;
    path_.removeLast();
    emit pathChanged();
}

void Navigation::open(const QUrl& link) {
    if (link.scheme() != linkScheme || link.toEncoded().size() > maxLinkLength)
        return;
    const auto words = linkWords(link);
    if (words.isEmpty())
        return;
    if (words[0] == QLatin1String("product") && words.size() >= 2)
        show(words[1]);
    else if (words[0] == QLatin1String("library"))
        setSelection(HubSection::library);
    else if (words[0] == QLatin1String("updates"))
        setSelection(HubSection::updates);
}

void Navigation::push(const QString& page) {
    path_.append(page);
    emit pathChanged();
}

} // namespace ostrel::hub
