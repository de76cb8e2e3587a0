// Owners and permissions (MSysACEs rows) of the objects of a new database.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace tessaly::jetdb {

// The built-in accounts every database refers to.
enum class Account : std::uint8_t {
    Engine,   // owner of the engine's own objects
    Admin,    // the default user, owner of everything it creates
    Creator,  // stands for "whoever creates an object in this container"
    Users,    // the group every user belongs to
};

using Sid = std::array<std::uint8_t, 2>;

// The account ids of one file. Jet 4 stores the built-in ids scrambled with a
// per-file value; how the engine derives that value is not public, so this
// library derives its own from the creation date (see security.cpp).
class SecurityIds {
  public:
    explicit SecurityIds(double creation_date);
    Sid sid(Account account) const;

  private:
    Sid key_{};
};

// One MSysACEs row.
struct AceRow {
    std::uint32_t object_id = 0;
    Account account = Account::Admin;
    std::uint32_t rights = 0;
    bool inheritable = false;
};

// Rights masks as the engine grants them to the objects of a new database.
inline constexpr std::uint32_t kRightsReadWriteSecurity = 0x60000;
inline constexpr std::uint32_t kRightsReadWriteSecurityOwner = 0xE0000;
inline constexpr std::uint32_t kRightsContainerCreate = 0x60001;
inline constexpr std::uint32_t kRightsCreatorDefault = 0xF00FE;
inline constexpr std::uint32_t kRightsDatabaseAdmin = 0x6000E;
inline constexpr std::uint32_t kRightsDatabaseOpen = 0x0000E;
inline constexpr std::uint32_t kRightsReadData = 0x00014;
inline constexpr std::uint32_t kRightsAllButAdminister = 0xFFEFF;
inline constexpr std::uint32_t kRightsFull = 0xFFFFF;

// The permission rows of the containers, MSysDb and the system tables of a
// new database.
std::vector<AceRow> new_database_aces();
// The permission rows of a table (or query) created by the default user in
// the Tables container: the creator's rights for the user, and every
// inheritable grant of the container.
std::vector<AceRow> new_object_aces(std::uint32_t object_id);

}  // namespace tessaly::jetdb
