// Times the wizard's cleaning operations against the platform's own tools doing the same
// deletions on an identical copy, in the same run, in turns, and writes a Markdown table.
//
//   bench --scratch DIR --out FILE --wizard EXE --minimal EXE --case NAME:SIZE:ROUNDS ...
//
// NAME is temp, dirs, store, keys, lognames or startup. The scratch folder's path must hold no
// blanks: the platform's del mis-parses a quoted path with wildcards, so it gets them unquoted.
#include "log/cleaning_log.h"
#include "operations/context.h"
#include "operations/delete_action.h"
#include "operations/registry_settings.h"
#include "operations/temp_files.h"
#include "operations/virtual_store.h"
#include "platform/win32/file_system.h"
#include "platform/win32/handles.h"
#include "platform/win32/processes.h"
#include "platform/win32/registry.h"
#include "platform/win32/system.h"
#include "platform/win32/text.h"
#include "profiled_files.h"
#include "support.h"
#include "window/message_box_observer.h"

#include <cstdio>
#include <functional>
#include <map>
#include <psapi.h>
#include <sstream>
#include <windows.h>

namespace {

using bench::check;
using bench::numbered;
using bench::seconds_now;

constexpr const wchar_t* kSettingsKey = L"Software\\VB and VBA Program Settings";
constexpr const wchar_t* kWizardTitle = L" VESK Cleaning Wizard";
constexpr const wchar_t* kMinimalTitle = L"Minimal Window";

// Counts the boxes instead of showing them: a box nobody answers would stop the run.
class QuietUserInterface final : public platform::UserInterface {
public:
    int message_box(std::string_view text, int) override {
        boxes.emplace_back(text);
        return platform::kIdOk;
    }
    void set_pointer(int) override {}
    std::vector<std::string> boxes;
};

// The real Win32 platform as the program builds it, the user interface aside.
struct Wizard {
    win32::Registry registry;
    win32::FileSystem native_files;
    bench::ProfiledFileSystem files{native_files};
    QuietUserInterface ui;
    win32::System system;
    win32::Processes processes;
    platform::Platform os{registry, files, system, processes};
};

// Hears every item as a run's observer does: the window's counts and shows progress, and that
// work belongs in the time measured.
class CountingObserver final : public RunObserver {
public:
    explicit CountingObserver(platform::UserInterface& ui) : boxes_(ui) {}
    void item_handled(const ItemEvent& item) override {
        ++items;
        refused += item.outcome.outcome == Outcome::Refused ? 1 : 0;
    }
    void failure_trapped(const TrappedFailure& failure) override {
        boxes_.failure_trapped(failure);
    }
    std::size_t items = 0;
    std::size_t refused = 0;

private:
    MessageBoxObserver boxes_;
};

// One operation as a run performs it: a new log in log_folder, the operation, the log closed.
// The seconds from the operation's start to the log's close.
double run_ours(Wizard& wizard, const std::wstring& host, const std::wstring& log_folder,
                const std::function<void(Context&)>& operation) {
    SharedState state;
    state.VeskPath = win32::utf8(host);
    CleaningLog log;
    check(!log.open_new(wizard.files, win32::utf8(log_folder)).empty(), "no log name free");
    DeleteAction deletion;
    CountingObserver observer(wizard.ui);
    Context context{state, wizard.os, log, deletion, observer};
    wizard.files.reset();
    const double start = seconds_now();
    operation(context);
    log.close();
    const double elapsed = seconds_now() - start;
    check(observer.refused == 0, "our operation logged a refusal");
    check(wizard.ui.boxes.empty(), "our operation reported an error: " +
                                       (wizard.ui.boxes.empty() ? "" : wizard.ui.boxes.front()));
    return elapsed;
}

struct CaseResult {
    CaseResult(std::string name_, std::string size_, std::string ours_, std::string baseline_)
        : name(std::move(name_)), size(std::move(size_)), ours(std::move(ours_)),
          baseline(std::move(baseline_)) {}

