// A selection dialog on a fresh workbench, with its device list and
// configuration folder in a temporary folder, and stand-in forms.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/workbench.h"
#include "catalog/typedlg.h"
#include "support/recording_transport.h"
#include "support/scripted_prompts.h"

namespace quilla::test {

// A form that records what the dispatch did to it.
struct StubForm : AlgorithmForm {
    explicit StubForm(Workbench& w) : wb(w) { ++Constructed(); }
    void Show() override {
        ++shows;
        AlgorithmForm::Show();
    }
    void SetupForDevice() override {
        ++setups;
        seenParams = wb.sel.ParamString;
        seenVariant = wb.sel.VariantIndex;
        seenTypeText = wb.sel.TypeText;
    }
    static int& Constructed() {
        static int n = 0;
        return n;
    }
    Workbench& wb;
    int shows = 0;
    int setups = 0;
    std::string seenParams;
    int seenVariant = 0;
    std::string seenTypeText;
};

inline FormRegistry& StubRegistry() {
    static FormRegistry reg = [] {
        FormRegistry r;
        for (const char* cls : {"TP27x", "TAt89c5x", "TDsRAM", "TP29fxxx", "TP24c0x"})
            r.Add(cls, [](Workbench& w) { return std::make_unique<StubForm>(w); });
        return r;
    }();
    return reg;
}

class CatalogTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("quilla-catalog-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        wb.ProgramDir = dir.string() + "/";
        wb.Ep3.ProgramDir = wb.ProgramDir;
        dlg.ConfigDir = (dir / "config").string();
        StubForm::Constructed() = 0;
    }
    void TearDown() override {
        dlg.FormClose();
        std::filesystem::remove_all(dir);
    }
    void WriteFile(const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    std::string ReadFile(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void WriteList(const std::string& text, const std::string& name = "device640.lst") {
        WriteFile(name, text);
    }

    std::filesystem::path dir;
    ScriptedPrompts prompts;
    RecordingTransport usb;
    Workbench wb{prompts, &usb};
    TTypeDlg dlg{wb, StubRegistry()};
};

}  // namespace quilla::test
