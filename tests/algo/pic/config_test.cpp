// Configuration bit captions, the sixteen boxes and their conversions, and
// the two-byte ".CON" side file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "algo/pic/pic_form.h"
#include "support/scripted_prompts.h"

namespace quilla::test {
namespace {

namespace fs = std::filesystem;

// A form with the configuration controls of the PIC flash forms only.
class BoxesForm : public PicForm {
public:
    explicit BoxesForm(Workbench& w) : PicForm(w, "boxes", picvariant::P16fx) {
        using namespace picwin;
        DeclareControls(win::Join({{win::PushButton(kReadCfg), win::Edit({kUserId}, "ffff")},
                                   ConfigBoxes("CFG Config(打勾编程为0)"),
                                   {StatusField("Prompt  "), ProgressBar(), AddressField("Add ", false)}}),
                        this, ConfigBoxClicks<BoxesForm>());
    }
    void SetupForDevice() override {}
    using PicForm::ApplyCaptions;
    using PicForm::ReadConFile;
    using PicForm::WriteConFile;
    int rebuilds = 0;
    void ControlsToConfig() override {
        ++rebuilds;
        PicForm::ControlsToConfig();
    }
};

struct Fixture : ::testing::Test {
    ScriptedPrompts prompts;
    Workbench wb{prompts};
    BoxesForm f{wb};
    fs::path dir = fs::temp_directory_path() / ("quilla_pic_con_" + std::to_string(::getpid()));
    void SetUp() override {
        fs::create_directories(dir);
        wb.DataFileName = (dir / "image.hex").string();
        WriteRaw(dir / "image.hex", ":00000001FF\r\n");  // side files live beside an image file
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Raw(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    void WriteRaw(const fs::path& p, const std::string& bytes) {
        std::ofstream(p, std::ios::binary) << bytes;
    }
    std::vector<int> Ticked() {
        std::vector<int> bits;
        for (int k = 0; k < 16; ++k)
            if (f.Checked("CheckBox" + std::to_string(k + 1))) bits.push_back(k);
        return bits;
    }
};

TEST(ConfigNames, SetsByFormAndCfgValue) {
    EXPECT_EQ(ConfigBitNames(ConfigNameForm::P16fx, 6)[6], "BOREN");
    EXPECT_EQ(ConfigBitNames(ConfigNameForm::P16f87xa1, 6)[6], "BODEN");
    EXPECT_EQ(ConfigBitNames(ConfigNameForm::P16fEEx, 6)[10], "CP0");
    for (int k = 0; k < 16; ++k) EXPECT_EQ(ConfigBitNames(ConfigNameForm::P16f628a1, 1)[k], "") << k;
    for (int cfg : {12, -1, 10}) {
        EXPECT_EQ(ConfigBitNames(ConfigNameForm::P16fx, cfg), ConfigBitNames(ConfigNameForm::P16fx, 0)) << cfg;
        EXPECT_EQ(ConfigBitNames(ConfigNameForm::P16fx, cfg)[4], "CP0") << cfg;
    }
    EXPECT_EQ(ConfigBitNames(ConfigNameForm::P16fEEx, 9)[12], "BG0");
    EXPECT_EQ(ConfigBitNames(ConfigNameForm::P16f87xa1, 9)[0], "");
    EXPECT_EQ(ConfigBitNames(ConfigNameForm::P16fEEx, 5)[7], "DP");
    EXPECT_EQ(ConfigBitNames(ConfigNameForm::P16f628a1, 0)[13], "CP");
    EXPECT_EQ(ConfigBitNames(ConfigNameForm::P16f628a1, 0)[14], "");
}

TEST_F(Fixture, ConfigToControlsTicksTheProgrammedBitsWithoutRebuilding) {
    f.ConfigWord = 0x3F3A;
    f.UserId = 0x0ABC;
    f.ConfigToControls();
    EXPECT_EQ(Ticked(), (std::vector<int>{0, 2, 6, 7, 14, 15}));
    EXPECT_EQ(f.Get("Label3").Caption, "Config = 3f3a ");
    EXPECT_EQ(f.Text("Edit1"), "0abc");
    EXPECT_EQ(f.rebuilds, 0);  // the box clicks saw Read CFG disabled
    EXPECT_EQ(f.ConfigWord, 0x3F3Au);
    EXPECT_TRUE(f.Get("RdConfig").Enabled);
}

TEST_F(Fixture, AUserClickRebuildsTheWord) {
    f.ConfigWord = 0x3F3A;
    f.ConfigToControls();
    f.SetChecked("CheckBox1", false);  // bit 0 back to 1
    EXPECT_EQ(f.ConfigWord, 0x3F3Bu);
    EXPECT_EQ(f.Text("Msg"), "Config = 3f3b ");
    f.SetChecked("CheckBox15", false);  // disabled: the user cannot change it
    EXPECT_EQ(f.ConfigWord, 0x3F3Bu);
}

TEST_F(Fixture, AllBoxesUntickedIsFFFFAndTheUserIdFieldIsRead) {
    f.UserId = 0x5555;
    f.SetText("Edit1", "12");
    f.ControlsToConfig();
    EXPECT_EQ(f.ConfigWord, 0xFFFFu);
    EXPECT_EQ(f.UserId, 0x12u);
    f.SetText("Edit1", "  abcdef");
    f.ControlsToConfig();
    EXPECT_EQ(f.UserId, 0xABCDu);
    f.SetText("Edit1", "xyz");
    f.ControlsToConfig();
    EXPECT_EQ(f.UserId, 0xABCDu);  // not a digit: unchanged
}

TEST_F(Fixture, ConFileKeepsTheWordThroughTheTextModeTranslation) {
    const fs::path con = dir / "image.CON";
    f.ConfigWord = 0x3F0A;
    f.WriteConFile();
    EXPECT_EQ(Raw(con), std::string("\x3F\x0D\x0A", 3));
    f.ConfigWord = 0;
    f.ReadConFile();
    EXPECT_EQ(f.ConfigWord, 0x3F0Au);
    EXPECT_EQ(Ticked(), (std::vector<int>{0, 2, 4, 5, 6, 7, 14, 15}));
}

TEST_F(Fixture, ConFileReadingRules) {
    const fs::path con = dir / "image.CON";
    struct Case {
        const char* name;
        std::string bytes;
        std::optional<std::uint16_t> word;
    };
    const Case cases[] = {
        {"empty", "", 0xFFFF},
        {"one byte", "\x31", 0x31FF},
        {"two bytes", "\x31\xFF", 0x31FF},
        {"CR LF read as LF", std::string("\x12\x0D\x0A", 3), 0x120A},
        {"1Ah ends the file", std::string("\x1A\x05", 2), 0xFFFF},
        {"another form's 8 characters", "10110000", std::nullopt},
        {"three characters", "101", std::nullopt},
    };
    for (const Case& c : cases) {
        WriteRaw(con, c.bytes);
        EXPECT_EQ(ReadConfigWordFile(con.string()), c.word) << c.name;
    }
    EXPECT_EQ(ReadConfigWordFile((dir / "missing.CON").string()), std::nullopt);

    WriteRaw(con, "10110000");
    f.ConfigWord = 0x1234;
    f.ReadConFile();
    EXPECT_EQ(f.ConfigWord, 0x1234u);  // not this form's file: nothing read
    EXPECT_TRUE(Ticked().empty());
}

TEST_F(Fixture, SettingsFilesKeepTheirBoxesWhateverTheUserIdBoxHolds) {
    // 1Ah in the user ID would end the file in text mode and lose the
    // settings before it: it is stored as a space.
    const std::string path = (dir / "image.CON").string();
    ConFile8 c8;
    c8.box[1] = true;
    c8.item = 1;
    ASSERT_TRUE(WriteConFile8(path, c8, std::string("\x1A" "01", 3)));
    EXPECT_EQ(Raw(dir / "image.CON"), "0101 01 ");
    const auto again = ReadConFile8(path, 2);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->item, 1);
    EXPECT_EQ((std::vector<bool>{again->box[0], again->box[1], again->box[2]}), (std::vector<bool>{false, true, false}));
}

}  // namespace
}  // namespace quilla::test
