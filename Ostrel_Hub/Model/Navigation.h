#pragma once

#include "Model/HubSection.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <optional>

namespace ostrel::hub {

// Where the user is: the sidebar section, the stack of detail pages in front of it and the
// search text. Deep links arrive here too.
class Navigation : public QObject {
    Q_OBJECT
    // The selected section; undefined when none is selected.
    Q_PROPERTY(QVariant selection READ selectionValue WRITE setSelectionValue NOTIFY selectionChanged)
    // Detail pages, innermost last: a product id, or "extra:" followed by an extras item id.
    Q_PROPERTY(QStringList path READ path WRITE setPath NOTIFY pathChanged)
    Q_PROPERTY(QString search READ search WRITE setSearch NOTIFY searchChanged)

public:
    // The only scheme of the hub's own links.
    static inline const QString linkScheme = QStringLiteral("ostrel-hub");
    // Longer links are ignored: no real link comes near this.
    static constexpr qsizetype maxLinkLength = 2048;
    // The prefix of an extras item on the detail stack.
    static inline const QString extraPrefix = QStringLiteral("extra:");

    // Starts on Discover with no detail page and no search.
    explicit Navigation(QObject* parent = nullptr);

    std::optional<HubSection> selection() const;
    // Choosing another section (or none) closes every detail page.
    void setSelection(std::optional<HubSection> section);
    QVariant selectionValue() const;
    // Accepts a section's enumeration value, or null/undefined for none; ignores anything else.
    void setSelectionValue(const QVariant& value);

    QStringList path() const;
    void setPath(const QStringList& path);

    QString search() const;
    // Starting a search closes every detail page.
    void setSearch(const QString& text);

    // Opens a product page; from no section or Account the page opens over Discover.
    Q_INVOKABLE void show(const QString& productId);
    Q_INVOKABLE void showExtra(const QString& itemId);
    Q_INVOKABLE void goBack();
    // Handles "ostrel-hub://product/<id>", "ostrel-hub://library" and "ostrel-hub://updates".
    Q_INVOKABLE void open(const QUrl& link);

signals:
    void selectionChanged();
    void pathChanged();
    void searchChanged();

private:
    void push(const QString& page);

    std::optional<HubSection> selection_ = HubSection::discover;
    QStringList path_;
    QString search_;
};

} // namespace ostrel::hub
