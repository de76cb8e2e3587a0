// The user's folders, after the XDG base directory conventions.
#pragma once

#include <filesystem>

namespace tessaly::platform {

// $HOME, or the password database's home folder when HOME is unset.
std::filesystem::path home_folder();

// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
std::filesystem::path config_home();

// $XDG_STATE_HOME when it is an absolute path, else ~/.local/state.
std::filesystem::path state_home();

// The program's own state folder: state_home()/tessaly (not created here).
std::filesystem::path program_state_folder();

}  // namespace tessaly::platform
