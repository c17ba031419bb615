// The menu entry and its icons: that the entry starts the installed program by
// its name, names an icon that is shipped, and that each PNG icon has the size
// of the folder it is installed to.

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include <gtest/gtest.h>

namespace {

const std::string kDir = SOVIKAN_LINUX_DIR;

using Group = std::map<std::string, std::string>;

// Key=value lines of the [Desktop Entry] group.
Group ReadDesktopEntry(const std::string& path)
{
    std::ifstream in(path);
    Group entry;
    std::string line, group;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        if (line.front() == '[') {
            group = line;
            continue;
        }
        const auto eq = line.find('=');
        if (group == "[Desktop Entry]" && eq != std::string::npos)
            entry[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return entry;
}

// Width and height from a PNG's IHDR chunk; 0×0 when the file is no PNG.
std::pair<std::uint32_t, std::uint32_t> PngSize(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::array<unsigned char, 24> head{};
    in.read(reinterpret_cast<char*>(head.data()), head.size());
    static const std::array<unsigned char, 8> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (!in || !std::equal(signature.begin(), signature.end(), head.begin()) ||
        std::string(head.begin() + 12, head.begin() + 16) != "IHDR")
        return {0, 0};
    auto be32 = [&](int at) {
        return std::uint32_t(head[at]) << 24 | std::uint32_t(head[at + 1]) << 16 | std::uint32_t(head[at + 2]) << 8 |
               std::uint32_t(head[at + 3]);
    };
    return {be32(16), be32(20)};
}

TEST(DesktopEntry, StartsTheInstalledProgramWithoutArguments)
{
    const Group e = ReadDesktopEntry(kDir + "/sovikan.desktop");
    EXPECT_EQ(e.count("Type") ? e.at("Type") : "", "Application");
    EXPECT_FALSE(e.count("Terminal") && e.at("Terminal") == "true");
    // The program has no command line: no %f/%u field codes, no options.
    EXPECT_EQ(e.count("Exec") ? e.at("Exec") : "", SOVIKAN_PROGRAM_NAME);
    EXPECT_EQ(e.count("StartupWMClass") ? e.at("StartupWMClass") : "", SOVIKAN_PROGRAM_NAME);
}

TEST(DesktopEntry, HasRussianNamesAndAMainCategory)
{
    const Group e = ReadDesktopEntry(kDir + "/sovikan.desktop");
    EXPECT_EQ(e.count("Name[ru]") ? e.at("Name[ru]") : "", "СОВИКАН ТР07");
    EXPECT_TRUE(e.count("GenericName[ru]") && e.count("Comment[ru]"));
    const std::string categories = e.count("Categories") ? e.at("Categories") : "";
    EXPECT_NE(categories.find("Science;"), std::string::npos);
    EXPECT_EQ(categories.back(), ';');
}

TEST(DesktopEntry, NamesAnIconThatIsShippedInEverySize)
{
    const Group e = ReadDesktopEntry(kDir + "/sovikan.desktop");
    ASSERT_TRUE(e.count("Icon"));
    const std::string icon = e.at("Icon");
    // An icon theme name, not a path or a file name with its extension.
    EXPECT_EQ(icon.find_first_of("/."), std::string::npos);

    std::ifstream svg(kDir + "/icons/" + icon + ".svg");
    std::string text((std::istreambuf_iterator<char>(svg)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("<svg"), std::string::npos);
    EXPECT_NE(text.find("viewBox=\"0 0 128 128\""), std::string::npos) << "scalable icons are square";

    // Installed as hicolor/<size>x<size>/apps/<icon>.png, so the size must be right.
    for (std::uint32_t size : {48u, 128u}) {
        const auto [w, h] = PngSize(kDir + "/icons/" + icon + "-" + std::to_string(size) + ".png");
        EXPECT_EQ(w, size);
        EXPECT_EQ(h, size);
    }
}

}  // namespace
