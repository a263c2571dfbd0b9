// The wizard window as a model: its controls' state and stored layout, and its event handlers.
// The Win32 layer renders it with native controls and forwards the user's actions to it; the
// unit tests drive it directly.
#pragma once

#include "engine/cleaning_run.h"
#include "engine/policy.h"
#include "engine/session.h"
#include "operations/context.h"
#include "window/dialogs.h"
#include "window/preview_list.h"
#include "window/run_executor.h"
#include "window/stored_layout.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct Control {
    ControlId id;
    std::string_view name; // as the program names it: "Check1"
    int index;             // member of a control array, or -1
    ControlKind kind;
    std::optional<ControlId> holder; // the frame that holds it, or the window itself
    int left, top, width, height;    // twips, from the holder's top-left corner
    int tab_index;
    int z_order;      // front to back among the children of a holder, the lower the nearer
    bool red = false; // the two notes are drawn in red
    std::string caption;
    int value = 0; // check boxes: 0 unticked, 1 ticked
    bool visible = true;
    bool enabled = true; // false for the box of an option the organisation forbids
};

inline constexpr std::string_view kDone = "Done";
inline constexpr std::string_view kGo = "Go!";
inline constexpr std::string_view kShowAdvanced = "Advanced Options";
inline constexpr std::string_view kHideAdvanced = "Hide Advanced Options";

// What the closing message says of a run that changes things.
struct ClosingWords {
    std::string_view finished;     // followed by the log's path
    std::string_view no_log;       // followed by the host folder
    std::string_view nothing_done; // after that
    std::string_view some_left;    // when an item was refused
};
inline constexpr ClosingWords kCleaningClosing = {
    "Cleaning finished. Log file has been written to:", kNoLogIn, kNothingCleaned,
    "Some items could not be cleaned; the log lists them."};
inline constexpr ClosingWords kRestoreClosing = {
    "Restore finished. Log file has been written to:", "No log could be created in:",
    "Nothing was restored.", "Some items could not be restored; the log lists them."};

class Form1 {
public:
    // The runs are worked inline, on the caller's thread. The boxes and the pointer go to ui,
    // which only the window's thread calls; the runs are handed the context, which has none.
    // The preview and the undo ask the user through dialogs.
    Form1(Context context, platform::UserInterface& ui, WindowDialogs& dialogs);
    // The runs go to executor.
    Form1(Context context, platform::UserInterface& ui, WindowDialogs& dialogs,
          RunExecutor& executor);
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // ---- Events from the window system. A failure that nothing else traps is reported here
    // and ends the program.
    void Form_Load();
    // A user's click: a check box changes its tick, a button runs its handler.
    void click(ControlId id);
    // Closing by the close box, the system menu, log-off or shutdown. During a run it stops the
    // run at its next item boundary, and the program ends once the run has.
    void close();

    // ---- State, for the view and the tests.
    const Control& control(ControlId id) const { return controls_[static_cast<std::size_t>(id)]; }
    // Indexed by id: the window's own controls, then the options' boxes.
    const std::vector<Control>& controls() const { return controls_; }
    bool ended() const { return ended_; }
    // A confirmed run is being worked (its executor has not returned yet).
    bool running() const { return running_; }
    int mouse_pointer() const { return mouse_pointer_; }
    // The button Enter presses when no other button has the focus: the action of the panel in
    // view, "Go!" or "Done".
    ControlId action_button() const {
        return control(ControlId::Frame2).visible ? ControlId::Command2 : ControlId::Command1;
    }

    // Setting a check box from code: raises its click handler when the tick changes, through
    // the same path as a user's click.
    void set_value(ControlId id, int value);

    // The check box of an option's row.
    static ControlId box_of(const OptionRow& row);
    // A control by the name the program gives it: Check4, or Check1 with its index 2.
    static ControlId named(std::string_view name, int index = -1);
    static ControlId Check1(int index) { return named("Check1", index); }
    static ControlId Check2(int index) { return named("Check2", index); }

private:
    Control& mutable_control(ControlId id) { return controls_[static_cast<std::size_t>(id)]; }
    bool ticked(ControlId id) const { return control(id).value == 1; }
    bool any_ticked_in(Panel panel) const;
    void set_caption(ControlId id, std::string_view caption);
    void set_mouse_pointer(int shape);
    void raise_click(ControlId id);
    template <class Body> void dispatch(std::string_view handler, Body&& body);
    void end_after_failure(std::string_view where, std::string_view description);
    void end_program();

