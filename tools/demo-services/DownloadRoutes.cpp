// Release files as an object store serves them: exact Content-Length, single byte ranges with
// If-Range, a strong ETag, and switches that make a download misbehave on purpose.
#include "DemoRoutes.h"
#include "RouteSupport.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <thread>
#include <variant>

namespace ostrel::demo {

namespace {

constexpr int64_t wrongSizeExtra = 4096;
constexpr size_t chunkSize = 64 * 1024;
constexpr size_t slowChunkSize = 4 * 1024;
constexpr auto slowPause = std::chrono::milliseconds(50);

struct ByteRange {
    int64_t first = 0;
    int64_t last = 0; // inclusive
};
struct Unsatisfiable {};

// The one range of a "bytes=" header within `total` bytes. Anything this host does not serve
// as a range (several ranges, another unit, a malformed header) is answered with the whole file.
std::variant<std::monostate, ByteRange, Unsatisfiable> rangeOf(const std::string& header, int64_t total) {
    constexpr std::string_view unit = "bytes=";
    if (!header.starts_with(unit) || header.find(',') != std::string::npos)
        return {};
    const auto bounds = header.substr(unit.size());
    const auto dash = bounds.find('-');
    const auto digits = [](const std::string& s) {
        return !s.empty() && s.size() < 19 && s.find_first_not_of("0123456789") == std::string::npos;
    };
    const auto from = bounds.substr(0, dash == std::string::npos ? 0 : dash);
    const auto to = dash == std::string::npos ? std::string() : bounds.substr(dash + 1);
    if (dash == std::string::npos || (!from.empty() && !digits(from)) || (!to.empty() && !digits(to)) ||
        (from.empty() && to.empty()))
        return {};
    if (from.empty()) { // the last `to` bytes
        const int64_t suffix = std::stoll(to);
        if (suffix == 0)
            return Unsatisfiable{};
        return ByteRange{std::max<int64_t>(0, total - suffix), total - 1};
    }
    const int64_t first = std::stoll(from);
    if (!to.empty() && std::stoll(to) < first) // not a range at all (the server library answers these itself)
        return {};
    if (first >= total)
        return Unsatisfiable{};
    return ByteRange{first, to.empty() ? total - 1 : std::min<int64_t>(std::stoll(to), total - 1)};
}

// Writes the served body from `start` of the file; bytes past the real file (the wrong-size
// switch) are zeros. The drop switch fails halfway, which makes the server close the connection.
httplib::ContentProvider provider(const ReleaseFile& file, int64_t start, int64_t length, DownloadFault fault) {
    auto in = std::make_shared<std::ifstream>(file.file, std::ios::binary);
    const auto stopAt = static_cast<size_t>(fault == DownloadFault::drop ? length / 2 : length);
    const int64_t fileSize = file.size;
    return [in, start, stopAt, fileSize, fault](size_t offset, size_t remaining, httplib::DataSink& sink) {
        if (offset >= stopAt || !*in) // the drop switch, or a release file gone from the state folder
            return false;
        const size_t want =
            std::min({remaining, stopAt - offset, fault == DownloadFault::slow ? slowChunkSize : chunkSize});
        std::string buffer(want, '\0');
        const int64_t position = start + static_cast<int64_t>(offset);
        if (position < fileSize) {
            in->seekg(position);
            in->read(buffer.data(), std::min(static_cast<int64_t>(want), fileSize - position));
        }
        if (fault == DownloadFault::slow)
            std::this_thread::sleep_for(slowPause);
        return sink.write(buffer.data(), buffer.size());
    };
}

// The media type of a release file, by its kind.
std::string mediaTypeOf(const std::filesystem::path& file) {
    const auto extension = file.extension();
    if (extension == ".pkg")
        return "application/vnd.apple.installer+xml";
    if (extension == ".dmg")
        return "application/x-apple-diskimage";
    if (extension == ".zip")
        return "application/zip";
    return "application/octet-stream";
}

void serveFile(const httplib::Request& request, httplib::Response& response, const ReleaseFile& file,
               DownloadFault fault) {
    const int64_t total = file.size + (fault == DownloadFault::wrongSize ? wrongSizeExtra : 0);
    response.set_header("Accept-Ranges", "bytes");
    response.set_header("ETag", file.etag);
    // A Range applies only while the validator still names this file; otherwise the whole file.
    const auto ifRange = headerOf(request, "If-Range");
    const auto range = ifRange && *ifRange != file.etag ? decltype(rangeOf("", 0)){}
                                                        : rangeOf(request.get_header_value("Range"), total);
    if (std::holds_alternative<Unsatisfiable>(range)) {
        response.status = 416;
        response.set_header("Content-Range", "bytes */" + std::to_string(total));
        return;
    }
    ByteRange served{0, total - 1};
    response.status = 200;
    if (const auto* part = std::get_if<ByteRange>(&range)) {
        served = *part;
        response.status = 206;
        response.set_header("Content-Range", "bytes " + std::to_string(served.first) + "-" +
                                                 std::to_string(served.last) + "/" + std::to_string(total));
    }
    // The server writes Content-Length from the length given here.
    const int64_t length = served.last - served.first + 1;
    response.set_content_provider(static_cast<size_t>(length), mediaTypeOf(file.file),
                                  provider(file, served.first, length, fault));
}

std::string unknownFault(const std::string& name) {
    return "The fault \"" + name + "\" is unknown; the accepted faults are " + downloadFaultNames() + ".";
}

// A control request's count: a whole number from 1 to 99999.
std::optional<int> countOf(const std::string& text) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(text) == 0)
        return std::nullopt;
    return std::stoi(text);
}

