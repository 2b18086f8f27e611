#include "app/programdir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace quilla {
namespace {

namespace fs = std::filesystem;

class ProgramDirTest : public ::testing::Test {
protected:
    fs::path root;
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("quilla_pd_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root);
        fs::create_directories(root / "bin");
    }
    void TearDown() override { fs::remove_all(root); }
};

TEST_F(ProgramDirTest, HomeVariableWinsAndGetsASlash) {
    fs::create_directories(root / "share" / "quilla");
    EXPECT_EQ(ResolveProgramDir("/opt/q", (root / "bin").string(), "/src/data/"), "/opt/q/");
    EXPECT_EQ(ResolveProgramDir("/opt/q/", (root / "bin").string(), "/src/data/"), "/opt/q/");
}

TEST_F(ProgramDirTest, InstalledShareFolderBesideTheExecutable) {
    fs::create_directories(root / "share" / "quilla");
    EXPECT_EQ(ResolveProgramDir("", (root / "bin").string(), "/src/data/"),
              fs::weakly_canonical(root / "share" / "quilla").string() + "/");
}

TEST_F(ProgramDirTest, DataFolderNextToTheExecutable) {
    fs::create_directories(root / "bin" / "data");
    EXPECT_EQ(ResolveProgramDir(nullptr, (root / "bin").string(), "/src/data/"),
              (root / "bin" / "data").string() + "/");
}

TEST_F(ProgramDirTest, BuildTreeFallsBackToTheSourceData) {
    EXPECT_EQ(ResolveProgramDir(nullptr, (root / "bin").string(), "/src/data"), "/src/data/");
    EXPECT_EQ(ResolveProgramDir(nullptr, "", "/src/data/"), "/src/data/");
}

}  // namespace
}  // namespace quilla