    void InitWindow();
    // The organisation's policy, as the window shows it: a forbidden option's box greyed and
    // unticked, its panel's note shown.
    void apply_policy();
    // The engine's answer to a cleaning with the options: the run it allows, or nullopt once the
    // user has been told why not (under PreviewOnly, why nothing can be cleaned).
    std::optional<AllowedRun> allowed_cleaning(const CleaningOptions& options,
                                               std::shared_ptr<Plan> plan = nullptr);
    void Check1_Click(int index);
    void UpdateCommand1Caption();
    void UpdateCommand2Caption();
    void Command3_Click();
    void Form_QueryUnload();
    // The panel in view and its frame.
    Panel shown_panel() const;
    ControlId frame_of(Panel panel) const {
        return panel == Panel::Standard ? ControlId::Frame1 : ControlId::Frame2;
    }
    // After a panel's run: its boxes unticked, its action button "Done".
    void after_standard_run();
    void after_advanced_run();

    // The preview of the panel in view, and the cleaning of what the user left ticked in it.
    void Command4_Click();
    // The preview's items, or nullopt once the user has been told why there are none to show.
    std::optional<std::vector<FoundItem>> previewed_items(const CleaningOptions& options,
                                                          const std::shared_ptr<Plan>& made);
    std::vector<PreviewRow> rows_of(const std::vector<FoundItem>& found, const Plan& made);
    // The user's keep list, with the items named added: false once the user has been told it
    // could not be written.
    bool keep_always(const std::vector<std::string>& names);
    void edit_keep_list();
    void clean_as_previewed(Panel panel, const CleaningOptions& options, Plan plan);
    // The panel's usual question: true for a Yes.
    bool confirmed(Panel panel);

    // The undo: the user's cleanings with a backup, and the restore of the one chosen.
    void Command5_Click();
    // The engine's answer to a restore of the cleaning: the run it allows, or nullopt once the
    // user has been told why not.
    std::optional<AllowedRun> allowed_restore(int number);

    // The standard run.
    void Command1_Click();
    std::string ConfirmStandardRun() const;
    CleaningOptions standard_options() const;

    // The advanced panel and its run.
    void Check2_Click(int index);
    void Check3_Click();
    void Check4_Click();
    void Check5_Click();
    void follow_folder_box(ControlId box, ControlId other);
    void Command2_Click();
    // Asks about the folders of each ticked option of the panel, from its row.
    void ConfirmAdvancedRun(bool& confirmable, std::string& message);
    CleaningOptions advanced_options() const;
    // Both panels' boxes, in tab order, each through its click handler.
    void untick_every_box();
    // The options whose boxes in the panel are ticked.
    CleaningOptions options_ticked_in(Panel panel) const;

    // Shared by both runs once confirmed: the hourglass, the engine's run with its progress in
    // the caption of panel, then the closing message naming the log (or saying none could be
    // made) and the log closed. False when the program has ended: after an uncovered failure,
    // or after the user closed the window during the run (then without the closing message if
    // the run was stopped); handler names a failure that claimed no procedure.
    bool clean_and_tell(const AllowedRun& run, std::string_view handler, ControlId panel);
    // The same for any run the engine allowed, its outcome told in words.
    bool work_and_tell(const AllowedRun& run, std::string_view handler, ControlId panel,
                       const ClosingWords& words);
    // The executor's run, with its progress shown in the caption of panel, which gets its
    // stored caption back however the run ends.
    RunReport run_showing_progress(const AllowedRun& run, ControlId panel);
    // The lock that keeps a second cleaning (window or console) from running meanwhile; null,
    // and the user told, while another cleaning holds it.
    std::unique_ptr<CleaningSession> claim_cleaning();
    // The closing message; for a restore whose backup could not be used, why nothing changed.
    void tell_outcome(const RunReport& report, const ClosingWords& words);

    Context context_;
    platform::UserInterface& ui_;
    WindowDialogs& dialogs_;
    InlineExecutor inline_executor_;
    RunExecutor* executor_ = &inline_executor_;
    std::vector<Control> controls_;
    Policy policy_;
    bool ended_ = false;
    bool running_ = false;
    bool close_requested_ = false;
    int mouse_pointer_ = platform::kPointerDefault;
};