// What is wrong with the switches of a control request, or none.
std::optional<std::string> controlProblem(const httplib::Request& request) {
    for (const auto& [name, value] : request.params)
        if (name != "mode" && name != "count")
            return "The switch \"" + name + "\" is unknown; the fault control accepts mode=FAULT and count=N.";
    const auto mode = queryOf(request, "mode");
    if (!mode)
        return "Name the fault with mode=FAULT, one of " + downloadFaultNames() + ".";
    if (!downloadFaultFromName(*mode))
        return unknownFault(*mode);
    if (const auto count = queryOf(request, "count"); count && !countOf(*count))
        return "The count \"" + *count +
               "\" is not accepted: give a whole number from 1 to 99999, or no count for every download.";
    return std::nullopt;
}

} // namespace

void addDownloadRoutes(HostRouter& router, DemoContext& context) {
    auto& c = context;
    router.get(c.hosts.downloads, "/files/([^/]+)/([^/]+)", [&c](const auto& request, auto& response) {
        const auto* file = c.releases.find(request.matches[1].str());
        if (!file || request.matches[2].str() != file->fileName)
            return sendProblem(response, 404, "No such file.");
        const auto named = queryOf(request, "fault");
        const auto fault = named ? downloadFaultFromName(*named) : c.faults.take();
        if (!fault)
            return sendProblem(response, 400, unknownFault(*named));
        if (*fault != DownloadFault::none)
            c.log("downloads: " + file->key + " served with the fault " + std::string(nameOf(*fault)));
        if (*fault == DownloadFault::notFound)
            return sendProblem(response, 404, "No such file.");
        if (*fault == DownloadFault::httpRedirect) // the address as sent, still percent-encoded, without the switch
            return redirect(response,
                            "http://" + c.hosts.downloads + request.target.substr(0, request.target.find('?')));
        serveFile(request, response, *file, *fault);
    });
    // The control address: POST /_demo/fault?mode=drop[&count=N]; mode=none switches it off.
    router.post(c.hosts.downloads, "/_demo/fault", [&c](const auto& request, auto& response) {
        if (const auto problem = controlProblem(request))
            return sendProblem(response, 400, *problem);
        const auto count = queryOf(request, "count");
        c.faults.set(*downloadFaultFromName(*queryOf(request, "mode")), count ? countOf(*count) : std::nullopt);
        c.log("downloads: fault set to " + c.faults.describe());
        sendJson(response, {{"fault", c.faults.describe()}});
    });
    router.get(c.hosts.downloads, "/_demo/fault", [&c](const auto&, auto& response) {
        sendJson(response, {{"fault", c.faults.describe()}});
    });
}

} // namespace ostrel::demo
