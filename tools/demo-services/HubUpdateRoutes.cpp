// The hub's own update feed on the web host, and its packed build on the download host.
#include "DemoRoutes.h"
#include "HubUpdateShelf.h"
#include "RouteSupport.h"

#include <fstream>
#include <memory>

namespace ostrel::demo {

void addHubUpdateRoutes(HostRouter& router, DemoContext& context) {
    const HubUpdateShelf& shelf = context.hubUpdates;
    router.get(context.hosts.web, HubUpdateShelf::feedPath,
               [&shelf](const httplib::Request&, httplib::Response& response) {
                   response.set_content(shelf.feed(), "text/plain; charset=utf-8");
               });
    router.get(context.hosts.downloads, std::string(HubUpdateShelf::archivePrefix) + "(.+)\\.tar\\.gz",
               [&shelf](const httplib::Request& request, httplib::Response& response) {
                   if (!shelf.version() || request.matches[1] != *shelf.version()) {
                       sendMessage(response, 404, "No such build.");
                       return;
                   }
                   const auto file = std::make_shared<std::ifstream>(*shelf.archive(), std::ios::binary);
                   response.set_content_provider(std::filesystem::file_size(*shelf.archive()), "application/gzip",
                                                 [file](size_t offset, size_t length, httplib::DataSink& sink) {
                                                     std::string piece(std::min<size_t>(length, 64 * 1024), '\0');
                                                     file->seekg(static_cast<std::streamoff>(offset));
                                                     file->read(piece.data(),
                                                                static_cast<std::streamsize>(piece.size()));
                                                     sink.write(piece.data(), static_cast<size_t>(file->gcount()));
                                                     return file->gcount() > 0;
                                                 });
               });
}

} // namespace ostrel::demo
