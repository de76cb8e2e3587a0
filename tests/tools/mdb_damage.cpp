// mdb_damage: writes a damaged copy of a Jet database.
//   mdb_damage KIND[,KIND...] SEED SOURCE DESTINATION
//   mdb_damage --list
// KIND is one of the names --list prints; kinds are applied in the order
// given, each with the same SEED. SOURCE is only read.
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include "support/damage.h"

namespace {

int usage() {
    std::cerr << "usage: mdb_damage KIND[,KIND...] SEED SOURCE DESTINATION\n"
                 "       mdb_damage --list\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tessaly::test;
    if (argc == 2 && std::string(argv[1]) == "--list") {
        for (DamageKind k : all_damage_kinds())
            std::cout << damage_name(k) << "\n";
        return 0;
    }
    if (argc != 5) return usage();
    std::vector<DamageKind> kinds;
    std::stringstream names(argv[1]);
    for (std::string name; std::getline(names, name, ',');) {
        auto kind = damage_from_name(name);
        if (!kind) {
            std::cerr << "mdb_damage: unknown damage kind '" << name << "' (see --list)\n";
            return 2;
        }
        kinds.push_back(*kind);
    }
    const auto seed = static_cast<std::uint32_t>(std::stoul(argv[2]));
    std::ifstream in(argv[3], std::ios::binary);
    if (!in) {
        std::cerr << "mdb_damage: " << argv[3] << ": cannot be read\n";
        return 2;
    }
    std::vector<std::uint8_t> image((std::istreambuf_iterator<char>(in)), {});
    for (DamageKind k : kinds)
        apply_damage(image, k, seed);
    std::ofstream out(argv[4], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
    if (!out) {
        std::cerr << "mdb_damage: " << argv[4] << ": cannot be written\n";
        return 2;
    }
    return 0;
}
