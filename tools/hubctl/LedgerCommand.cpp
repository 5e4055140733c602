#include "Command.h"
#include "Install/InstallLedger.h"
#include "Locations.h"

#include <iomanip>

namespace ostrel::hubctl {
namespace {

void printRecord(const InstallRecord& record, std::ostream& out) {
    out << record.productName << " (" << record.productId << ") " << record.version << ", installed "
        << Iso8601::format(record.installedAt) << "\n";
    const auto present = record.presentItems();
    for (const auto& item : record.items) {
        const bool there = std::find(present.begin(), present.end(), item) != present.end();
        out << "  " << std::left << std::setw(10) << label(item.kind) << item.path << "  " << item.identifier << " "
            << item.version.value_or("-") << (there ? "" : "  (missing)") << "\n";
    }
    if (present.empty() && !record.items.empty())
        out << "  Removed outside the hub\n";
    for (const auto& note : record.notes)
        out << "  Note: " << note << "\n";
}

int run(const CommandLine& line, Output io) {
    line.expectArguments(0, "nothing");
    const InstallLedger ledger(dataFolder(line));
    if (ledger.damaged()) {
        // Reading on as if empty would say "Nothing installed." of a ledger that holds products.
        io.err << "The install ledger in " << ledger.file().parent_path().string()
               << " is damaged and cannot be read. It is kept as it is; the next install saves a copy of it beside "
                  "the new one.\n";
        return 1;
    }
    const auto records = ledger.all();
    if (records.empty())
        io.out << "Nothing installed.\n";
    for (const auto& record : records)
        printRecord(record, io.out);
    const auto floors = ledger.floors();
    if (!floors.empty()) {
        io.out << "Version floors:\n";
        for (const auto& [identifier, version] : floors)
            io.out << "  " << identifier << " " << version << "\n";
    }
    return 0;
}

} // namespace

Command ledgerCommand() {
    return {"ledger",
            "list what the hub installed and the version floors",
            "ostrel-hubctl ledger [--data DIR]\n\n"
            "Lists every installed product with its bundles (marking those no longer on disk)\n"
            "and the lowest version each bundle identifier may be installed at.\n\n"
            "  --data DIR   the hub's data folder (default: the hub's own)\n",
            {"data"},
            {},
            run};
}

} // namespace ostrel::hubctl
