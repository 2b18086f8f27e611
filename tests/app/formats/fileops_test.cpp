#include "app/fileops.h"

#include <gmock/gmock.h>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <functional>
#include <tuple>

#include "app/binfile.h"
#include "app/fill.h"
#include "app/hexfile.h"
#include "app/jedec.h"
#include "formats_util.h"
#include "support/param_names.h"

namespace quilla::test {
namespace {

using ::testing::ElementsAre;

// The user at the file dialogs and the format dialog.
class FakeFileUi : public FileUi {
public:
    std::optional<std::string> openName, saveName;
    int openAsked = 0, saveAsked = 0, formatShown = 0;
    FileFormatModel seen;  // the dialog as it was shown
    enum Close { Ok, Cancel, TitleBar } close = Ok;
    std::function<void(FileFormatModel&)> user;  // what the user changes before closing

    std::optional<std::string> OpenFileName(const Workbench&) override { ++openAsked; return openName; }
    std::optional<std::string> SaveFileName(const Workbench&) override { ++saveAsked; return saveName; }
    void ShowFormatDialog(FileFormatModel& m, Workbench& wb) override {
        ++formatShown;
        seen = m;
        if (user) user(m);
        if (close == Ok) m.OKBtnClick(wb);
        else if (close == Cancel) m.CancelBtnClick();
    }
};

class FileOpsTest : public FormatsTest {
protected:
    FileFormatModel model;
    FakeFileUi ui;
    OtherFormats other;
    std::vector<std::string> calls;

