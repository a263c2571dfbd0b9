// The options as one table: every row reaches the console's switch and usage, a box of its own
// in the window's panel, the panel's caption and question, the policy and its templates, and the
// run, in the table's order.
#include "console/command_line.h"
#include "console/console_policy.h"
#include "engine/cleaning_run.h"
#include "engine/policy_templates.h"
#include "world.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace {

struct HeardOperations final : RunObserver {
    void operation_started(std::string_view procedure) override {
        operations.emplace_back(procedure);
    }
    std::vector<std::string> operations;
};

std::vector<std::string> operations_run(const CleaningOptions& options) {
    World world;
    HeardOperations heard;
    Context context{world.state, world.fake.os(), world.log, world.deletion, heard};
    run_cleaning(context, options);
    world.log.close();
    return heard.operations;
}

TEST(OptionTableTest, EveryRowReachesTheConsoleTheWindowAndTheRun) {
    const std::vector<std::string> usage = usage_lines();
    std::set<ControlId> boxes;
    std::vector<std::string> in_order;
    for (const OptionRow& row : kOptionTable) {
        const std::string name(row.switch_name);
        SCOPED_TRACE(name);
        in_order.emplace_back(row.procedure);

        const ParsedCommandLine parsed = parse_command_line({"/" + name});
        ASSERT_TRUE(parsed.request) << parsed.error;
        for (const OptionRow& other : kOptionTable) {
            EXPECT_EQ(parsed.request->run.options.*other.chosen, &other == &row)
                << other.switch_name;
        }
        EXPECT_TRUE(std::ranges::any_of(usage, [&](const std::string& line) {
            return line.find("/" + name + " ") != std::string::npos;
        }));
        EXPECT_EQ(operations_run(parsed.request->run.options),
                  std::vector<std::string>{std::string(row.procedure)});

        FormWorld window;
        const ControlId box = window.form.box_of(row);
        EXPECT_TRUE(boxes.insert(box).second) << "a box of its own";
        EXPECT_EQ(window.form.control(box).value, row.first_choice ? 1 : 0);
        if (row.panel == Panel::Standard) {
            for (const OptionRow& other : kOptionTable) {
                if (other.panel == Panel::Standard) {
                    window.form.set_value(window.form.box_of(other), &other == &row ? 1 : 0);
                }
            }
            window.fake.answers = {platform::kIdNo};
            window.form.click(ControlId::Command1);
            ASSERT_EQ(window.fake.boxes.size(), 1u);
            EXPECT_EQ(window.fake.boxes[0].text, "Do you really want to delele: \r\n\r\n" +
                                                     std::string(row.confirmation) + "\r\n");
        } else {
            window.form.set_value(box, 1);
            EXPECT_EQ(window.form.control(ControlId::Command2).caption, kGo);
        }
    }

    CleaningOptions all;
    for (const OptionRow& row : kOptionTable) {
        all.*row.chosen = true;
    }
    EXPECT_EQ(operations_run(all), in_order) << "the runs' order is the table's";
    const CleaningOptions standard = parse_command_line({"/standard"}).request->run.options;
    for (const OptionRow& row : kOptionTable) {
        EXPECT_EQ(standard.*row.chosen, row.first_choice) << row.switch_name;
    }
}

// The world of the window with every folder an option may ask about, present or not.
struct QuestionWorld : World {
    QuestionWorld(bool folders_present) {
        fake.special_folders[platform::kCsidlLocalAppData] = "C:\\Users\\Ann\\AppData\\Local";
        state.ProgramPath = "C:\\A\\B\\C";
        state.AppDataPath = "D:\\Vesk\\Data";
        state.AuxDataPath = "D:\\Vesk\\Aux";
        form.Form_Load();
        form.click(ControlId::Command3);
        for (const OptionRow& row : kOptionTable) {
            form.set_value(form.box_of(row), 0);
            for (const std::string& folder :
                 row.asked ? row.asked(context).folders : std::vector<std::string>{}) {
                if (folders_present) {
                    fake.add_dir(folder);
                }
            }
        }
    }
    ScriptedDialogs dialogs;
    Form1 form{context, fake, dialogs};
};

