// Saved queries: a catalog row of type 5 in the Tables container, its
// permission rows, and the MSysQueries rows of its SQL text.
#include <algorithm>

#include "jetdb/database.h"
#include "jetdb/database_state.h"
#include "jetdb/ddl.h"
#include "jetdb/field_builders.h"
#include "jetdb/query_sql.h"
#include "jetdb/text_codec.h"

namespace tessaly::jetdb {

namespace {

// MSysQueries attributes used here.
constexpr std::uint8_t kQueryStart = 0;
constexpr std::uint8_t kQueryKind = 1;
constexpr std::uint8_t kQueryEnd = 255;
constexpr std::int16_t kQueryKindSelect = 1;
// Characters MSysQueries' Name1 and Name2 columns hold.
constexpr std::size_t kMaxQueryNameChars = 255;

// MSysObjects.Flags of a saved query, by the query kind of its attribute-1 row.
std::uint32_t catalog_flags_for_kind(std::int16_t kind) {
    switch (kind) {
        case 2:
            return 80;  // make-table
        case 3:
            return 64;  // append
        case 4:
            return 48;  // update
        case 5:
            return 32;  // delete
        case 6:
            return 16;  // crosstab
        case 7:
            return 96;  // data definition
        case 8:
            return 112;  // pass-through
        case 9:
            return 128;  // union
        default:
            return 0;  // select
    }
}

}  // namespace

struct QueryDef::Pending {
    std::string name;
    std::vector<QueryRow> rows;
};

QueryDef::QueryDef(Database& database) : database_(database) {}
QueryDef::~QueryDef() = default;

bool QueryDef::is_open() const {
    return pending_ && database_.state_ && database_.state_->session == session_;
}

void QueryDef::create(std::string_view name, std::string_view sql) {
    guarded([&] {
        if (!database_.state_) throw EngineError("The database is not open.");
        check_object_name(name);
        if (database_.state_->name_in_use(name))
            throw EngineError("Object '" + std::string(name) + "' already exists.");
        auto pending = std::make_unique<Pending>();
        pending->name = std::string(name);
        pending->rows = parse_query_sql(sql);
        // Names in the query rows must fit MSysQueries' text columns.
        for (const QueryRow& r : pending->rows)
            for (const auto& text : {r.name1, r.name2})
                if (text && utf8_to_utf16(*text).size() > kMaxQueryNameChars)
                    throw EngineError("The name '" + *text + "' is too long.");
        pending_ = std::move(pending);
        session_ = database_.state_->session;
    });
}

void QueryDef::create(std::string_view name) {
    guarded([&] {
        if (!database_.state_) throw EngineError("The database is not open.");
        check_object_name(name);
        if (database_.state_->name_in_use(name))
            throw EngineError("Object '" + std::string(name) + "' already exists.");
        auto pending = std::make_unique<Pending>();
        pending->name = std::string(name);
        QueryRow start, end, kind;
        start.attribute = kQueryStart;
        start.flag = 0;
        end.attribute = kQueryEnd;
        kind.attribute = kQueryKind;
        kind.flag = kQueryKindSelect;
        pending->rows = {start, end, kind};
        pending_ = std::move(pending);
        session_ = database_.state_->session;
    });
}

void QueryDef::create(std::u16string_view name, std::u16string_view sql) {
    create(std::string_view(utf16_to_utf8(name)), std::string_view(utf16_to_utf8(sql)));
}

void QueryDef::create(std::u16string_view name) {
    create(std::string_view(utf16_to_utf8(name)));
}

void QueryDef::append() {
    guarded([&] {
        if (!is_open()) throw EngineError("There is no query definition to append.");
        DatabaseState& state = *database_.state_;
        const Pending& q = *pending_;
        if (state.name_in_use(q.name)) throw EngineError("Object '" + q.name + "' already exists.");
        std::int16_t kind = kQueryKindSelect;
        for (const QueryRow& r : q.rows)
            if (r.attribute == kQueryKind && r.flag) kind = *r.flag;

        // Catalog row, permissions and query rows: 3 + rows data pages at
        // most, checked before anything is stored.
        state.require_room(static_cast<std::uint32_t>(3 + q.rows.size()));
        const std::uint32_t id = state.next_document_id;
        const std::u16string name16 = utf8_to_utf16(q.name);
        state.add_catalog_entry(id, kTablesContainerId, name16, kObjectTypeQuery,
                                catalog_flags_for_kind(kind), Account::Admin);
        ++state.next_document_id;
        state.query_keys.push_back(fold_name(q.name));
        state.add_aces(new_object_aces(id));
        TableStore& table = state.system_table(SystemTable::Queries);
        namespace mq = msys_queries;
        for (const QueryRow& r : q.rows) {
            std::vector<FieldValue> row(table.definition().columns().size());
            row[mq::ObjectId] = field_uint32(id);
            row[mq::Attribute] = field_byte(r.attribute);
            if (r.expression) row[mq::Expression] = field_text(utf8_to_utf16(*r.expression));
            if (r.flag) row[mq::Flag] = field_int16(*r.flag);
            if (r.name1) row[mq::Name1] = field_text(utf8_to_utf16(*r.name1));
            if (r.name2) row[mq::Name2] = field_text(utf8_to_utf16(*r.name2));
            if (r.lv_extra) row[mq::LvExtra] = field_int32(*r.lv_extra);
            state.insert_row(table, row);
        }
    });
}

void QueryDef::close() {
    pending_.reset();
}

}  // namespace tessaly::jetdb
