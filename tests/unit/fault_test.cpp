// Runs that cannot get a log: whatever the cause, the whole world (files and registry) is as it
// was before the run, no tool is started, and the user is told.
#include "operations/registry_settings.h"
#include "world.h"

#include <array>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using platform::RegistryRoot;

const std::string kLocal = "C:\\Users\\Ann\\AppData\\Local";
const std::string kPfStore = kLocal + "\\VirtualStore\\Apps\\Veskpath";
const std::string kPdStore = kLocal + "\\VirtualStore\\ProgramData\\TOLM\\VESK 4.4";

enum class Cause { HostFolderUncreatable, EveryLogNumberTaken, HostFolderGone };
enum class Panel { Standard, Advanced };

struct Fault {
    Cause cause;
    Panel panel;
};

class NoLogFaultTest : public testing::TestWithParam<Fault>, protected World {
protected:
    NoLogFaultTest() {
        fake.special_folders[platform::kCsidlLocalAppData] = kLocal;
        state.ProgramPath = "C:\\Apps\\Vesk";
        state.AppDataPath = kHostFolder;
        state.AuxDataPath = "D:\\Aux";
        fake.add_dir(state.AuxDataPath);
        for (const char* name : {"VeskMain.ini", "a.$$$", "log1.txt", "Main.tlb", "p.vk$\\x.frm"}) {
            fake.add_file(std::string(kHostFolder) + "\\" + name, "keep");
        }
        fake.add_file("C:\\WINDOWS\\veskhogl.ini", "keep");
        fake.add_file(kPfStore + "\\Vesk.ini", "keep");
        fake.add_file(kPdStore + "\\Sub\\Vesk.ini", "keep");
        const std::string branch(kSettingsBranch);
        fake.set_value(RegistryRoot::CurrentUser, branch + "\\VeskTorp\\Window", "Left",
                       fake::reg_sz("10"));
        fake.set_value(RegistryRoot::CurrentUser, branch + "\\Vesk 4.0 Pro", "Top",
                       fake::reg_sz("20"));
    }

    void cause_fault(Cause cause) {
        switch (cause) {
        case Cause::HostFolderUncreatable:
            fake.make_uncreatable(kHostFolder);
            break;
        case Cause::EveryLogNumberTaken:
            for (int n = 1; n <= kLastLogNumber; ++n) {
                fake.add_file(std::string(kHostFolder) + "\\Cleaning" + std::to_string(n) + ".log");
            }
            break;
        case Cause::HostFolderGone:
            ASSERT_EQ(fake.shell_delete(kHostFolder).removal, platform::Removal::Deleted);
            break;
        }
    }

    void tick_everything(Panel panel) {
        if (panel == Panel::Standard) {
            for (int index = 0; index <= 5; ++index) {
                form.set_value(Form1::Check1(index), 1);
            }
        } else {
            form.click(ControlId::Command3);
            form.set_value(Form1::Check2(0), 1);
            form.set_value(ControlId::Check3, 1);
        }
    }

    std::vector<std::string> mutating_calls() const {
        std::vector<std::string> made;
        for (const auto& call : fake.calls) {
            if (call.starts_with("delete") || call.starts_with("shell_delete") ||
                call.starts_with("remove_link") || call.starts_with("run")) {
                made.push_back(call);
            }
        }
        return made;
    }

    ScriptedDialogs dialogs;
    Form1 form{context, fake, dialogs};
};

TEST_P(NoLogFaultTest, NothingChangesAndTheUserIsTold) {
    const Fault fault = GetParam();
    form.Form_Load();
    cause_fault(fault.cause);
    tick_everything(fault.panel);
    const std::vector<std::string> before = fake.whole_world();
    fake.calls.clear();

    form.click(fault.panel == Panel::Standard ? ControlId::Command1 : ControlId::Command2);

    EXPECT_EQ(fake.whole_world(), before);
    EXPECT_EQ(mutating_calls(), std::vector<std::string>{});
    EXPECT_TRUE(fake.starts.empty());
    EXPECT_FALSE(log.is_open());
    ASSERT_EQ(fake.boxes.size(), 2u);
    EXPECT_EQ(fake.boxes[0].style, platform::kMbQuestionYesNo);
    if (fault.cause == Cause::HostFolderUncreatable) {
        const std::string handler =
            fault.panel == Panel::Standard ? "Command1_Click" : "Command2_Click";
        EXPECT_EQ(fake.boxes[1].text,
                  "An error occurred in " + handler +
                      ":\r\nAccess is denied.\r\n\r\nThe program will now end.");
        EXPECT_EQ(fake.boxes[1].style, platform::kMbError);
        EXPECT_TRUE(form.ended());
    } else {
        EXPECT_EQ(fake.boxes[1].text,
                  "No cleaning log could be created in:\r\nD:\\Host\r\n\r\nNothing was cleaned.");
        EXPECT_EQ(fake.boxes[1].style, platform::kMbWarning);
        EXPECT_FALSE(form.ended());
    }
    EXPECT_EQ(form.mouse_pointer(), platform::kPointerDefault);
}

std::string fault_name(const testing::TestParamInfo<Fault>& param_info) {
    constexpr std::array<const char*, 3> kCauses = {"HostFolderUncreatable", "EveryLogNumberTaken",
                                                    "HostFolderGone"};
    return std::string(kCauses[static_cast<std::size_t>(param_info.param.cause)]) +
           (param_info.param.panel == Panel::Standard ? "Standard" : "Advanced");
}

INSTANTIATE_TEST_SUITE_P(EveryCauseBothRuns, NoLogFaultTest,
                         testing::Values(Fault{Cause::HostFolderUncreatable, Panel::Standard},
                                         Fault{Cause::HostFolderUncreatable, Panel::Advanced},
                                         Fault{Cause::EveryLogNumberTaken, Panel::Standard},
                                         Fault{Cause::EveryLogNumberTaken, Panel::Advanced},
                                         Fault{Cause::HostFolderGone, Panel::Standard},
                                         Fault{Cause::HostFolderGone, Panel::Advanced}),
                         fault_name);

} // namespace