// A row's box lies in its panel, among the panel's controls in tab order, and alone makes the
// panel's button read "Go!"; an advanced row's question names its folders, or says they are
// missing and asks nothing.
TEST(OptionTableTest, EveryRowsBoxTicksItsPanelAndAsksItsQuestion) {
    std::set<std::string> captions;
    for (const OptionRow& row : kOptionTable) {
        SCOPED_TRACE(std::string(row.switch_name));
        const bool standard = row.panel == Panel::Standard;
        const ControlId frame = standard ? ControlId::Frame1 : ControlId::Frame2;
        const ControlId action = standard ? ControlId::Command1 : ControlId::Command2;
        for (const bool present : {true, false}) {
            QuestionWorld world(present);
            Form1& form = world.form;
            const Control& box = form.control(form.box_of(row));
            EXPECT_EQ(box.kind, ControlKind::CheckBox);
            EXPECT_TRUE(!box.holder || box.holder == frame);
            EXPECT_GT(box.tab_index, form.control(frame).tab_index);
            EXPECT_LT(box.tab_index, form.control(action).tab_index);
            EXPECT_FALSE(box.caption.empty());
            captions.insert(box.caption);

            EXPECT_EQ(form.control(action).caption, kDone);
            form.click(box.id);
            EXPECT_EQ(form.control(action).caption, kGo);
            world.fake.answers = {platform::kIdNo};
            form.click(action);
            ASSERT_EQ(world.fake.boxes.size(), 1u);
            const fake::MessageBox& asked = world.fake.boxes[0];
            if (standard) {
                EXPECT_EQ(asked.text, "Do you really want to delele: \r\n\r\n" +
                                          std::string(row.confirmation) + "\r\n");
                continue;
            }
            ASSERT_TRUE(row.asked);
            const std::vector<std::string> folders = row.asked(world.context).folders;
            ASSERT_FALSE(folders.empty());
            for (const std::string& folder : folders) {
                EXPECT_NE(asked.text.find("\r\n" + folder), std::string::npos) << folder;
            }
            const std::string question(row.confirmation.substr(0, row.confirmation.find("{}")));
            const bool asks = asked.text.find(question) != std::string::npos;
            const bool missing = asked.text.find("does not exist") != std::string::npos;
            EXPECT_EQ(asked.style, asks ? platform::kMbQuestionYesNo : platform::kMbOk);
            EXPECT_NE(asks, missing) << asked.text;
            EXPECT_TRUE(asks || !present) << "a folder there to work on is asked about";
            if (asks) {
                form.click(box.id); // No kept the tick; the summary with OK only reset it
            }
            EXPECT_EQ(box.value, 0);
            EXPECT_EQ(form.control(action).caption, kDone);
        }
    }
    EXPECT_EQ(captions.size(), kOptionTable.size()) << "each box says what it does";
}

// Each row is a setting of the templates, named by its switch, in the table's order.
TEST(OptionTableTest, EveryRowIsASettingOfThePolicyTemplates) {
    const std::string admx = admx_text();
    const std::string adml = adml_text();
    std::size_t after = 0;
    for (const OptionRow& row : kOptionTable) {
        const std::string name(row.switch_name);
        SCOPED_TRACE(name);
        const std::size_t at = admx.find("valueName=\"" + name + "\"");
        ASSERT_NE(at, std::string::npos);
        EXPECT_GT(at, after);
        after = at;
        EXPECT_NE(adml.find(">Allow /" + name + ": " + std::string(row.meaning) + "<"),
                  std::string::npos);
    }
}

// The policy is one more column: the value named as a row's switch forbids that option alone,
// greying its box and refusing its switch, and /all comes to every other option.
TEST(OptionTableTest, EachRowsSwitchNamesThePolicyValueThatForbidsIt) {
    for (const OptionRow& row : kOptionTable) {
        const std::string name(row.switch_name);
        SCOPED_TRACE(name);
        World world;
        world.fake.set_value(platform::RegistryRoot::LocalMachine, kPolicyKey, name,
                             fake::reg_dword(0));
        ScriptedDialogs dialogs;
        Form1 form{world.context, world.fake, dialogs};
        form.Form_Load();
        const Policy policy = read_policy(world.fake, world.fake);
        const auto all = check_run(parse_command_line({"/all"}).request->run, policy, world.fake);
        ASSERT_TRUE(std::holds_alternative<AllowedRun>(all));
        for (const OptionRow& other : kOptionTable) {
            EXPECT_EQ(form.control(form.box_of(other)).enabled, &other != &row)
                << other.switch_name;
            EXPECT_EQ(std::get<AllowedRun>(all).request().options.*other.chosen, &other != &row)
                << other.switch_name;
        }
        const auto named =
            check_run(parse_command_line({"/" + name}).request->run, policy, world.fake);
        ASSERT_TRUE(std::holds_alternative<RunRefusal>(named));
        EXPECT_EQ(std::get<RunRefusal>(named).reason, RefusalReason::Policy);
    }
}

// Every kind is named wherever a target can be: a refusal, the preview, JSON; the kinds a
// cleaning backs up also by the backup's and the restore's lines.
TEST(KindWordsTest, EveryKindHasItsWordsInEveryPlace) {
    std::set<std::string_view> json_names;
    for (int kind = 0; kind <= static_cast<int>(TargetKind::FolderRights); ++kind) {
        const KindWords& words = words_of(static_cast<TargetKind>(kind));
        SCOPED_TRACE(std::string(words.json));
        EXPECT_TRUE(json_names.insert(words.json).second) << "one JSON name a kind";
        for (const std::string_view word :
             {words.refused, words.json, words.json_done, words.json_previewed, words.would,
              words.would_not, words.one, words.many}) {
            EXPECT_FALSE(word.empty());
        }
        const bool backed_up = kind == static_cast<int>(TargetKind::Key) ||
                               kind == static_cast<int>(TargetKind::SettingsFile);
        for (const std::string_view word :
             {words.not_backed_up, words.restored, words.not_restored}) {
            EXPECT_EQ(word.empty(), !backed_up);
        }
    }
}

} // namespace
