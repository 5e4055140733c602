# The system libraries, all from Debian's packages (scripts/setup installs them).
find_package(Threads REQUIRED)
find_package(OpenSSL 3 REQUIRED)
find_package(CURL REQUIRED)
find_package(nlohmann_json 3 REQUIRED)
find_package(EXPAT REQUIRED)
find_package(ZLIB REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(PLIST REQUIRED IMPORTED_TARGET libplist-2.0)
pkg_check_modules(SECRET REQUIRED IMPORTED_TARGET libsecret-1)
pkg_check_modules(ICU REQUIRED IMPORTED_TARGET icu-uc icu-i18n)
pkg_check_modules(LZMA REQUIRED IMPORTED_TARGET liblzma)
# Resource rules in code signatures are patterns from the file being checked:
# RE2 compiles them within a memory budget and matches in linear time.
pkg_check_modules(RE2 REQUIRED IMPORTED_TARGET re2)
# The desktop app and its model.
if(NOT OSTREL_KIT_ONLY)
    find_package(Qt6 6.4 REQUIRED COMPONENTS Core Gui DBus Concurrent Qml Quick QuickControls2 Svg Test QuickTest)
    find_package(QCoro6 REQUIRED COMPONENTS Core DBus)
endif()
