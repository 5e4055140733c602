#pragma once

#include <QDateTime>
#include <QString>

namespace ostrel::hub::RelativeTime {

// How long ago `then` was, seen at `now`: "just now" under a minute (and for a time in the
// future, as a clock set slightly wrong gives), then "1 minute ago", "5 hours ago",
// "yesterday", "3 days ago", "2 weeks ago", "4 months ago", "2 years ago".
QString ago(const QDateTime& then, const QDateTime& now);

// "Checked " and the time of the last refresh, or "Not checked yet" when there was none.
QString checkedLine(const QDateTime& lastChecked, const QDateTime& now);

} // namespace ostrel::hub::RelativeTime
