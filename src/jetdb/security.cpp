#include "jetdb/security.h"

#include <cstring>

#include "jetdb/system_tables.h"

namespace tessaly::jetdb {

namespace {

// The built-in account ids before scrambling (as Jet 3 files store them).
constexpr Sid kEngineSid = {0x02, 0x03};
constexpr Sid kAdminSid = {0x03, 0x01};
constexpr Sid kCreatorSid = {0x02, 0x04};
constexpr Sid kUsersSid = {0x02, 0x01};

Sid plain_sid(Account account) {
    switch (account) {
        case Account::Engine:
            return kEngineSid;
        case Account::Admin:
            return kAdminSid;
        case Account::Creator:
            return kCreatorSid;
        case Account::Users:
            return kUsersSid;
    }
    return kAdminSid;
}

}  // namespace

SecurityIds::SecurityIds(double creation_date) {
    // Fold the eight bytes of the creation date into the two-byte key.
    std::uint8_t bytes[sizeof creation_date];
    std::memcpy(bytes, &creation_date, sizeof bytes);
    for (std::size_t i = 0; i < sizeof bytes; ++i)
        key_[i % key_.size()] ^= bytes[i];
}

Sid SecurityIds::sid(Account account) const {
    Sid s = plain_sid(account);
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] ^= key_[i];
    return s;
}

std::vector<AceRow> new_database_aces() {
    // The system tables are 2..5, identified by their TDEF pages.
    constexpr std::uint32_t kObjects = 2, kAces = 3, kQueries = 4, kRelationships = 5;
    return {
        {kObjects, Account::Admin, kRightsReadWriteSecurity, false},
        {kAces, Account::Admin, kRightsReadWriteSecurity, false},
        {kQueries, Account::Admin, kRightsReadWriteSecurity, false},
        {kRelationships, Account::Admin, kRightsReadWriteSecurityOwner, false},
        {kTablesContainerId, Account::Creator, kRightsCreatorDefault, true},
        {kTablesContainerId, Account::Admin, kRightsContainerCreate, false},
        {kRelationshipsContainerId, Account::Creator, kRightsCreatorDefault, true},
        {kRelationshipsContainerId, Account::Admin, kRightsContainerCreate, false},
        {kDatabasesContainerId, Account::Admin, kRightsReadWriteSecurity, false},
        {kDatabaseObjectId, Account::Admin, kRightsDatabaseAdmin, false},
        {kDatabaseObjectId, Account::Users, kRightsDatabaseOpen, false},
        {kQueries, Account::Users, kRightsReadData, false},
        {kRelationships, Account::Users, kRightsReadData, false},
        {kObjects, Account::Users, kRightsReadData, false},
        {kTablesContainerId, Account::Users, kRightsAllButAdminister, true},
        {kRelationshipsContainerId, Account::Users, kRightsFull, true},
    };
}

std::vector<AceRow> new_object_aces(std::uint32_t object_id) {
    return {
        {object_id, Account::Admin, kRightsCreatorDefault, false},
        {object_id, Account::Users, kRightsAllButAdminister, false},
    };
}

}  // namespace tessaly::jetdb
