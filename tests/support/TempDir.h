// A fresh folder for each test, removed after it, and files written into it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace tempdir {

class TempDirTest : public ::testing::Test {
protected:
    // The folder's name holds the suite, the process and the test, so that
    // tests run in parallel (ctest -j, several test binaries) never share one.
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               (std::string("q6-") + info->test_suite_name() + "-" + std::to_string(::getpid()) + "-" + info->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // The path of `name` in the folder.
    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

    // Writes `bytes` to `name` in the folder and returns its path.
    std::string Write(const std::string& name, std::string_view bytes) const
    {
        const std::string p = PathOf(name);
        std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return p;
    }
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const
    {
        return Write(name, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }

    std::filesystem::path dir_;
};

}  // namespace tempdir