    std::string name;
    std::string size;
    std::string ours;
    std::string baseline;
    std::vector<double> ours_seconds;
    std::vector<double> baseline_seconds;
    double target_ratio = 1.2; // ours / baseline at most
    std::string target;
    std::vector<std::string> notes;
};

void in_turn(int round, const std::function<void()>& ours, const std::function<void()>& theirs) {
    if (round % 2 == 0) {
        ours();
        theirs();
    } else {
        theirs();
        ours();
    }
}

void progress(const std::string& text) {
    static const double started = seconds_now();
    std::fprintf(stderr, "bench: %7.1f s  %s\n", seconds_now() - started, text.c_str());
    std::fflush(stderr);
}

struct Settings {
    std::wstring scratch;
    std::wstring self;
    std::wstring wizard;
    std::wstring minimal;
};

std::wstring round_folder(const Settings& settings, const std::wstring& name, int round) {
    return settings.scratch + L"\\" + name + std::to_wstring(round);
}

// ---- Temporary files ------------------------------------------------------------------------

const std::vector<std::string> kTempPatterns{"*.$*", "log*.txt", "*.tlb"};

// temp_count files that the patterns match among as many that they do not match, either by the
// long name or by the short one (so the platform's del, which matches both, deletes the same).
void make_temp_host(const std::wstring& folder, int temp_count) {
    bench::make_folder(folder);
    constexpr const wchar_t* kTempNames[] = {L"t%05d.$$$", L"log%05d.txt", L"t%05d.tlb"};
    constexpr const wchar_t* kOtherNames[] = {L"k%05d.dat", L"n%05d.txt"};
    for (int i = 0; i < temp_count; ++i) {
        bench::make_file(folder + L"\\" + numbered(kTempNames[i % 3], i));
        bench::make_file(folder + L"\\" + numbered(kOtherNames[i % 2], i));
    }
}

CaseResult temp_files_case(Wizard& wizard, const Settings& settings, int size, int rounds) {
    CaseResult result{"Temporary files", std::to_string(size) + " among " + std::to_string(size),
                      "`MM_DeleteTempFiles` × 3", "`cmd /c del /q /a` with the same patterns"};
    const std::wstring logs = settings.scratch + L"\\logs-temp";
    bench::make_folder(logs);
    for (int round = 0; round < rounds; ++round) {
        const std::wstring ours = round_folder(settings, L"temp-ours", round);
        const std::wstring theirs = round_folder(settings, L"temp-theirs", round);
        make_temp_host(ours, size);
        make_temp_host(theirs, size);
        progress("copies made");
        in_turn(
            round,
            [&] {
                result.ours_seconds.push_back(run_ours(wizard, ours, logs, [](Context& context) {
                    for (const std::string& pattern : kTempPatterns) {
                        MM_DeleteTempFiles(context, pattern);
                    }
                }));
                check(bench::count_tree(ours).files == static_cast<std::size_t>(size),
                      "ours left other than the other files");
            },
            [&] {
                std::wstring command = L"cmd /c del /q /a";
                for (const std::string& pattern : kTempPatterns) {
                    command += L" " + theirs + L"\\" + win32::wide(pattern);
                }
                result.baseline_seconds.push_back(bench::run_child(command).seconds);
                check(bench::count_tree(theirs).files == static_cast<std::size_t>(size),
                      "del left other than the other files");
            });
        progress("temp round " + std::to_string(round + 1) + " done");
    }
    result.notes.push_back("Our calls in the last round: " + wizard.files.summary() + ".");
    return result;
}

// ---- Project folders ------------------------------------------------------------------------

constexpr int kFilesPerProjectFolder = 100;

std::vector<std::wstring> make_project_folders(const std::wstring& host, int count) {
    bench::make_folder(host);
    std::vector<std::wstring> names;
    for (int i = 0; i < count; ++i) {
        names.push_back(numbered(L"p%03d.vk$", i));
        const std::wstring folder = host + L"\\" + names.back();
        bench::make_folder(folder);
        for (int file = 0; file < kFilesPerProjectFolder; ++file) {
            bench::make_file(folder + L"\\" + numbered(L"f%03d.dat", file));
        }
    }
    return names;
}

CaseResult project_folders_case(Wizard& wizard, const Settings& settings, int size, int rounds) {
    CaseResult result{"`.vk$` project folders",
                      std::to_string(size) + " folders × " +
                          std::to_string(kFilesPerProjectFolder) + " files",
                      "`MM_DeleteTempDirs`", "`cmd /c rd /s /q` per folder"};
    const std::wstring logs = settings.scratch + L"\\logs-dirs";
    bench::make_folder(logs);
    for (int round = 0; round < rounds; ++round) {
        const std::wstring ours = round_folder(settings, L"dirs-ours", round);
        const std::wstring theirs = round_folder(settings, L"dirs-theirs", round);
        make_project_folders(ours, size);
        const std::vector<std::wstring> names = make_project_folders(theirs, size);
        in_turn(
            round,
            [&] {
                result.ours_seconds.push_back(run_ours(wizard, ours, logs, MM_DeleteTempDirs));
                const bench::TreeCount left = bench::count_tree(ours);
                check(left.files == 0 && left.folders == 0, "ours left project folders");
            },
            [&] {
                double total = 0;
                for (const std::wstring& name : names) {
                    total += bench::run_child(L"cmd /c rd /s /q " + theirs + L"\\" + name).seconds;
                }
                result.baseline_seconds.push_back(total);
                const bench::TreeCount left = bench::count_tree(theirs);
                check(left.files == 0 && left.folders == 0, "rd left project folders");
            });
        progress("dirs round " + std::to_string(round + 1) + " done");
    }
    result.notes.push_back("Our calls in the last round: " + wizard.files.summary() + ".");
    return result;
}

// ---- Virtual store --------------------------------------------------------------------------

constexpr int kStoreDepth = 8;
constexpr int kFilesPerStoreFolder = 10;

// folders folders, kStoreDepth levels deep (binary trees under as many top folders as that
// takes), with files files spread evenly over them.
void make_store(const std::wstring& root, int files) {
    const int folders = files / kFilesPerStoreFolder;
    const int per_tree = (1 << kStoreDepth) - 1;
    const int tops = (folders + per_tree - 1) / per_tree;
    bench::make_folder(root);
    std::vector<std::wstring> made;
    for (int top = 0; top < tops && static_cast<int>(made.size()) < folders; ++top) {
        made.push_back(root + L"\\" + numbered(L"d%d", top));
    }
    // Breadth first: each folder's two children follow once its whole level is listed.
    for (std::size_t parent = 0; static_cast<int>(made.size()) < folders; ++parent) {
        for (int child = 0; child < 2 && static_cast<int>(made.size()) < folders; ++child) {
            made.push_back(made[parent] + L"\\" + numbered(L"d%d", child));
        }
    }
    for (std::size_t index = 0; index < made.size(); ++index) {
        bench::make_folder(made[index]);
        const int count = files / folders + (static_cast<int>(index) < files % folders ? 1 : 0);
        for (int file = 0; file < count; ++file) {
            bench::make_file(made[index] + L"\\" + numbered(L"f%02d.dat", file));
        }
    }
}

struct StoreRun {
    double seconds = 0;
    double working_set_before_mb = 0;
    double peak_working_set_mb = 0;
    double private_before_mb = 0;
    double peak_private_mb = 0;
    std::string profile; // where the time went
};

PROCESS_MEMORY_COUNTERS memory_now() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

double megabytes(SIZE_T bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

// The child's side of the store case: cleans the store in a process of its own, so that its
// peak memory is that of the cleaning alone, and writes what it measured to out.
int clean_store_child(const std::wstring& store, const std::wstring& logs,
                      const std::wstring& out) {
    Wizard wizard;
    const PROCESS_MEMORY_COUNTERS before = memory_now();
    StoreRun run;
    run.seconds = run_ours(wizard, store, logs, [&store](Context& context) {
        MM_CleanVirtualStore(context, win32::utf8(store));
    });
    const PROCESS_MEMORY_COUNTERS after = memory_now();
    run.working_set_before_mb = megabytes(before.WorkingSetSize);
    run.peak_working_set_mb = megabytes(after.PeakWorkingSetSize);
    run.private_before_mb = megabytes(before.PagefileUsage);
    run.peak_private_mb = megabytes(after.PeakPagefileUsage);
    FILE* file = _wfopen(out.c_str(), L"w");
    check(file != nullptr, "cannot write the store child's result");
    std::fprintf(file, "%.6f %.3f %.3f %.3f %.3f\n%s\n", run.seconds, run.working_set_before_mb,
                 run.peak_working_set_mb, run.private_before_mb, run.peak_private_mb,
                 wizard.files.summary().c_str());
    std::fclose(file);
    return 0;
}

StoreRun run_store_child(const Settings& settings, const std::wstring& store,
                         const std::wstring& logs) {
    const std::wstring out = settings.scratch + L"\\store-child.txt";
    const bench::ChildRun child = bench::run_child(L"\"" + settings.self + L"\" --clean-store " +
                                                   store + L" " + logs + L" " + out);
    check(child.exit_code == 0, "the store child failed");
    FILE* file = _wfopen(out.c_str(), L"r");
    check(file != nullptr, "no result from the store child");
    StoreRun run;
    const int read =
        std::fscanf(file, "%lf %lf %lf %lf %lf", &run.seconds, &run.working_set_before_mb,
                    &run.peak_working_set_mb, &run.private_before_mb, &run.peak_private_mb);
    char profile[1024] = "";
    std::fgetc(file);
    if (std::fgets(profile, sizeof profile, file) != nullptr) {
        run.profile = profile;
        run.profile.erase(run.profile.find_last_not_of("\r\n") + 1);
    }
    std::fclose(file);
    check(read == 5, "unreadable result from the store child");
    return run;
}

std::string fixed(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

CaseResult store_case(const Settings& settings, int size, int rounds) {
    const int folders = size / kFilesPerStoreFolder;
    CaseResult result{"Virtual store",
                      std::to_string(size) + " files in " + std::to_string(folders) + " folders, " +
                          std::to_string(kStoreDepth) + " levels",
                      "`MM_CleanVirtualStore`", "`cmd /c del /s /q /a` on the tree"};
    const std::wstring logs = settings.scratch + L"\\logs-store";
    bench::make_folder(logs);
    std::vector<double> peak_working_set;
    std::vector<double> working_set_before;
    std::vector<double> private_before;
    std::vector<double> peak_private;
    std::string profile;
    for (int round = 0; round < rounds; ++round) {
        const std::wstring ours = round_folder(settings, L"store-ours", round);
        const std::wstring theirs = round_folder(settings, L"store-theirs", round);
        make_store(ours, size);
        make_store(theirs, size);
        progress("copies made");
        in_turn(
            round,
            [&] {
                const StoreRun run = run_store_child(settings, ours, logs);
                result.ours_seconds.push_back(run.seconds);
                working_set_before.push_back(run.working_set_before_mb);
                peak_working_set.push_back(run.peak_working_set_mb);
                private_before.push_back(run.private_before_mb);
                peak_private.push_back(run.peak_private_mb);
                profile = run.profile;
                const bench::TreeCount left = bench::count_tree(ours);
                check(left.files == 0 && left.folders == static_cast<std::size_t>(folders),
                      "ours did not empty the store");
            },
            [&] {
                result.baseline_seconds.push_back(
                    bench::run_child(L"cmd /c del /s /q /a " + theirs + L"\\*").seconds);
                const bench::TreeCount left = bench::count_tree(theirs);
                check(left.files == 0 && left.folders == static_cast<std::size_t>(folders),
                      "del did not empty the store");
            });
        progress("store round " + std::to_string(round + 1) + " done");
    }
    result.notes.push_back(
        "Peak memory of the cleaning process (a child process per round that does nothing but "
        "open the log and call `MM_CleanVirtualStore`; medians): working set " +
        fixed(bench::median(working_set_before), 1) + " MB before the case, peak " +
        fixed(bench::median(peak_working_set), 1) + " MB (growth " +
        fixed(bench::median(peak_working_set) - bench::median(working_set_before), 1) +
        " MB); private bytes (`PagefileUsage`) " + fixed(bench::median(private_before), 1) +
        " MB before, `PeakPagefileUsage` " + fixed(bench::median(peak_private), 1) + " MB after.");
    result.notes.push_back("Our calls in the last round: " + profile + ".");
    return result;
}

// ---- Program-settings keys ------------------------------------------------------------------

std::wstring versioned_key_name(int index) {
    wchar_t buffer[64];
    std::swprintf(buffer, 64, L"VESK 4.%d %04d", index % 10, index);
    return buffer;
}

void set_value(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    check(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS,
          "cannot write a scratch value");
}

void set_text(HKEY key, const wchar_t* name, const std::wstring& text) {
    set_value(key, name, REG_SZ, text.c_str(),
              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

win32::UniqueKey create_key(const std::wstring& path) {
    HKEY key = nullptr;
    check(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &key, nullptr) == ERROR_SUCCESS,
          "cannot create a scratch key");
    return win32::UniqueKey(key);
}

// count versioned keys with values and a subkey of values, as a host leaves its settings, and
// two keys of other programs that must stay.
void make_settings_keys(int count) {
    const std::wstring branch = kSettingsKey;
    create_key(branch + L"\\Other Program");
    create_key(branch + L"\\VESK 3.9 Kept");
    const DWORD number = 42;
    const std::vector<BYTE> layout(64, 0x5A);
    for (int index = 0; index < count; ++index) {
        const std::wstring path = branch + L"\\" + versioned_key_name(index);
        const auto key = create_key(path);
        set_text(key.get(), L"Recent", L"Z:\\projects\\bridge " + std::to_wstring(index));
        set_text(key.get(), L"Units", L"metric");
        set_value(key.get(), L"Left", REG_DWORD, &number, sizeof number);
        set_value(key.get(), L"Layout", REG_BINARY, layout.data(),
                  static_cast<DWORD>(layout.size()));
        const auto toolbar = create_key(path + L"\\Toolbar");
        set_text(toolbar.get(), L"Buttons", L"open;save;print;clean");
        set_value(toolbar.get(), L"Docked", REG_DWORD, &number, sizeof number);
    }
}

std::size_t settings_key_count() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return 0;
    }
    const win32::UniqueKey branch(key);
    DWORD subkeys = 0;
    RegQueryInfoKeyW(branch.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr, nullptr);
    return subkeys;
}

CaseResult keys_case(Wizard& wizard, const Settings& settings, int size, int rounds) {
    CaseResult result{"Program-settings keys",
                      std::to_string(size) + " keys, 4 values and a subkey each",
                      "`MM_EnumVESKKeys` + `MM_DeleteVESKKeys`", "`reg delete /f` per key"};
    const std::wstring logs = settings.scratch + L"\\logs-keys";
    bench::make_folder(logs);
    for (int round = 0; round < rounds; ++round) {
        // Both copies cannot stand side by side: the search takes every versioned key.
        in_turn(
            round,
            [&] {
                make_settings_keys(size);
                result.ours_seconds.push_back(
                    run_ours(wizard, settings.scratch, logs, [](Context& context) {
                        MM_EnumVESKKeys(context);
                        MM_DeleteVESKKeys(context);
                    }));
                check(settings_key_count() == 2, "ours left versioned keys");
            },
            [&] {
                make_settings_keys(size);
                double total = 0;
                for (int index = 0; index < size; ++index) {
                    const bench::ChildRun run =
                        bench::run_child(L"reg delete \"HKCU\\" + std::wstring(kSettingsKey) +
                                         L"\\" + versioned_key_name(index) + L"\" /f");
                    check(run.exit_code == 0, "reg delete failed");
                    total += run.seconds;
                }
                result.baseline_seconds.push_back(total);
                check(settings_key_count() == 2, "reg left versioned keys");
            });
        progress("keys round " + std::to_string(round + 1) + " done");
    }
    return result;
}

// ---- Log naming -----------------------------------------------------------------------------

// The naive way: one exact look-up per number until one finds nothing.
std::string naive_log_name(const std::wstring& folder) {
    for (int number = 1; number <= kLastLogNumber; ++number) {
        const std::wstring name = L"Cleaning" + std::to_wstring(number) + L".log";
        WIN32_FIND_DATAW data{};
        if (!win32::adopt_find(FindFirstFileW((folder + L"\\" + name).c_str(), &data))) {
            return win32::utf8(name);
        }
    }
    return {};
}

CaseResult log_names_case(Wizard& wizard, const Settings& settings, int size, int rounds) {
    CaseResult result{"Log naming", std::to_string(size) + " logs present", "`ChooseLogFileName`",
                      "one `FindFirstFileW` per number"};
    result.target_ratio = 1.0 / 20;
    result.target = "≤ 0.05 (20 × faster)";
    const std::wstring folder = settings.scratch + L"\\lognames";
    bench::make_folder(folder);
    for (int number = 1; number <= size; ++number) {
        bench::make_file(folder + L"\\Cleaning" + std::to_wstring(number) + L".log");
    }
    const std::string expected = "Cleaning" + std::to_string(size + 1) + ".log";
    const std::string host = win32::utf8(folder);
    for (int round = 0; round < rounds; ++round) {
        in_turn(
            round,
            [&] {
                const double start = seconds_now();
                const std::string name = ChooseLogFileName(wizard.files, host);
                result.ours_seconds.push_back(seconds_now() - start);
                check(name == expected, "ours chose " + name);
            },
            [&] {
                const double start = seconds_now();
                const std::string name = naive_log_name(folder);
                result.baseline_seconds.push_back(seconds_now() - start);
                check(name == expected, "the naive way chose " + name);
            });
    }
    progress("log naming done");
    return result;
}

// ---- Start-up -------------------------------------------------------------------------------

// Starts exe and waits for a visible top-level window of that title: the seconds from the
// start until then. Closes the window and waits for the program's end.
double time_to_window(const std::wstring& exe, const wchar_t* title) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring command_line = L"\"" + exe + L"\"";
    const double start = seconds_now();
    check(CreateProcessW(exe.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                         nullptr, &startup, &process) != 0,
          "cannot start a window program");
    const win32::UniqueHandle process_handle(process.hProcess);
    const win32::UniqueHandle thread_handle(process.hThread);
    HWND window = nullptr;
    double elapsed = 0;
    while (true) {
        window = FindWindowW(nullptr, title);
        elapsed = seconds_now() - start;
        if (window != nullptr && IsWindowVisible(window)) {
            break;
        }
        if (elapsed > 60 || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) {
            TerminateProcess(process.hProcess, 1);
            check(false, "no window appeared for " + win32::utf8(exe));
        }
        Sleep(1);
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        check(false, "the window program did not end on WM_CLOSE");
    }
    return elapsed;
}

void set_host_key(const std::wstring& folder) {
    HKEY key = nullptr;
    check(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\TOLM\\VESK 4.0", 0, nullptr, 0,
                          KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key,
                          nullptr) == ERROR_SUCCESS,
          "cannot write the host key");
    const win32::UniqueKey host_key(key);
    set_text(host_key.get(), L"AppData Path", folder);
}

