#include <cctype>

#include "jetdb/database.h"
#include "jetdb/database_state.h"
#include "jetdb/text_codec.h"
#include "jetdb/value_convert.h"

namespace tessaly::jetdb {

namespace {

// Recordset types: the object's default, table, dynaset.
constexpr int kOpenDefault = -1;
constexpr int kOpenTable = 1;
constexpr int kOpenDynaset = 2;

bool is_space(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Consumes `word` (case-insensitive) at `pos`, followed by `need_space`.
bool take_word(std::string_view s, std::size_t& pos, std::string_view word) {
    if (s.size() - pos < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(s[pos + i])) != word[i]) return false;
    pos += word.size();
    return true;
}

void skip_space(std::string_view s, std::size_t& pos) {
    while (pos < s.size() && is_space(s[pos]))
        ++pos;
}

// The table of "SELECT * FROM [table]" (brackets optional, ';' allowed).
std::string table_of_select(std::string_view sql) {
    const auto bad = [&] { return EngineError("Invalid SQL statement: " + std::string(sql)); };
    std::size_t pos = 0;
    skip_space(sql, pos);
    if (!take_word(sql, pos, "SELECT")) throw bad();
    skip_space(sql, pos);
    if (pos >= sql.size() || sql[pos] != '*') throw bad();
    ++pos;
    skip_space(sql, pos);
    if (!take_word(sql, pos, "FROM") || pos >= sql.size() ||
        !(is_space(sql[pos]) || sql[pos] == '['))
        throw bad();
    skip_space(sql, pos);
    std::string name;
    if (pos < sql.size() && sql[pos] == '[') {
        const auto close = sql.find(']', pos + 1);
        if (close == std::string_view::npos) throw bad();
        name = std::string(sql.substr(pos + 1, close - pos - 1));
        pos = close + 1;
    } else {
        while (pos < sql.size() && !is_space(sql[pos]) && sql[pos] != ';')
            name.push_back(sql[pos++]);
    }
    skip_space(sql, pos);
    if (pos < sql.size() && sql[pos] == ';') ++pos;
    skip_space(sql, pos);
    if (name.empty() || pos != sql.size()) throw bad();
    return name;
}

}  // namespace

struct Recordset::Pending {
    std::vector<FieldValue> values;
};

Recordset::Recordset(Database& database) : database_(database) {}
Recordset::~Recordset() = default;

bool Recordset::is_open() const {
    return open_ && database_.state_ && database_.state_->session == session_;
}

void Recordset::open(int type, std::string_view sql, int options) {
    guarded([&] {
        if (is_open()) throw EngineError("The recordset is already open.");
        if (!database_.state_) throw EngineError("The database is not open.");
        if (type != kOpenDefault && type != kOpenTable && type != kOpenDynaset)
            throw EngineError("Invalid recordset type: " + std::to_string(type));
        if (options != 0)
            throw EngineError("Invalid recordset options: " + std::to_string(options));
        const std::string name = table_of_select(sql);
        DatabaseState& state = *database_.state_;
        const int index = state.find_table(name);
        if (index < 0)
            throw EngineError(
                "The Microsoft Jet database engine cannot find the input table or query '" + name +
                "'.");
        if (static_cast<std::size_t>(index) < DatabaseState::kUserTablesStart)
            throw EngineError("Cannot update '" + name + "'; the table is read-only.");
        table_ = static_cast<std::size_t>(index);
        session_ = state.session;
        pending_.reset();
        open_ = true;
    });
}

void Recordset::open(int type, std::u16string_view sql, int options) {
    open(type, std::string_view(utf16_to_utf8(sql)), options);
}

void Recordset::set_field_value(std::u16string_view field, std::u16string_view text) {
    set_field_value(std::string_view(utf16_to_utf8(field)), std::string_view(utf16_to_utf8(text)));
}

void Recordset::close() {
    open_ = false;
    pending_.reset();
}

void Recordset::add_new() {
    guarded([&] {
        if (!is_open()) throw EngineError("The recordset is not open.");
        const TableStore& table = *database_.state_->tables[table_];
        pending_ = std::make_unique<Pending>();
        pending_->values.resize(table.definition().columns().size());
    });
}

void Recordset::set_field_value(std::string_view field, std::string_view text) {
    guarded([&] {
        if (!is_open()) throw EngineError("The recordset is not open.");
        if (!pending_) throw EngineError("Update or CancelUpdate without AddNew or Edit.");
        const TableDefinition& def = database_.state_->tables[table_]->definition();
        const int column = def.find_column(field);
        if (column < 0)
            throw EngineError("Item '" + std::string(field) + "' not found in this collection.");
        FieldValue& slot = pending_->values[static_cast<std::size_t>(column)];
        slot = FieldValue{};
        const ColumnSpec& spec = def.columns()[static_cast<std::size_t>(column)].spec;
        if (spec.autonumber)
            throw EngineError("Field '" + std::string(field) + "' cannot be updated.");
        slot = convert_field_text(spec, text);
    });
}

void Recordset::update() {
    guarded([&] {
        if (!is_open()) throw EngineError("The recordset is not open.");
        if (!pending_) throw EngineError("Update or CancelUpdate without AddNew or Edit.");
        std::unique_ptr<Pending> pending = std::move(pending_);
        DatabaseState& state = *database_.state_;
        state.insert_row(*state.tables[table_], pending->values);
    });
}

}  // namespace tessaly::jetdb
