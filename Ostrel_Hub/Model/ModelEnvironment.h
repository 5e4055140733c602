#pragma once

#include "Model/Banner.h"
#include "Model/CheckoutTiming.h"
#include "Services/ServiceConfig.h"
#include "Verify/Signature/TrustSettings.h"
#include "Verify/SignaturePolicy.h"

#include <QDBusConnection>
#include <QString>
#include <QUrl>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>

namespace ostrel::hub {

// Everything the app model takes from outside: where the services are, which folders and
// settings to use, what the launch arguments asked for, and the seams tests turn. The
// defaults are the user's real desktop session.
struct ModelEnvironment {
    ServiceConfig config = ServiceConfig::production();
    // Who may sign what the hub installs, and the roots their certificates chain to: absent,
    // Apple's, read only then (decoding them is a noticeable part of a launch).
    SignaturePolicy signaturePolicy = SignaturePolicy::ostrel();
    std::optional<signature::TrustSettings> codeTrust;
    signature::TrustSettings trust() const { return codeTrust ? *codeTrust : signature::TrustSettings::apple(); }

    // Launch arguments: --cold restores nothing; --snapshot and --measure-launch keep
    // sessions in memory only; --fixtures gives the fixture folder of a snapshot run.
    bool cold = false;
    bool ephemeralSessions = false;
    std::optional<std::filesystem::path> fixtures;

    // Empty: the user's own settings file, data, cache and home folders.
    QString settingsFile;
    std::optional<std::filesystem::path> supportFolder;
    std::optional<std::filesystem::path> workFolder;
    std::optional<std::filesystem::path> snapshotFolder;
    std::optional<std::filesystem::path> home;
    std::optional<std::filesystem::path> applications;
    // Where the system-wide plug-in folders are looked for older copies ("/Library/...").
    std::filesystem::path systemRoot = "/";

    BannerLifetimes bannerLifetimes;
    std::chrono::milliseconds refreshInterval = std::chrono::hours(6);
    CheckoutTiming checkoutTiming;
    // "The application is active"; empty: Qt's application state.
    std::function<bool()> applicationIsActive;
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Sign-in through the browser: where the provider's page is opened (empty: the desktop's
    // default browser) and how long the hub waits for it to call back.
    std::function<bool(const QUrl&)> openInBrowser;
    std::chrono::milliseconds browserSignInWait = std::chrono::seconds(300);
};

} // namespace ostrel::hub