CaseResult startup_case(const Settings& settings, int rounds) {
    CaseResult result{"Start-up to the shown window", "host key set, empty host folder",
                      "`VeskCleaningWizard.exe`", "minimal Win32 window program"};
    result.target_ratio = 1.5;
    result.target = "≤ 1.5";
    const std::wstring host = settings.scratch + L"\\startup-host";
    bench::make_folder(host);
    set_host_key(host);
    // The first window of a prefix also starts its desktop process; neither side pays for it.
    time_to_window(settings.minimal, kMinimalTitle);
    time_to_window(settings.wizard, kWizardTitle);
    for (int round = 0; round < rounds; ++round) {
        in_turn(
            round,
            [&] { result.ours_seconds.push_back(time_to_window(settings.wizard, kWizardTitle)); },
            [&] {
                result.baseline_seconds.push_back(time_to_window(settings.minimal, kMinimalTitle));
            });
    }
    progress("start-up done");
    return result;
}

// ---- The table ------------------------------------------------------------------------------

std::string seconds_text(double seconds) {
    return seconds < 0.1 ? fixed(seconds * 1000, 2) + " ms" : fixed(seconds, 3) + " s";
}

std::string table(const std::vector<CaseResult>& results) {
    std::ostringstream out;
    out << "| case | size | rounds | ours | median | baseline | median | ours / baseline | "
           "target | met |\n"
        << "|---|---|---|---|---|---|---|---|---|---|\n";
    for (const CaseResult& result : results) {
        const double ours = bench::median(result.ours_seconds);
        const double theirs = bench::median(result.baseline_seconds);
        const double ratio = ours / theirs;
        out << "| " << result.name << " | " << result.size << " | " << result.ours_seconds.size()
            << " | " << result.ours << " | " << seconds_text(ours) << " | " << result.baseline
            << " | " << seconds_text(theirs) << " | " << fixed(ratio, ratio < 0.1 ? 4 : 3) << " | "
            << (result.target.empty() ? "≤ 1.2" : result.target) << " | "
            << (ratio <= result.target_ratio ? "yes" : "**no**") << " |\n";
    }
    out << "\nAll samples in seconds (ours; baseline), in the order run:\n\n";
    for (const CaseResult& result : results) {
        out << "- " << result.name << " (" << result.size << "): ";
        for (const double sample : result.ours_seconds) {
            out << fixed(sample, 4) << " ";
        }
        out << "; ";
        for (const double sample : result.baseline_seconds) {
            out << fixed(sample, 4) << " ";
        }
        out << "\n";
        for (const std::string& note : result.notes) {
            out << "  " << note << "\n";
        }
    }
    return out.str();
}