    FileOpsTest() {
        other.LoadJed = [this](Workbench&) { calls.push_back("LoadJed"); };
        other.LoadSvf = [this](Workbench&) { calls.push_back("LoadSvf"); };
        other.WriteJed = [this](Workbench& w) {
            calls.push_back("WriteJed " + w.DataFileName);
            return true;
        };
    }
};

TEST_F(FileOpsTest, CancelledOpenDialogDoesNothing) {
    LoadFileClick(wb, model, ui, other);
    EXPECT_EQ(ui.formatShown, 0);
    EXPECT_EQ(wb.DataFileName, "noname.bin");
}

TEST_F(FileOpsTest, LoadPreparesTheDialogForTheFile) {
    model.Edit1 = "123";
    model.Edit2 = "0";
    ui.openName = Write("data.HEX", ":0100000042BD\r\n:00000001FF");
    LoadFileClick(wb, model, ui, other);
    EXPECT_EQ(ui.seen.Caption, *ui.openName);
    EXPECT_EQ(ui.seen.Format, FmtHex);
    EXPECT_EQ(ui.seen.Edit1, "000000");
    EXPECT_EQ(ui.seen.Edit2, "ffffff");
    EXPECT_FALSE(ui.seen.RangeEnabled);
    EXPECT_FALSE(ui.seen.LoadModeEnabled);
    EXPECT_EQ(wb.ImageBuffer[0], 0x42);
    EXPECT_EQ(wb.FileWin->EndAddr, 0);
}

TEST_F(FileOpsTest, TheChosenFormatDecidesNotTheExtension) {
    ui.openName = Write("data.hex", "\x01\x02\x03");
    ui.user = [](FileFormatModel& m) {
        m.OnRadioClick(FmtBin);
        m.OnClick2(3);  // 16bit 2nd byte
        m.Edit1 = "200";
    };
    LoadFileClick(wb, model, ui, other);
    EXPECT_EQ(wb.LoadStart, 0x200);
    EXPECT_EQ(wb.ImageBuffer[0x200], 0x02);
    EXPECT_EQ(wb.ImageBuffer[0x201], 0xFF);
    EXPECT_EQ(wb.LoadedEnd, 0x200);
    // The load mode stays for the next use of the dialog.
    EXPECT_EQ(model.LoadMask, 1);
    EXPECT_EQ(model.LoadMatch, 1);
}

TEST_F(FileOpsTest, CancelledFormatDialogKeepsTheImageButTakesTheName) {
    ui.openName = Write("x.bin", "\x01\x02");
    ui.close = FakeFileUi::Cancel;
    LoadFileClick(wb, model, ui, other);
    EXPECT_EQ(model.Format, FmtNone);
    EXPECT_EQ(wb.DataFileName, *ui.openName);
    EXPECT_EQ(wb.ImageBuffer[0], 0xFF);
    EXPECT_FALSE(wb.FileWin);
}

TEST_F(FileOpsTest, TitleBarCloseGoesOnWithTheFormatButKeepsLoadStart) {
    wb.LoadStart = 0x10;
    ui.openName = Write("x.bin", "\x01\x02");
    ui.close = FakeFileUi::TitleBar;
    ui.user = [](FileFormatModel& m) { m.Edit1 = "300"; };
    LoadFileClick(wb, model, ui, other);
    EXPECT_EQ(wb.LoadStart, 0x10);
    EXPECT_THAT(Bytes(0x10, 3), ElementsAre(0x01, 0x02, 0xFF));
}

TEST_F(FileOpsTest, UnreadableStartFieldKeepsLoadStart) {
    wb.LoadStart = 0x20;
    ui.openName = Write("x.bin", "\x07");
    ui.user = [](FileFormatModel& m) { m.Edit1 = "start"; };
    LoadFileClick(wb, model, ui, other);
    EXPECT_EQ(wb.LoadStart, 0x20);
    EXPECT_EQ(wb.ImageBuffer[0x20], 0x07);
}

TEST_F(FileOpsTest, CdsLoadShifts) {
    ui.openName = Write("x.cds", "\xAA\xBB\x01\x02\x03");
    LoadFileClick(wb, model, ui, other);
    EXPECT_THAT(Bytes(0, 5), ElementsAre(0x01, 0x02, 0x03, 0xFF, 0xFF));
}

TEST_F(FileOpsTest, JedAndSvfGoToTheirLoaders) {
    ui.openName = Write("x.jed", "");
    LoadFileClick(wb, model, ui, other);
    ui.openName = Write("x.svf", "");
    LoadFileClick(wb, model, ui, other);
    EXPECT_THAT(calls, ElementsAre("LoadJed", "LoadSvf"));
}

TEST_F(FileOpsTest, JedAndSvfUseTheProgramsLoadersByDefault) {
    wb.FileNew();
    ui.openName = Write("x.jed", "\x02*\nL0000 1010*\n\x03");
    LoadFileClick(wb, model, ui);
    EXPECT_TRUE(wb.PldFileW);
    EXPECT_FALSE(wb.FileWin);
    ui.openName = Write("x.svf", "STATE RESET;\n");
    LoadFileClick(wb, model, ui);
    EXPECT_TRUE(wb.SvfFileW);
}

TEST_F(FileOpsTest, SaveWithoutDataWindowAsksNothing) {
    ui.saveName = Path("o.bin");
    SaveBufClick(wb, model, ui, other);
    EXPECT_EQ(ui.saveAsked, 0);
}

TEST_F(FileOpsTest, SaveBinPreparesTheRangeFromEndAddr) {
    wb.FileNew();
    wb.FileWin->EndAddr = 0x1F;
    ui.saveName = Path("o.bin");
    SaveBufClick(wb, model, ui, other);
    EXPECT_EQ(ui.seen.Edit1, "000000");
    EXPECT_EQ(ui.seen.Edit2, "00001f");
    EXPECT_FALSE(ui.seen.LoadModeEnabled);
    EXPECT_TRUE(ui.seen.RangeEnabled);
    EXPECT_EQ(Read(*ui.saveName).size(), 0x20u);
}

TEST_F(FileOpsTest, SaveHexWritesHex) {
    wb.FileNew();
    wb.FileWin->EndAddr = 0;
    wb.ImageBuffer[0] = 0x42;
    ui.saveName = Path("o.hex");
    SaveBufClick(wb, model, ui, other);
    EXPECT_EQ(Read(*ui.saveName), ":0100000042BD\r\n:00000001FF");
}

TEST_F(FileOpsTest, SaveCdsIsRefused) {
    wb.FileNew();
    ui.saveName = Path("o.cds");
    SaveBufClick(wb, model, ui, other);
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"Save format error..."});
    EXPECT_EQ(prompts.shown[0].caption, Prompts::AppTitle);
    EXPECT_FALSE(std::filesystem::exists(*ui.saveName));
}

