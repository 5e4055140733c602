#pragma once

#include <QString>
#include <QUuid>
#include <chrono>

namespace ostrel::hub {

// A short message on the banner strip.
struct Banner {
    enum class Tone { info, success, failure };

    QUuid id = QUuid::createUuid();
    Tone tone = Tone::info;
    QString text;
};

// How long banners stay on screen; tests shorten them.
struct BannerLifetimes {
    std::chrono::milliseconds failure{12'000};
    std::chrono::milliseconds other{6'000};
};

} // namespace ostrel::hub
