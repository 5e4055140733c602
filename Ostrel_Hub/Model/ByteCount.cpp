#include "Model/ByteCount.h"

#include <array>
#include <cmath>

namespace ostrel::hub::ByteCount {
namespace {

struct Unit {
    const char* name;
    int decimals;
};

constexpr std::array<Unit, 5> units{{{"KB", 0}, {"MB", 1}, {"GB", 2}, {"TB", 2}, {"PB", 2}}};

QString withoutZeroFraction(QString number, const QLocale& locale) {
    const QString point = locale.decimalPoint();
    if (!number.contains(point))
        return number;
    while (number.endsWith(locale.zeroDigit()))
        number.chop(1);
    if (number.endsWith(point))
        number.chop(point.size());
    return number;
}

double rounded(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

} // namespace

QString format(std::int64_t bytes, const QLocale& locale) {
    if (bytes == 0)
        return QStringLiteral("Zero KB");
    if (bytes == 1)
        return QStringLiteral("1 byte");
    if (bytes < 1000)
        return locale.toString(static_cast<qlonglong>(bytes)) + QStringLiteral(" bytes");
    double value = static_cast<double>(bytes);
    for (std::size_t index = 0; index < units.size(); ++index) {
        value /= 1000.0;
        const Unit& unit = units[index];
        const double shown = rounded(value, unit.decimals);
        // 999,999 bytes round to "1,000 KB": the next unit says it better.
        if (shown < 1000.0 || index + 1 == units.size())
            return withoutZeroFraction(locale.toString(shown, 'f', unit.decimals), locale) + ' ' +
                   QString::fromLatin1(unit.name);
    }
    return {};
}

} // namespace ostrel::hub::ByteCount
