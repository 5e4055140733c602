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
using Requested = std::variant<std::monostate, ByteRange, Unsatisfiable>;

// The one range of a "bytes=" header within `total` bytes. Anything this host does not serve
// as a range (several ranges, another unit, a malformed header) is answered with the whole file.
Requested rangeOf(const std::string& header, int64_t total) {
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

// One answer's body: `length` bytes of the file from `start`.
struct Body {
    ReleaseFile file;
    int64_t start = 0;
    int64_t length = 0;
    DownloadFault fault = DownloadFault::none;
    int id = 0; // in the meter
};

// Writes the body; bytes past the real file (the wrong-size switch) are zeros. The drop and
// stall switches end it halfway, stall after holding the connection; a provider that gives up
// makes the server close the connection.
httplib::ContentProvider provider(DemoContext& c, const Body& body) {
    auto in = std::make_shared<std::ifstream>(body.file.file, std::ios::binary);
    const bool halfway = body.fault == DownloadFault::drop || body.fault == DownloadFault::stall;
    const auto stopAt = static_cast<size_t>(halfway ? body.length / 2 : body.length);
    return [&c, in, body, stopAt](size_t offset, size_t remaining, httplib::DataSink& sink) {
        if (offset >= stopAt && body.fault == DownloadFault::stall) {
            c.meter.setState(body.id, DownloadRecord::State::stalled);
            c.log("downloads: #" + std::to_string(body.id) + " stalls after " + std::to_string(offset) + " bytes");
            c.stalls.hold(c.stallLimit);
            return false;
        }
        if (offset >= stopAt || !*in) // the drop switch, or a release file gone from the state folder
            return false;
        const size_t want =
            std::min({remaining, stopAt - offset, body.fault == DownloadFault::slow ? slowChunkSize : chunkSize});
        std::string buffer(want, '\0');
        const int64_t position = body.start + static_cast<int64_t>(offset);
        if (position < body.file.size) {
            in->seekg(position);
            in->read(buffer.data(), std::min(static_cast<int64_t>(want), body.file.size - position));
        }
        if (body.fault == DownloadFault::slow)
            std::this_thread::sleep_for(slowPause);
        if (!sink.write(buffer.data(), buffer.size()))
            return false;
        c.meter.addSent(body.id, static_cast<int64_t>(want));
        return true;
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

// Whether an If-Range validator still names this file: its strong entity tag, or exactly its
// Last-Modified date (a weak tag, W/"...", is neither).
bool namesFile(const std::string& validator, const ReleaseFile& file) {
    return validator == (validator.starts_with("\"") ? file.etag : file.lastModified);
}

// The range a request asks for while its If-Range validator, if any, still names the file;
// otherwise the whole file.
Requested requestedRange(const httplib::Request& request, const ReleaseFile& file, int64_t total) {
    if (const auto validator = headerOf(request, "If-Range"); validator && !namesFile(*validator, file))
        return {};
    return rangeOf(request.get_header_value("Range"), total);
}

void serveFile(const httplib::Request& request, httplib::Response& response, DemoContext& c, const ReleaseFile& file,
               DownloadFault fault) {
    const int64_t total = file.size + (fault == DownloadFault::wrongSize ? wrongSizeExtra : 0);
    response.set_header("Accept-Ranges", "bytes");
    response.set_header("ETag", file.etag);
    response.set_header("Last-Modified", file.lastModified);
    const auto range = fault == DownloadFault::ignoreRange ? Requested{} : requestedRange(request, file, total);
    if (std::holds_alternative<Unsatisfiable>(range)) {
        response.status = 416;
        response.set_header("Content-Range", "bytes */" + std::to_string(total));
        return;
    }
    ByteRange served{0, total - 1};
    response.status = 200;
    std::string contentRange;
    if (const auto* part = std::get_if<ByteRange>(&range)) {
        served = *part;
        response.status = 206;
        contentRange =
            "bytes " + std::to_string(served.first) + "-" + std::to_string(served.last) + "/" + std::to_string(total);
        response.set_header("Content-Range", contentRange);
    }
    // The server writes Content-Length from the length given here.
    const int64_t length = served.last - served.first + 1;
    const int id = c.meter.open(DownloadRecord{.key = file.key,
                                               .status = response.status,
                                               .range = contentRange,
                                               .fault = std::string(nameOf(fault)),
                                               .length = length});
    response.set_header("X-Demo-Download", std::to_string(id));
    response.set_content_provider(
        static_cast<size_t>(length), mediaTypeOf(file.file),
        provider(c, Body{.file = file, .start = served.first, .length = length, .fault = fault, .id = id}),
        [&c, id](bool success) {
            c.meter.setState(id, success ? DownloadRecord::State::complete : DownloadRecord::State::cut);
        });
}

nlohmann::json recordJson(const DownloadRecord& record) {
    return {
        {"id", record.id},         {"file", record.key},
        {"status", record.status}, {"range", record.range.empty() ? nlohmann::json() : nlohmann::json(record.range)},
        {"fault", record.fault},   {"length", record.length},
        {"sent", record.sent},     {"state", nameOf(record.state)}};
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
        auto file = c.releases.find(request.matches[1].str());
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
        if (*fault == DownloadFault::changeFile) {
            file = c.releases.remake(file->key);
            c.log("downloads: " + file->key + " remade: " + std::to_string(file->size) + " bytes, ETag " + file->etag);
        }
        serveFile(request, response, c, *file, *fault);
    });
    // The control address: POST /_demo/fault?mode=drop[&count=N]; mode=none switches faults off and
    // lets stalled downloads go.
    router.post(c.hosts.downloads, "/_demo/fault", [&c](const auto& request, auto& response) {
        if (const auto problem = controlProblem(request))
            return sendProblem(response, 400, *problem);
        const auto count = queryOf(request, "count");
        const auto fault = *downloadFaultFromName(*queryOf(request, "mode"));
        c.faults.set(fault, count ? countOf(*count) : std::nullopt);
        if (fault == DownloadFault::none)
            c.stalls.release();
        c.log("downloads: fault set to " + c.faults.describe());
        sendJson(response, {{"fault", c.faults.describe()}});
    });
    router.get(c.hosts.downloads, "/_demo/fault", [&c](const auto&, auto& response) {
        sendJson(response, {{"fault", c.faults.describe()}});
    });
    // What each download answer sent: GET /_demo/downloads[?file=KEY] or /_demo/downloads/ID.
    router.get(c.hosts.downloads, "/_demo/downloads", [&c](const auto& request, auto& response) {
        nlohmann::json list = nlohmann::json::array();
        for (const auto& record : c.meter.list(queryOf(request, "file")))
            list.push_back(recordJson(record));
        sendJson(response, {{"downloads", list}});
    });
    router.get(c.hosts.downloads, "/_demo/downloads/([0-9]{1,9})", [&c](const auto& request, auto& response) {
        const auto record = c.meter.find(std::stoi(request.matches[1].str()));
        if (!record)
            return sendProblem(response, 404, "No download " + request.matches[1].str() + " is kept.");
        sendJson(response, recordJson(*record));
    });
}

} // namespace ostrel::demo
