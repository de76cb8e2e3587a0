// Completing a database file: index pages, usage maps, table definitions,
// the global page map and the header, written after the last row.
#include <algorithm>

#include "common/le.h"
#include "jetdb/database_state.h"
#include "jetdb/header_page.h"
#include "jetdb/index_pages.h"

namespace tessaly::jetdb {

using namespace layout;

namespace {

// A usage map waiting for its row, and where the row's pointer goes.
struct MapJob {
    const UsageMap* map;
    std::uint32_t* pointer;
};

void write_index_pages_of(PageFile& file, TableStore& table) {
    auto& real = table.definition().real_indexes();
    auto& states = table.indexes();
    states.resize(real.size());
    for (std::size_t k = 0; k < real.size(); ++k) {
        IndexState& state = states[k];
        const PageAllocator allocate = [&file, &state] {
            const std::uint32_t page = file.allocate();
            state.pages.add(page);
            return page;
        };
        const PageWriter write = [&file](std::uint32_t page, std::span<const std::uint8_t> bytes) {
            file.write(page, bytes);
        };
        real[k].root_page =
            write_index_pages(std::move(state.entries), table.tdef_page(), allocate, write);
        state.entries = {};
    }
}

// Collects the maps of one table in the order the engine lays them out:
// owned pages, free pages, the long-value columns' maps, the index maps.
void collect_maps(TableStore& table, std::vector<MapJob>& jobs) {
    TableDefinition& def = table.definition();
    jobs.push_back({&table.owned(), &def.owned_map});
    jobs.push_back({&table.free(), &def.free_map});
    def.long_value_maps.clear();
    for (const auto& c : def.columns())
        if (c.is_long_value()) {
            table.long_values(c.number);  // an empty store for a column never written
            def.long_value_maps.push_back({c.number, 0, 0});
        }
    for (auto& m : def.long_value_maps) {
        const LongValueStore& lv = table.long_values(m.column);
        jobs.push_back({&lv.owned(), &m.owned});
        jobs.push_back({&lv.free(), &m.free});
    }
    auto& states = table.indexes();
    for (std::size_t k = 0; k < def.real_indexes().size(); ++k)
        jobs.push_back({&states[k].pages, &def.real_indexes()[k].map_pointer});
}

void write_maps(PageFile& file, const std::vector<MapJob>& jobs) {
    DataPage page;
    bool open = false;
    std::uint32_t page_number = 0;
    for (const MapJob& job : jobs) {
        MapRow row;
        if (job.map->fits_inline()) {
            row = job.map->inline_row();
        } else {
            const auto slots = job.map->reference_slots();
            std::vector<std::uint32_t> bitmap_pages;
            for (std::uint32_t slot : slots) {
                const std::uint32_t p = file.allocate();
                file.write(p, job.map->bitmap_page(slot));
                bitmap_pages.push_back(p);
            }
            row = job.map->reference_row(bitmap_pages);
        }
        if (!open || !page.fits(row.size())) {
            if (open) file.write(page_number, page.bytes());
            page_number = file.allocate();
            page.reset_table(0);
            open = true;
        }
        *job.pointer = make_row_pointer(page_number, page.add_row(row));
    }
    if (open) file.write(page_number, page.bytes());
}

void write_definition(PageFile& file, TableStore& table) {
    TableDefinition& def = table.definition();
    def.row_count = table.row_count;
    def.last_autonumber = table.last_autonumber;
    const auto bytes = def.encode();
    std::vector<std::uint32_t> pages{table.tdef_page()};
    for (std::size_t i = 1; i < tdef_page_count(bytes.size()); ++i)
        pages.push_back(file.allocate());
    const auto split = split_definition(bytes, pages);
    for (std::size_t i = 0; i < pages.size(); ++i)
        file.write(pages[i], split[i]);
}

void write_global_map(PageFile& file) {
    std::vector<std::uint8_t> row = global_inline_map_row(file.page_count(), kGlobalMapMaxRow);
    if (row.empty()) {
        // Too many pages for an inline map: bitmap pages, each covering
        // kPagesPerBitmapPage pages, referenced from a type-1 row.
        std::uint32_t slots = 0;
        while (std::uint64_t{slots} * kPagesPerBitmapPage <
               std::uint64_t{file.page_count()} + slots)
            ++slots;
        std::vector<std::uint32_t> pages;
        for (std::uint32_t i = 0; i < slots; ++i)
            pages.push_back(file.allocate());
        row.assign(kMapRowSize, 0);
        row[0] = kMapTypeReference;
        for (std::uint32_t i = 0; i < slots; ++i) {
            file.write(pages[i], global_bitmap_page(i, file.page_count()));
            put_u32(row, 1 + 4 * i, pages[i]);
        }
    }
    DataPage page;
    page.reset_table(kGlobalMapPage);
    page.add_row(row);
    const MapRow reserved{};
    page.add_row(reserved);
    file.write(kGlobalMapPage, page.bytes());
}

}  // namespace

void DatabaseState::finish() {
    for (auto& t : tables)
        t->flush(*file);
    for (auto& t : tables)
        write_index_pages_of(*file, *t);
    std::vector<MapJob> jobs;
    for (auto& t : tables)
        collect_maps(*t, jobs);
    write_maps(*file, jobs);
    for (auto& t : tables)
        write_definition(*file, *t);
    write_global_map(*file);
    HeaderFields header;
    header.creation_date = creation_date;
    file->write(kHeaderPage, build_header_page(header));
    file->finish();
}

}  // namespace tessaly::jetdb