TEST_F(FileOpsTest, SaveJedNeedsTheFuseWindow) {
    wb.FileNew();
    ui.saveName = Path("o.jed");
    SaveBufClick(wb, model, ui, other);
    EXPECT_TRUE(calls.empty());
    wb.PldFileW = std::make_unique<FuseWindowState>();
    SaveBufClick(wb, model, ui, other);
    EXPECT_THAT(calls, ElementsAre("WriteJed " + *ui.saveName));
}

TEST_F(FileOpsTest, SaveSvfAndCancelWriteNothing) {
    wb.FileNew();
    ui.saveName = Path("o.svf");
    SaveBufClick(wb, model, ui, other);
    ui.saveName = Path("o.bin");
    ui.close = FakeFileUi::Cancel;
    SaveBufClick(wb, model, ui, other);
    ui.saveName.reset();  // the save dialog cancelled
    SaveBufClick(wb, model, ui, other);
    EXPECT_FALSE(std::filesystem::exists(Path("o.svf")));
    EXPECT_FALSE(std::filesystem::exists(Path("o.bin")));
    EXPECT_EQ(wb.DataFileName, Path("o.bin"));
    EXPECT_TRUE(prompts.shown.empty()) << prompts.Last();
}

// A start field that does not read as hex: SaveBin's own message, once.
TEST_F(FileOpsTest, SaveBinFieldMessageIsNotDoubled) {
    wb.FileNew();
    ui.saveName = Write("keep.bin", "old");
    ui.user = [](FileFormatModel& m) { m.Edit1 = "zz"; };
    SaveBufClick(wb, model, ui, other);
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"Buffer start or end is not a hex number: nothing saved"});
    EXPECT_EQ(Read(*ui.saveName), "old");
}

// Load 64 KiB, fill a range inside it, save as binary: the whole 64 KiB are
// written, and only the filled range differs from what was loaded.
TEST_F(FileOpsTest, FillInsideALoadedImageKeepsTheWholeImageForSave) {
    std::string image(0x10000, '\0');
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 13 + 5);
    ui.openName = Write("in.bin", image);
    LoadFileClick(wb, model, ui, other);
    ASSERT_EQ(wb.FileWin->EndAddr, 0xFFFF);

    InputHexModel fill;
    fill.FillClick();
    fill.Edit1 = "100";
    fill.Edit2 = "1ff";
    fill.Edit3 = "a5";
    ASSERT_TRUE(fill.OKBtnClick(wb));

    ui.saveName = Path("out.bin");
    SaveBufClick(wb, model, ui, other);
    EXPECT_EQ(ui.seen.Edit2, "00ffff");  // the format dialog offers the whole buffer
    const std::string saved = Read(Path("out.bin"));
    ASSERT_EQ(saved.size(), 65536u);
    for (std::size_t i = 0; i < saved.size(); ++i) {
        const char want = i >= 0x100 && i <= 0x1FF ? '\xa5' : image[i];
        ASSERT_EQ(saved[i], want) << "at " << std::hex << i;
    }
}