struct CaseRequest {
    std::string name;
    int size = 0;
    int rounds = 0;
};

CaseRequest parse_case(const std::string& text) {
    CaseRequest request;
    std::istringstream in(text);
    std::string size;
    std::string rounds;
    std::getline(in, request.name, ':');
    std::getline(in, size, ':');
    std::getline(in, rounds, ':');
    request.size = std::stoi(size);
    request.rounds = std::stoi(rounds);
    check(request.rounds > 0, "a case needs a round");
    return request;
}

CaseResult run_case(Wizard& wizard, const Settings& settings, const CaseRequest& request) {
    progress("case " + request.name + " size " + std::to_string(request.size) + " rounds " +
             std::to_string(request.rounds));
    if (request.name == "temp") {
        return temp_files_case(wizard, settings, request.size, request.rounds);
    }
    if (request.name == "dirs") {
        return project_folders_case(wizard, settings, request.size, request.rounds);
    }
    if (request.name == "store") {
        return store_case(settings, request.size, request.rounds);
    }
    if (request.name == "keys") {
        return keys_case(wizard, settings, request.size, request.rounds);
    }
    if (request.name == "lognames") {
        return log_names_case(wizard, settings, request.size, request.rounds);
    }
    check(request.name == "startup", "unknown case " + request.name);
    return startup_case(settings, request.rounds);
}

