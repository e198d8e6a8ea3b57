// The GUI tests need one application object for the whole run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "gui/Application.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt keeps the file dialogs' history and its caches under the home
    // folder: the tests, and the programs they start, get a home of their
    // own, removed at the end.
    std::string home = (std::filesystem::temp_directory_path() / "quillmark-gui-home-XXXXXX").string();
    if (::mkdtemp(home.data()) == nullptr) return 1;
    for (const auto& [name, folder] :
         {std::pair{"HOME", ""}, std::pair{"XDG_CONFIG_HOME", "/.config"},
          std::pair{"XDG_CACHE_HOME", "/.cache"}, std::pair{"XDG_DATA_HOME", "/.local/share"}})
        qputenv(name, (home + folder).c_str());
    int result;
    {
        quillmark::TApplication application(argc, argv);
        testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    std::error_code error;
    std::filesystem::remove_all(home, error);
    return result;
}
