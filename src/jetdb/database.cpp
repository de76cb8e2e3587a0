#include "jetdb/database.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <variant>

#include "jetdb/database_state.h"
#include "jetdb/ddl.h"
#include "jetdb/header_page.h"
#include "jetdb/table_indexes.h"
#include "jetdb/text_codec.h"

namespace tessaly::jetdb {

using namespace layout;

namespace {

// The most columns a table may have.
constexpr std::size_t kMaxColumns = 255;
// DAO option of create(): the Jet 4 file format (the default).
constexpr int kCreateOptionJet4 = 64;

std::atomic<std::uint64_t> g_next_session{1};

// Days since 1899-12-30 of a civil date (proleptic Gregorian).
long days_from_civil(int y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    constexpr long kUnixEpochToOle = 25569;  // 1970-01-01 minus 1899-12-30
    return era * 146097 + static_cast<long>(doe) - 719468 + kUnixEpochToOle;
}

// The current local time as an OLE automation date.
double now_as_ole_date() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    const long days = days_from_civil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                                      static_cast<unsigned>(local.tm_mday));
    const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec;
    return static_cast<double>(days) + seconds / 86400.0;
}

// Accepts the one locale the engine supports: English (0x0409), General
// sort order, code page 1252.
void check_locale(std::string_view locale) {
    std::string text;
    for (char c : locale)
        if (!std::isspace(static_cast<unsigned char>(c)))
            text.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    bool lang_ok = false;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        const std::size_t end = std::min(text.find(';', pos), text.size());
        const std::string item = text.substr(pos, end - pos);
        pos = end + 1;
        if (item.empty()) continue;
        const auto eq = item.find('=');
        if (eq == std::string::npos) throw EngineError("Invalid locale: " + std::string(locale));
        const std::string key = item.substr(0, eq), value = item.substr(eq + 1);
        if (key == "LANGID") {
            if (value != "0X0409" && value != "1033")
                throw EngineError("Unsupported locale: " + std::string(locale));
            lang_ok = true;
        } else if (key == "CP") {
            if (value != "1252") throw EngineError("Unsupported code page: " + std::string(locale));
        } else if (key != "COUNTRY") {
            throw EngineError("Invalid locale: " + std::string(locale));
        }
    }
    if (!lang_ok) throw EngineError("Invalid locale: " + std::string(locale));
}

std::filesystem::path temp_path_for(const std::filesystem::path& final_path,
                                    std::uint64_t session) {
    auto name = final_path.filename().string();
    name = "." + name + "." + std::to_string(::getpid()) + "-" + std::to_string(session) + ".tmp";
    return final_path.parent_path() / name;
}

// Moves the finished file to its final name without replacing anything there.
void publish(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
    const int err = errno;
    throw EngineError("Cannot store the database as '" + to.string() + "': " + std::strerror(err));
}

class DdlRunner {
  public:
    explicit DdlRunner(DatabaseState& state) : state_(state) {}

    void operator()(const CreateTableStmt& s) {
        const std::u16string name = utf8_to_utf16(s.table);
        if (state_.name_in_use(s.table))
            throw EngineError("Table '" + s.table + "' already exists.");
        if (s.columns.empty()) throw EngineError("A table needs at least one column.");
        if (s.columns.size() > kMaxColumns) throw EngineError("Too many fields defined.");
        TableDefinition def(name, false);
        for (const ColumnSpec& c : s.columns)
            add_column(def, c);
        // The definition page, the catalog row and the permission rows.
        state_.require_room(3 + static_cast<std::uint32_t>(tdef_page_count(def.encoded_size())));
        const std::uint32_t page = state_.file->allocate();
        auto store = std::make_unique<TableStore>(std::move(def), page, page);
        state_.file->write(page, split_definition(store->definition().encode(), {page}).front());
        TableStore& table = *store;
        state_.tables.push_back(std::move(store));
        state_.account(table.definition(), +1);
        state_.add_catalog_entry(page, kTablesContainerId, name, kObjectTypeTable, 0,
                                 Account::Admin);
        state_.add_aces(new_object_aces(page));
    }

    void operator()(const AddColumnStmt& s) {
        TableStore& table = user_table(s.table);
        TableDefinition& def = table.definition();
        if (def.columns().size() >= kMaxColumns) throw EngineError("Too many fields defined.");
        state_.account(def, -1);
        TableDefinition changed = def;
        try {
            add_column(changed, s.column);
        } catch (...) {
            state_.account(def, +1);
            throw;
        }
        def = std::move(changed);
        state_.account(def, +1);
    }

    void operator()(const CreateIndexStmt& s) {
        TableStore& table = user_table(s.table);
        TableDefinition& def = table.definition();
        const std::size_t real_count = def.real_indexes().size();
        const std::size_t logical_count = def.logical_indexes().size();
        const std::uint64_t seed =
            (state_.session << 32) ^ (std::uint64_t{table.tdef_page()} << 8) ^ logical_count;
        state_.account(def, -1);
        std::uint64_t bytes = 0;
        try {
            bytes = create_index(table, *state_.file, s, seed);
            state_.index_bytes += bytes;
            state_.account(def, +1);
            state_.require_room(0);
        } catch (...) {
            if (def.real_indexes().size() > real_count) {
                state_.account(def, -1);
                state_.index_bytes -= bytes;
                def.real_indexes().resize(real_count);
                def.logical_indexes().resize(logical_count);
                table.indexes().resize(real_count);
            }
            state_.account(def, +1);
            throw;
        }
    }

