// These tests talk to a real Secret Service. scripts/with-keyring runs them inside a private
// D-Bus session with an unlocked GNOME Keyring; anywhere else they fail at once, before they
// could touch a keyring that may be the developer's own.
#include "Platform/SecretStore.h"
#include "PrivateSessionBus.h"
#include "Services/KeychainTokenPersistence.h"

#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include <gio/gio.h>
#include <unistd.h>

using namespace std::chrono_literals;
using ostrel::KeychainError;
using ostrel::KeychainItem;
using ostrel::KeychainTokenPersistence;
using ostrel::SessionTokens;

namespace {

class Keychain : public ::testing::Test {
protected:
    void SetUp() override { OSTREL_REQUIRE_PRIVATE_SESSION_BUS(); }

    // CTest runs test programs side by side, so every test keeps to an account of its own.
    static std::string uniqueAccount() {
        return std::string("test-") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
               std::to_string(::getpid());
    }

    // How many items of the store carry these two attributes, asked of the Secret Service over
    // D-Bus directly rather than through the code under test.
    static int itemCount(const std::string& service, const std::string& account) {
        GError* error = nullptr;
        GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
        if (bus == nullptr) {
            ADD_FAILURE() << error->message;
            g_error_free(error);
            return -1;
        }
        GVariantBuilder attributes;
        g_variant_builder_init(&attributes, G_VARIANT_TYPE("a{ss}"));
        g_variant_builder_add(&attributes, "{ss}", "service", service.c_str());
        g_variant_builder_add(&attributes, "{ss}", "account", account.c_str());
        GVariant* found = g_dbus_connection_call_sync(bus, "org.freedesktop.secrets", "/org/freedesktop/secrets",
                                                      "org.freedesktop.Secret.Service", "SearchItems",
                                                      g_variant_new("(a{ss})", &attributes), G_VARIANT_TYPE("(aoao)"),
                                                      G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, &error);
        g_object_unref(bus);
        if (found == nullptr) {
            ADD_FAILURE() << error->message;
            g_error_free(error);
            return -1;
        }
        GVariant* unlocked = g_variant_get_child_value(found, 0);
        GVariant* locked = g_variant_get_child_value(found, 1);
        int count = static_cast<int>(g_variant_n_children(unlocked) + g_variant_n_children(locked));
        g_variant_unref(unlocked);
        g_variant_unref(locked);
        g_variant_unref(found);
        return count;
    }

    const std::string account = uniqueAccount();
    KeychainTokenPersistence persistence{KeychainTokenPersistence::serviceName, account};
    const KeychainItem& item = persistence.item();

    void TearDown() override {
        if (ostrel::test::onPrivateSessionBus())
            item.remove();
    }
};

SessionTokens session(const std::string& access, std::chrono::seconds expiresAfterUnixEpoch) {
    return {access, "refresh-" + access, SessionTokens::Clock::time_point(expiresAfterUnixEpoch)};
}

} // namespace

TEST_F(Keychain, SavingTwiceLeavesOneItemWithTheSecondSession) {
    persistence.save(session("first", 1700000000s));
    persistence.save(session("second", 1700003600s));
    EXPECT_EQ(persistence.load(), session("second", 1700003600s));
    EXPECT_EQ(itemCount(KeychainTokenPersistence::serviceName, account), 1);
    // The item holds the session's stored form, found under the hub's own service name.
    auto stored = KeychainItem{"com.ostrel.hub", account}.read();
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(SessionTokens::fromJson(*stored), session("second", 1700003600s));
    // Another account of the same service is a different item.
    EXPECT_EQ(KeychainTokenPersistence(KeychainTokenPersistence::serviceName, account + "-other").load(), std::nullopt);
}

TEST_F(Keychain, ClearingRemovesTheSessionAndSucceedsWhenEmpty) {
    EXPECT_NO_THROW(persistence.clear());
    persistence.save(session("one", 1700000000s));
    persistence.clear();
    EXPECT_EQ(persistence.load(), std::nullopt);
    EXPECT_EQ(itemCount(KeychainTokenPersistence::serviceName, account), 0);
    EXPECT_NO_THROW(persistence.clear());
}

TEST_F(Keychain, StoredDataThatDoesNotDecodeLoadsAsNoSession) {
    item.write(R"({"accessToken":"a","refreshToken":"r","expiresAt":"2026-01-01T00:00:00Z"})");
    EXPECT_EQ(persistence.load(), std::nullopt);
    item.write(std::string("\x00\xff not json", 11));
    EXPECT_EQ(item.read(), std::string("\x00\xff not json", 11));
    EXPECT_EQ(persistence.load(), std::nullopt);
}

TEST_F(Keychain, MissingItemIsNotAnError) {
    EXPECT_EQ(item.read(), std::nullopt);
    EXPECT_NO_THROW(item.remove());
    EXPECT_EQ(persistence.load(), std::nullopt);
}

// An unreachable store is a failure, not a missing item. The check runs in a fresh process
// (gtest's "threadsafe" death-test style re-runs this program) that has not yet connected to
// the bus, with the bus address pointing nowhere.
TEST_F(Keychain, UnreachableStoreFailsWithItsStatusAndMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto probe = [this] {
        ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/ostrel-test-bus", 1);
        int failures = 0;
        for (auto operation :
             {+[](const KeychainItem& i) { (void)i.read(); }, +[](const KeychainItem& i) { i.write("x"); },
              +[](const KeychainItem& i) { i.remove(); }}) {
            try {
                operation(item);
            } catch (const KeychainError& error) {
                failures += error.status() != 0 ? 1 : 0;
                std::cerr << error.what() << "\n";
            }
        }
        bool loadIsQuiet = !persistence.load().has_value();
        std::exit(failures == 3 && loadIsQuiet ? 0 : 1);
    };
    EXPECT_EXIT(probe(), ::testing::ExitedWithCode(0), "Keychain error -?[0-9]+: [^\n]+");
}

// The guard above: only the very bus that scripts/with-keyring named counts as private.
TEST(PrivateSessionBus, OnlyTheBusTheScriptNamedCounts) {
    const auto saved = [](const char* name) {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    const auto restore = [](const char* name, const std::optional<std::string>& value) {
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    };
    const auto marker = saved("OSTREL_PRIVATE_SESSION_BUS");
    const auto bus = saved("DBUS_SESSION_BUS_ADDRESS");

    ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/1000/bus", 1);
    ::unsetenv("OSTREL_PRIVATE_SESSION_BUS");
    const bool desktopAlone = ostrel::test::onPrivateSessionBus();
    ::setenv("OSTREL_PRIVATE_SESSION_BUS", "unix:path=/tmp/dbus-test", 1);
    const bool otherBusNamed = ostrel::test::onPrivateSessionBus();
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/tmp/dbus-test", 1);
    const bool namedBus = ostrel::test::onPrivateSessionBus();
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    const bool noBus = ostrel::test::onPrivateSessionBus();
    restore("OSTREL_PRIVATE_SESSION_BUS", marker);
    restore("DBUS_SESSION_BUS_ADDRESS", bus);

    EXPECT_FALSE(desktopAlone);
    EXPECT_FALSE(otherBusNamed);
    EXPECT_TRUE(namedBus);
    EXPECT_FALSE(noBus);
}

TEST(KeychainErrorText, NamesStatusAndMessage) {
    EXPECT_STREQ(KeychainError(2, "The name is not activatable").what(),
                 "Keychain error 2: The name is not activatable");
    EXPECT_STREQ(KeychainError(-25300, "").what(), "Keychain error -25300: unknown");
}
