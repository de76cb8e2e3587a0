// A scratch folder for a test, with XDG_CONFIG_HOME and XDG_STATE_HOME pointed
// inside it, restored (and the folder removed) when the object goes away.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tessaly::test {

class TempEnv {
  public:
    TempEnv();
    ~TempEnv();
    TempEnv(const TempEnv&) = delete;
    TempEnv& operator=(const TempEnv&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path config_home() const { return root_ / "config"; }
    std::filesystem::path state_home() const { return root_ / "state"; }

    // Writes the program's settings file with the given INI text.
    void write_settings(const std::string& ini_text) const;

  private:
    std::filesystem::path root_;
    std::optional<std::string> saved_config_, saved_state_;
};

// Reads a whole file as bytes.
std::string read_file(const std::filesystem::path& file);

}  // namespace tessaly::test