  private:
    TableStore& user_table(const std::string& name) {
        const int i = state_.find_table(name);
        if (i < 0)
            throw EngineError(
                "The Microsoft Jet database engine cannot find the input table or query '" + name +
                "'.");
        if (static_cast<std::size_t>(i) < DatabaseState::kUserTablesStart)
            throw EngineError("Cannot modify the design of table '" + name + "'.");
        return *state_.tables[static_cast<std::size_t>(i)];
    }

    static void add_column(TableDefinition& def, const ColumnSpec& spec) {
        check_object_name(spec.name);
        std::u16string name = utf8_to_utf16(spec.name);
        if (def.find_column(spec.name) >= 0)
            throw EngineError("Field '" + spec.name + "' already exists in table.");
        if (spec.type == ColumnType::Text && (spec.size < 2 || spec.size > 510 || spec.size % 2))
            throw EngineError("Size of field '" + spec.name + "' is too long.");
        if (spec.type == ColumnType::Binary && (spec.size < 1 || spec.size > 510))
            throw EngineError("Size of field '" + spec.name + "' is too long.");
        if (spec.autonumber && spec.type != ColumnType::Long)
            throw EngineError("Invalid field data type.");
        const bool text = spec.type == ColumnType::Text || spec.type == ColumnType::Memo;
        def.add_column(spec, std::move(name), 0, text ? kColumnExtCompressedUnicode : 0);
    }

    DatabaseState& state_;
};

}  // namespace

Database::Database() = default;
Database::Database(DatabaseOptions options) : options_(options) {}

Database::~Database() {
    try {
        close();
    } catch (...) {
    }
}

bool Database::is_open() const {
    return state_ != nullptr;
}

void Database::create(const std::filesystem::path& path, std::string_view locale, int options) {
    guarded([&] {
        if (state_) throw EngineError("The database is already open.");
        check_locale(locale);
        if (options != 0 && options != kCreateOptionJet4)
            throw EngineError("Unsupported database options: " + std::to_string(options));
        std::error_code ec;
        if (std::filesystem::exists(std::filesystem::symlink_status(path, ec)))
            throw EngineError("Database '" + path.string() + "' already exists.");

        auto state = std::make_unique<DatabaseState>();
        state->session = g_next_session++;
        state->final_path = path;
        state->temp_path = temp_path_for(path, state->session);
        state->creation_date =
            options_.creation_date != 0 ? options_.creation_date : now_as_ole_date();
        state->sids = SecurityIds(state->creation_date);
        state->file = std::make_unique<PageFile>(state->temp_path, options_.max_file_bytes);
        try {
            PageFile& file = *state->file;
            file.allocate();  // header
            file.allocate();  // global map
            HeaderFields header;
            header.creation_date = state->creation_date;
            file.write(kHeaderPage, build_header_page(header));
            for (SystemTable t : kSystemTables) {
                const std::uint32_t page = file.allocate();
                auto store = std::make_unique<TableStore>(make_system_table(t), page, page);
                state->account(store->definition(), +1);
                state->tables.push_back(std::move(store));
            }
            const std::u16string kTables = u"Tables", kDatabases = u"Databases",
                                 kRelationships = u"Relationships", kMSysDb = u"MSysDb";
            state->add_catalog_entry(kTablesContainerId, kCatalogRootId, kTables,
                                     kObjectTypeContainer, kObjectFlagsSystem, Account::Engine);
            state->add_catalog_entry(kDatabasesContainerId, kCatalogRootId, kDatabases,
                                     kObjectTypeContainer, kObjectFlagsSystem, Account::Engine);
            state->add_catalog_entry(kRelationshipsContainerId, kCatalogRootId, kRelationships,
                                     kObjectTypeContainer, kObjectFlagsSystem, Account::Engine);
            state->add_catalog_entry(kDatabaseObjectId, kDatabasesContainerId, kMSysDb,
                                     kObjectTypeDatabase, kObjectFlagsSystem, Account::Admin);
            for (const auto& t : state->tables)
                state->add_catalog_entry(t->catalog_id(), kTablesContainerId,
                                         t->definition().name(), kObjectTypeTable,
                                         kObjectFlagsSystem, Account::Engine);
            state->add_aces(new_database_aces());
            for (const auto& t : state->tables)
                file.write(t->tdef_page(),
                           split_definition(t->definition().encode(), {t->tdef_page()}).front());
        } catch (...) {
            state->file->abandon();
            throw;
        }
        state_ = std::move(state);
    });
}

void Database::execute(std::string_view statement, int options) {
    (void)options;  // every failure raises, as with the fail-on-error option
    guarded([&] {
        if (!state_) throw EngineError("The database is not open.");
        const DdlStatement parsed = parse_ddl(statement);
        DdlRunner runner(*state_);
        std::visit(runner, parsed);
    });
}

void Database::execute(std::u16string_view statement, int options) {
    execute(std::string_view(utf16_to_utf8(statement)), options);
}

void Database::close() {
    if (!state_) return;
    std::unique_ptr<DatabaseState> state = std::move(state_);
    guarded([&] {
        try {
            state->finish();
            publish(state->temp_path, state->final_path);
        } catch (...) {
            state->file->abandon();
            throw;
        }
    });
}

}  // namespace tessaly::jetdb