// A file named when the program starts is loaded by its extension.
TEST_F(FileOpsTest, NamedFileIsLoadedByItsExtension) {
    ASSERT_TRUE(LoadNamedFile(wb, Write("image.BIN", std::string("\x01\x02\x03", 3)), other));
    EXPECT_EQ(Bytes(0, 3), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(wb.FileWin->EndAddr, 2);
    EXPECT_EQ(wb.DataFileName, Path("image.BIN"));

    ASSERT_TRUE(LoadNamedFile(wb, Write("data.hex", ":0100100042AD\r\n:00000001FF"), other));
    EXPECT_EQ(wb.ImageBuffer[0x10], 0x42);

    ASSERT_TRUE(LoadNamedFile(wb, Write("fuses.jed", ""), other));
    ASSERT_TRUE(LoadNamedFile(wb, Write("chain.svf", ""), other));
    EXPECT_THAT(calls, ElementsAre("LoadJed", "LoadSvf"));
    EXPECT_TRUE(prompts.shown.empty()) << prompts.Last();
}

TEST_F(FileOpsTest, NamedBinaryLoadsFromAddressZeroWhateverTheLastLoadUsed) {
    wb.LoadStart = 0x1000;
    ASSERT_TRUE(LoadNamedFile(wb, Write("b.bin", "\x11\x22"), other));
    EXPECT_EQ(wb.ImageBuffer[0], 0x11);
    EXPECT_EQ(wb.ImageBuffer[1], 0x22);
    EXPECT_EQ(wb.FileWin->EndAddr, 1);
}

struct BadNameCase {
    const char* name;
    const char* file;    // its name in the test folder
    enum { None, File, Folder } made;  // what is there under that name
    const char* message;  // after the path
};

class NamedFileRefused : public FileOpsTest, public ::testing::WithParamInterface<BadNameCase> {};

TEST_P(NamedFileRefused, GivesOneMessageAndLoadsNothing) {
    const BadNameCase& c = GetParam();
    std::string path = Path(c.file);
    if (c.made == BadNameCase::Folder) std::filesystem::create_directories(path);
    if (c.made == BadNameCase::File) Write(c.file, "\x55\x66");
    const auto before = Bytes(0, 16);
    const std::string oldName = wb.DataFileName;
    EXPECT_FALSE(LoadNamedFile(wb, path, other));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.Last(), std::string(c.message).replace(std::string(c.message).find('@'), 1, path));
    EXPECT_EQ(Bytes(0, 16), before);
    EXPECT_EQ(wb.DataFileName, oldName);
    EXPECT_TRUE(calls.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Names, NamedFileRefused,
    ::testing::Values(BadNameCase{"Missing", "none.bin", BadNameCase::None, "Can not open @: no such file"},
                      BadNameCase{"Folder", "images", BadNameCase::Folder, "Can not open @: not a file"},
                      BadNameCase{"FolderNamedLikeAFile", "dir.hex", BadNameCase::Folder, "Can not open @: not a file"},
                      BadNameCase{"UnknownExtension", "image.txt", BadNameCase::File, "Can not load @: unknown file type (.txt)"},
                      BadNameCase{"NoExtension", "image", BadNameCase::File, "Can not load @: unknown file type"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- saving whole or not at all -------------------------------------------------------

enum class SaveFailure { MissingFolder, ReadOnlyFile, ReadOnlyFolder, FullDisk };

struct SaveFormatCase {
    const char* name;
    const char* file;  // the name saved under (the JEDEC writer keeps ".jed")
};
const SaveFormatCase SaveHexCase{"Hex", "o.hex"}, SaveBinCase{"Bin", "o.bin"}, SaveJedCase{"Jed", "o.jed"};

// Saves through the format dialog as the user does: a buffer window of
// 16 KiB (HEX, BIN) or a 22V10-sized fuse map (JED), each well over 2 KiB in
// its file.
class SaveFormats : public FileOpsTest {
protected:
    static constexpr std::size_t OldSize = 20000;

    SaveFormats() { other = {}; }  // the program's own writers

    void Prepare(const SaveFormatCase& c) {
        for (int a = 0; a < 0x10000; ++a) wb.ImageBuffer[a] = static_cast<std::uint8_t>(a * 7 + 3);
        if (std::string(c.name) == "Jed") {
            OpenFuseWindow(wb, 44, 132);
            for (int a = 0; a < 138 * 44; ++a) wb.ImageBuffer[a] = (a * 5 % 7) < 3 ? '1' : '0';
        } else {
            wb.FileNew();
            wb.FileWin->EndAddr = 0x3FFF;
        }
        imageBefore = Bytes(0, 0x10000);
    }
    // What a good save writes.
    std::string Expected(const SaveFormatCase& c) const {
        const std::string n = c.name;
        if (n == "Hex") return FormatHex(wb.ImageBuffer, 0x3FFF);
        if (n == "Bin") return std::string(wb.ImageBuffer.begin(), wb.ImageBuffer.begin() + 0x4000);
        return JedText(wb.ImageBuffer, *wb.PldFileW, wb.sel.VariantIndex);
    }
    static std::string OldBytes() {
        std::string old(OldSize, '\0');
        for (std::size_t i = 0; i < old.size(); ++i) old[i] = static_cast<char>(i * 31 + 17);
        return old;
    }
    // The names in a folder (a temporary file left behind would show here).
    static std::vector<std::string> Names(const std::filesystem::path& folder) {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // The buffer and its window as they were.
    void ExpectUnchanged() const {
        EXPECT_TRUE(Bytes(0, 0x10000) == imageBefore);
        if (wb.FileWin) {
            EXPECT_EQ(wb.FileWin->EndAddr, 0x3FFF);
            EXPECT_EQ(wb.FileWin->Title, "noname.bin");
        } else {
            ASSERT_TRUE(wb.PldFileW);
            EXPECT_EQ(wb.PldFileW->FuseCols, 44);
            EXPECT_EQ(wb.PldFileW->Title, "PLD Buffer   ");
        }
    }
    std::vector<std::uint8_t> imageBefore;
};

std::string SaveFailName(const ::testing::TestParamInfo<std::tuple<SaveFormatCase, SaveFailure>>& info) {
    static const char* const failures[] = {"MissingFolder", "ReadOnlyFile", "ReadOnlyFolder", "FullDisk"};
    return std::string(std::get<0>(info.param).name) + "_" + failures[static_cast<int>(std::get<1>(info.param))];
}

class SaveFails : public SaveFormats,
                  public ::testing::WithParamInterface<std::tuple<SaveFormatCase, SaveFailure>> {};

TEST_P(SaveFails, OneMessageAndTheOldFileKept) {
    const auto& [format, failure] = GetParam();
    Prepare(format);
    std::filesystem::path folder = dir / "data";
    std::filesystem::create_directories(folder);
    std::string target = (folder / format.file).string();
    std::string reason;
    switch (failure) {
    case SaveFailure::MissingFolder:
        target = (dir / "none" / format.file).string();
        reason = "No such file or directory";
        break;
    case SaveFailure::ReadOnlyFile:
        // No write bit at all: refused also where the superuser could write it.
        std::ofstream(target, std::ios::binary) << OldBytes();
        std::filesystem::permissions(target, std::filesystem::perms(0444));
        reason = "Permission denied";
        break;
    case SaveFailure::ReadOnlyFolder:
        if (::geteuid() == 0) GTEST_SKIP() << "the superuser writes into a read-only folder";
        std::ofstream(target, std::ios::binary) << OldBytes();
        std::filesystem::permissions(folder, std::filesystem::perms(0555));
        reason = "Permission denied";
        break;
    case SaveFailure::FullDisk:
        std::ofstream(target, std::ios::binary) << OldBytes();
        reason = "File too large";
        break;
    }
    ui.saveName = target;
    const std::string dataFile = wb.DataFileName;

    if (failure == SaveFailure::FullDisk) {
        // A disk that fills after 2 KiB: writes past it fail instead of
        // ending the process.
        rlimit old{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 2048;
        auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        SaveBufClick(wb, model, ui, other);
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
    } else {
        SaveBufClick(wb, model, ui, other);
    }
    if (failure == SaveFailure::ReadOnlyFolder) std::filesystem::permissions(folder, std::filesystem::perms(0755));

    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"Can not save " + target + ": " + reason});
    if (failure == SaveFailure::MissingFolder) {
        EXPECT_FALSE(std::filesystem::exists(dir / "none"));
    } else {
        EXPECT_TRUE(Read(target) == OldBytes()) << "the old file changed";
        EXPECT_EQ(Names(folder), std::vector<std::string>{format.file});
    }
    EXPECT_EQ(wb.DataFileName, dataFile) << "the data file is still the one loaded";
    ExpectUnchanged();
}

INSTANTIATE_TEST_SUITE_P(
    FormatByFailure, SaveFails,
    ::testing::Combine(::testing::Values(SaveHexCase, SaveBinCase, SaveJedCase),
                       ::testing::Values(SaveFailure::MissingFolder, SaveFailure::ReadOnlyFile,
                                         SaveFailure::ReadOnlyFolder, SaveFailure::FullDisk)),
    SaveFailName);

class SaveSucceeds : public SaveFormats, public ::testing::WithParamInterface<SaveFormatCase> {};

// Over an existing 20,000-byte file: the whole buffer, its permission bits
// kept, nothing said, no temporary file left.
TEST_P(SaveSucceeds, ReplacesTheFileWholeAndSaysNothing) {
    const SaveFormatCase& c = GetParam();
    Prepare(c);
    const std::string target = Write(c.file, OldBytes());
    std::filesystem::permissions(target, std::filesystem::perms(0640));
    ui.saveName = target;
    SaveBufClick(wb, model, ui, other);
    EXPECT_TRUE(prompts.shown.empty()) << prompts.Last();
    const std::string want = Expected(c);
    ASSERT_GT(want.size(), 2048u);
    EXPECT_TRUE(Read(target) == want);
    EXPECT_EQ(std::filesystem::status(target).permissions(), std::filesystem::perms(0640));
    EXPECT_EQ(Names(dir), std::vector<std::string>{c.file});
    ExpectUnchanged();
}

// Saved through a symbolic link: the file it names is replaced, the link stays.
TEST_P(SaveSucceeds, FollowsASymbolicLink) {
    const SaveFormatCase& c = GetParam();
    Prepare(c);
    std::filesystem::create_directories(dir / "real");
    const std::string real = Write(std::string("real/") + c.file, OldBytes());
    const std::string link = Path(c.file);
    std::filesystem::create_symlink(std::filesystem::path("real") / c.file, link);
    ui.saveName = link;
    SaveBufClick(wb, model, ui, other);
    EXPECT_TRUE(prompts.shown.empty()) << prompts.Last();
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_TRUE(Read(real) == Expected(c));
    EXPECT_EQ(Names(dir / "real"), std::vector<std::string>{c.file});
}

INSTANTIATE_TEST_SUITE_P(Formats, SaveSucceeds, ::testing::Values(SaveHexCase, SaveBinCase, SaveJedCase),
                         [](const auto& info) { return std::string(info.param.name); });

// The JEDEC writer replaces the name's extension: the message names the
// file it was writing.
TEST_F(SaveFormats, JedecMessageNamesTheJedFile) {
    Prepare(SaveJedCase);
    ui.saveName = Path("none/fuses.bin");
    ui.user = [](FileFormatModel& m) { m.OnRadioClick(FmtJed); };
    SaveBufClick(wb, model, ui, other);
    EXPECT_EQ(prompts.Texts(),
              std::vector<std::string>{"Can not save " + Path("none/fuses.JED") + ": No such file or directory"});
}

// A format whose window is not open (HEX with only a fuse map, JEDEC with only
// the buffer window) writes nothing and says so, once.
TEST_F(SaveFormats, AFormatWithoutItsWindowSavesNothingAndSaysSo) {
    struct Case {
        const SaveFormatCase& open;
        int format;
        const char* file;
        const char* why;
    };
    for (const Case& c : {Case{SaveJedCase, FmtHex, "map.hex", "no buffer window is open"},
                          Case{SaveHexCase, FmtJed, "image.jed", "no fuse map is open"}}) {
        SCOPED_TRACE(c.file);
        prompts.shown.clear();
        wb.PldFileW.reset();
        wb.FileWin.reset();
        Prepare(c.open);
        const std::string dataFile = wb.DataFileName;
        ui.saveName = Path(c.file);
        const int format = c.format;
        ui.user = [format](FileFormatModel& m) { m.OnRadioClick(format); };
        SaveBufClick(wb, model, ui, other);
        EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"Can not save " + Path(c.file) + ": " + c.why});
        EXPECT_FALSE(std::filesystem::exists(Path(c.file)));
        EXPECT_EQ(wb.DataFileName, dataFile);
        ExpectUnchanged();
    }
}

struct RadioCase {
    int index;
    bool range, modes;
};

class FormatRadio : public ::testing::TestWithParam<RadioCase> {};

TEST_P(FormatRadio, EnablesTheFieldsOfTheFormat) {
    FileFormatModel m;
    m.OnRadioClick(GetParam().index);
    EXPECT_EQ(m.RangeEnabled, GetParam().range);
    EXPECT_EQ(m.LoadModeEnabled, GetParam().modes);
}

INSTANTIATE_TEST_SUITE_P(Items, FormatRadio,
                         ::testing::Values(RadioCase{-1, false, true}, RadioCase{0, true, true},
                                           RadioCase{1, false, false}, RadioCase{2, false, false},
                                           RadioCase{3, false, false}, RadioCase{4, false, false}),
                         quilla::test::CaseName([](const auto& c) {
                             return c.index < 0 ? std::string("none") : "item " + std::to_string(c.index);
                         }));

}  // namespace
}  // namespace quilla::test
