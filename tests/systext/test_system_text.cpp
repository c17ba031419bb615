// The system's error texts reach the messages as UTF-8 also under a locale of
// another encoding.
#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "systext/system_text.h"

namespace {

TEST(SystemText, ALocaleInCodePage1251GivesUtf8)
{
    // A Russian locale in code page 1251, made for the test when the system has none.
    const char* name = "ru_RU.CP1251";
    ::unsetenv("LANGUAGE");
    if (!std::setlocale(LC_ALL, name)) {
        const auto folder = std::filesystem::temp_directory_path() / "sovikan-locales";
        std::filesystem::create_directories(folder);
        const std::string make = "localedef -i ru_RU -f CP1251 '" + (folder / name).string() + "' >/dev/null 2>&1";
        if (std::system(make.c_str()) != 0)
            GTEST_SKIP() << "localedef could not make " << name;
        ::setenv("LOCPATH", folder.c_str(), 1);
        if (!std::setlocale(LC_ALL, name))
            GTEST_SKIP() << "no ru_RU locale (Debian: locales, libc-l10n)";
    }
    const std::string text = systext::SystemErrorText(ENOENT);
    const std::string errnoText = systext::ErrnoText(ENOSPC);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(text, "Нет такого файла или каталога");
    EXPECT_EQ(errnoText, "На устройстве не осталось свободного места");
}

}  // namespace
