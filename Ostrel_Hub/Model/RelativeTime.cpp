#include "Model/RelativeTime.h"

#include <array>

namespace ostrel::hub::RelativeTime {
namespace {

struct Step {
    qint64 seconds; // the length of one unit
    const char* one;
    const char* many;
};

constexpr qint64 minute = 60;
constexpr qint64 hour = 60 * minute;
constexpr qint64 day = 24 * hour;

// Largest unit first; a span is said in the largest unit it holds at least once.
constexpr std::array<Step, 6> steps{{
    {365 * day, "1 year ago", "%1 years ago"},
    {30 * day, "1 month ago", "%1 months ago"},
    {7 * day, "1 week ago", "%1 weeks ago"},
    {day, "yesterday", "%1 days ago"},
    {hour, "1 hour ago", "%1 hours ago"},
    {minute, "1 minute ago", "%1 minutes ago"},
}};

} // namespace

QString ago(const QDateTime& then, const QDateTime& now) {
    const qint64 elapsed = then.secsTo(now);
    for (const Step& step : steps) {
        const qint64 count = elapsed / step.seconds;
        if (count == 1)
            return QString::fromLatin1(step.one);
        if (count > 1)
            return QString::fromLatin1(step.many).arg(count);
    }
    return QStringLiteral("just now");
}

QString checkedLine(const QDateTime& lastChecked, const QDateTime& now) {
    if (!lastChecked.isValid())
        return QStringLiteral("Not checked yet");
    return QStringLiteral("Checked ") + ago(lastChecked, now);
}

} // namespace ostrel::hub::RelativeTime
