// The SDL 1.2 library this binary runs on is the one the test pass names
// (ORVIX_SDL=compat for sdl12-compat, classic otherwise), so that the second
// pass of scripts/test.sh cannot quietly test classic SDL again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// The path of the SDL 1.2 library mapped into this process, or "".
std::string sdl12_path() {
    std::ifstream maps("/proc/self/maps");
    std::string line, found;
    while (std::getline(maps, line)) {
        size_t at = line.find('/');
        if (at != std::string::npos && line.find("/libSDL-1.2.so", at) != std::string::npos) found = line.substr(at);
    }
    return found;
}

TEST(SdlLibrary, IsTheOneThePassNames) {
    const char *named = std::getenv("ORVIX_SDL");
    bool compat = named && std::string(named) == "compat";
    std::string path = sdl12_path();
    ASSERT_NE(path, "");
    EXPECT_EQ(path.find("/sdl12-compat/") != std::string::npos, compat) << path;
}

}  // namespace
