#include "Model/PausedJobs.h"
#include "TempDir.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace ostrel::hub {
namespace {

namespace fs = std::filesystem;

PausedJob paused(const std::string& productId, bool verifyOnly = false, const std::string& name = "Echo") {
    return {{productId, name, "1.2.0",
             Download{.name = productId + ".pkg",
                      .key = productId + "-key",
                      .platform = Platform::mac,
                      .size = 4096,
                      .path = std::nullopt}},
            verifyOnly};
}

std::vector<PausedJob> many(std::size_t count) {
    std::vector<PausedJob> jobs;
    for (std::size_t i = 0; i < count; ++i)
        jobs.push_back(paused("p" + std::to_string(i)));
    return jobs;
}

// The file's text with `count` jobs, written by hand so that the reader's limits can be passed.
std::string fileWith(std::size_t count) {
    nlohmann::json json = nlohmann::json::parse(PausedJobs::encode(many(1)));
    const auto entry = json["jobs"][0];
    json["jobs"] = nlohmann::json::array();
    for (std::size_t i = 0; i < count; ++i) {
        auto copy = entry;
        copy["productId"] = "p" + std::to_string(i);
        json["jobs"].push_back(copy);
    }
    return json.dump();
}

TEST(PausedJobs, WhatIsWrittenIsReadBackOwnerOnlyAndNothingLeavesNoFile) {
    test::TempDir dir;
    const auto file = PausedJobs::fileIn(dir / "not-yet-made");
    auto withPath = paused("b", true, "Bravo");
    withPath.request.download.path = "mac/bravo.pkg";
    const std::vector<PausedJob> jobs{paused("a"), withPath};
    PausedJobs::write(file, jobs);
    EXPECT_EQ(PausedJobs::read(file), jobs);
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    PausedJobs::write(file, {});
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(PausedJobs::read(file).empty());
}

TEST(PausedJobs, ADamagedFileCountsAsEmpty) {
    const std::string good = PausedJobs::encode({paused("a")});
    ASSERT_EQ(PausedJobs::decode(good).size(), 1u);
    auto json = nlohmann::json::parse(good);
    const auto damaged = [&](auto change) {
        auto copy = json;
        change(copy);
        return PausedJobs::decode(copy.dump());
    };
    EXPECT_TRUE(PausedJobs::decode("{\"format\":1,\"jobs\":[").empty());
    EXPECT_TRUE(PausedJobs::decode("[]").empty());
    EXPECT_TRUE(damaged([](auto& j) { j["format"] = 2; }).empty());
    EXPECT_TRUE(damaged([](auto& j) { j.erase("format"); }).empty());
    EXPECT_TRUE(damaged([](auto& j) { j["jobs"] = "none"; }).empty());
    EXPECT_TRUE(damaged([](auto& j) { j["jobs"][0].erase("download"); }).empty());
    EXPECT_TRUE(damaged([](auto& j) { j["jobs"][0]["verifyOnly"] = "yes"; }).empty());
    EXPECT_TRUE(damaged([](auto& j) { j["jobs"][0]["productId"] = ""; }).empty());
    EXPECT_TRUE(damaged([](auto& j) { j["jobs"][0]["download"]["size"] = "big"; }).empty());
    EXPECT_TRUE(damaged([](auto& j) { j["jobs"][0] = 7; }).empty());
    EXPECT_TRUE(PausedJobs::decode(std::string(200, '[') + std::string(200, ']')).empty()) << "too deep";
}

TEST(PausedJobs, OneJobAProductTheFirstOneKept) {
    auto again = paused("a", true, "Second");
    const auto jobs = PausedJobs::decode(PausedJobs::encode({paused("a"), paused("b"), again}));
    EXPECT_EQ(jobs, (std::vector<PausedJob>{paused("a"), paused("b")}));
}

TEST(PausedJobs, AsManyJobsAsTheLimitAreReadAndOneMoreIsRefused) {
    EXPECT_EQ(PausedJobs::decode(fileWith(PausedJobs::maxJobs)).size(), PausedJobs::maxJobs);
    EXPECT_TRUE(PausedJobs::decode(fileWith(PausedJobs::maxJobs + 1)).empty());
    EXPECT_EQ(PausedJobs::decode(PausedJobs::encode(many(PausedJobs::maxJobs + 3))).size(), PausedJobs::maxJobs)
        << "the writer leaves out what the reader would refuse";
}

TEST(PausedJobs, AFileAsLargeAsTheLimitIsReadAndOneByteMoreIsRefused) {
    test::TempDir dir;
    const auto file = PausedJobs::fileIn(dir.path());
    std::string text = PausedJobs::encode({paused("a")});
    text += std::string(PausedJobs::maxFileBytes - text.size(), ' ');
    test::writeFile(file, text);
    EXPECT_EQ(PausedJobs::read(file).size(), 1u);
    EXPECT_EQ(PausedJobs::decode(text).size(), 1u);
    test::writeFile(file, text + " ");
    EXPECT_TRUE(PausedJobs::read(file).empty());
    EXPECT_TRUE(PausedJobs::decode(text + " ").empty());

    // Jobs whose entries would pass the size are left out by the writer, from the end.
    const std::string longName(PausedJobs::maxFileBytes / 3, 'n');
    const std::vector<PausedJob> large{paused("a", false, longName), paused("b", false, longName),
                                       paused("c", false, longName)};
    const auto written = PausedJobs::encode(large);
    EXPECT_LE(written.size(), PausedJobs::maxFileBytes);
    EXPECT_EQ(PausedJobs::decode(written), (std::vector<PausedJob>{large[0], large[1]}));
}

} // namespace
} // namespace ostrel::hub
