#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>

namespace ostrel::hub::ByteCount {

// A file size the way the Mac's file style writes it: decimal units, "Zero KB", "512 bytes",
// "345 KB", "12.4 MB", "1.23 GB"; a fraction of zero is left out ("12 MB").
QString format(std::int64_t bytes, const QLocale& locale = QLocale());

} // namespace ostrel::hub::ByteCount