int run(int argc, wchar_t** argv) {
    if (argc == 5 && std::wstring(argv[1]) == L"--clean-store") {
        return clean_store_child(argv[2], argv[3], argv[4]);
    }
    Settings settings;
    settings.self = argv[0];
    std::wstring out;
    std::vector<CaseRequest> requests;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::wstring option = argv[i];
        const std::wstring value = argv[i + 1];
        if (option == L"--scratch") {
            settings.scratch = value;
        } else if (option == L"--out") {
            out = value;
        } else if (option == L"--wizard") {
            settings.wizard = value;
        } else if (option == L"--minimal") {
            settings.minimal = value;
        } else if (option == L"--case") {
            requests.push_back(parse_case(win32::utf8(value)));
        } else {
            check(false, "unknown option " + win32::utf8(option));
        }
    }
    check(!settings.scratch.empty() && !out.empty(), "--scratch and --out are needed");
    check(settings.scratch.find(L' ') == std::wstring::npos, "the scratch path holds a blank");
    bench::make_folder(settings.scratch);
    Wizard wizard;
    // The first child of a run loads the platform's programs from disk; no case pays for that.
    bench::run_child(L"cmd /c exit");
    bench::run_child(L"reg query HKCU\\Software");
    std::vector<CaseResult> results;
    for (const CaseRequest& request : requests) {
        results.push_back(run_case(wizard, settings, request));
    }
    FILE* file = _wfopen(out.c_str(), L"wb");
    check(file != nullptr, "cannot write the results");
    const std::string text = table(results);
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "bench: failed: %s\n", failure.what());
        return 1;
    }
}
