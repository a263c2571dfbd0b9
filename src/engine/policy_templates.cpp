#include "engine/policy_templates.h"

#include "engine/marker.h"
#include "engine/policy.h"

namespace {

constexpr std::string_view kNamespace =
    "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions";
constexpr std::string_view kSupported = "SUPPORTED_VeskCleaningWizard_1_02";

// Text for an XML element's content or a quoted attribute.
std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// A template's lines, each ended by CR LF.
class Lines {
public:
    Lines& operator<<(std::string_view line) {
        text_.append(line).append("\r\n");
        return *this;
    }
    std::string text() const { return text_; }

private:
    std::string text_;
};

// The policy of an option: its name in the templates and its strings' ids.
std::string policy_name(const OptionRow& row) {
    return "Option_" + std::string(row.switch_name);
}

std::string key_text() {
    return escaped(kPolicyKey);
}

void on_off_policy(Lines& lines, const std::string& name, std::string_view value) {
    lines << "    <policy name=\"" + name + "\" class=\"Both\" displayName=\"$(string." + name +
                 ")\" explainText=\"$(string." + name + "_Help)\" key=\"" + key_text() +
                 "\" valueName=\"" + std::string(value) + "\">"
          << "      <parentCategory ref=\"VeskCleaningWizard\" />"
          << "      <supportedOn ref=\"" + std::string(kSupported) + "\" />"
          << "      <enabledValue>"
          << "        <decimal value=\"1\" />"
          << "      </enabledValue>"
          << "      <disabledValue>"
          << "        <decimal value=\"0\" />"
          << "      </disabledValue>"
          << "    </policy>";
}

// A string of the table; its line breaks become the file's own.
void string_entry(Lines& lines, const std::string& id, std::string_view text) {
    std::string content;
    for (const char c : escaped(text)) {
        content += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    lines << "      <string id=\"" + id + "\">" + content + "</string>";
}

std::string option_help(const OptionRow& row) {
    const std::string name(row.switch_name);
    return "Enabled or not configured: users may choose /" + name + " (" +
           std::string(row.meaning) +
           ") in the window and in VeskClean.\n\nDisabled: the window greys the option's box "
           "and says it is set by your organisation; VeskClean refuses /" +
           name + " with exit code 9, and /all and /standard leave it out.\n\nValue " + name +
           " (REG_DWORD, 0 forbids the option) in " + std::string(kPolicyKey) +
           ". A computer's setting wins over a user's.";
}

} // namespace

std::string admx_text() {
    Lines lines;
    lines << "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
          << "<!-- VESK Cleaning Wizard " + std::string(kVersion) +
                 ": written from the program's option table. -->"
          << "<policyDefinitions revision=\"1.0\" schemaVersion=\"1.0\" xmlns=\"" +
                 std::string(kNamespace) + "\">"
          << "  <policyNamespaces>"
          << "    <target prefix=\"veskcleaningwizard\" "
             "namespace=\"TOLM.Policies.VeskCleaningWizard\" />"
          << "  </policyNamespaces>"
          << "  <resources minRequiredRevision=\"1.0\" />"
          << "  <supportedOn>"
          << "    <definitions>"
          << "      <definition name=\"" + std::string(kSupported) + "\" displayName=\"$(string." +
                 std::string(kSupported) + ")\" />"
          << "    </definitions>"
          << "  </supportedOn>"
          << "  <categories>"
          << "    <category name=\"TOLM\" displayName=\"$(string.TOLM)\" />"
          << "    <category name=\"VeskCleaningWizard\" "
             "displayName=\"$(string.VeskCleaningWizard)\">"
          << "      <parentCategory ref=\"TOLM\" />"
          << "    </category>"
          << "  </categories>"
          << "  <policies>";
    for (const OptionRow& row : kOptionTable) {
        on_off_policy(lines, policy_name(row), row.switch_name);
    }
    on_off_policy(lines, std::string(kPreviewOnlyValue), kPreviewOnlyValue);
    const std::string folder(kBackupFolderValue);
    lines << "    <policy name=\"" + folder + "\" class=\"Both\" displayName=\"$(string." + folder +
                 ")\" explainText=\"$(string." + folder +
                 "_Help)\" presentation=\"$(presentation." + folder + ")\" key=\"" + key_text() +
                 "\">"
          << "      <parentCategory ref=\"VeskCleaningWizard\" />"
          << "      <supportedOn ref=\"" + std::string(kSupported) + "\" />"
          << "      <elements>"
          << "        <text id=\"" + folder + "\" valueName=\"" + folder +
                 "\" required=\"true\" expandable=\"true\" />"
          << "      </elements>"
          << "    </policy>";
    const std::string keep(kKeepValue);
    lines << "    <policy name=\"" + keep + "\" class=\"Both\" displayName=\"$(string." + keep +
                 ")\" explainText=\"$(string." + keep + "_Help)\" presentation=\"$(presentation." +
                 keep + ")\" key=\"" + key_text() + "\">"
          << "      <parentCategory ref=\"VeskCleaningWizard\" />"
          << "      <supportedOn ref=\"" + std::string(kSupported) + "\" />"
          << "      <elements>"
          << "        <multiText id=\"" + keep + "\" valueName=\"" + keep + "\" />"
          << "      </elements>"
          << "    </policy>"
          << "  </policies>"
          << "</policyDefinitions>";
    return lines.text();
}

std::string adml_text() {
    Lines lines;
    lines << "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
          << "<!-- VESK Cleaning Wizard " + std::string(kVersion) +
                 ": written from the program's option table. -->"
          << "<policyDefinitionResources revision=\"1.0\" schemaVersion=\"1.0\" xmlns=\"" +
                 std::string(kNamespace) + "\">"
          << "  <displayName>VESK Cleaning Wizard</displayName>"
          << "  <description>What VESK Cleaning Wizard may do on a computer, and where it keeps "
             "its backups.</description>"
          << "  <resources>"
          << "    <stringTable>";
    string_entry(lines, "TOLM", "TOLM");
    string_entry(lines, "VeskCleaningWizard", "VESK Cleaning Wizard");
    string_entry(lines, std::string(kSupported),
                 "VESK Cleaning Wizard " + std::string(kVersion) + " and later");
    for (const OptionRow& row : kOptionTable) {
        string_entry(lines, policy_name(row),
                     "Allow /" + std::string(row.switch_name) + ": " + std::string(row.meaning));
        string_entry(lines, policy_name(row) + "_Help", option_help(row));
    }
    const std::string preview(kPreviewOnlyValue);
    string_entry(lines, preview, "Allow previews only");
    string_entry(lines, preview + "_Help",
                 "Enabled: nothing may be cleaned or restored. The window's action buttons say "
                 "why instead of starting a run; VeskClean refuses a cleaning or a restore with "
                 "exit code 9, and VeskClean /preview, /detect and /policy still work.\n\n"
                 "Disabled or not configured: cleaning is allowed.\n\nValue PreviewOnly "
                 "(REG_DWORD, 1 for previews only) in " +
                     std::string(kPolicyKey) + ". A computer's setting wins over a user's.");
    const std::string folder(kBackupFolderValue);
    string_entry(lines, folder, "Keep the backups in a folder of the organisation");
    string_entry(lines, folder + "_Help",
                 "Enabled: before a cleaning deletes program-settings keys or settings files, it "
                 "backs them up into <folder>\\<computer>\\<user>\\Cleaning<N>.backup instead of "
                 "beside its log in the suite's data folder, for example on a share the helpdesk "
                 "can reach; VeskClean /restore:N finds them there. Environment variables such "
                 "as %USERDOMAIN% are expanded. The folder must exist and each user must be able "
                 "to make folders in it: what cannot be backed up is not deleted.\n\nNot "
                 "configured: the backups go beside the log.\n\nValue BackupFolder "
                 "(REG_EXPAND_SZ, a full path) in " +
                     std::string(kPolicyKey) + ". A computer's setting wins over a user's.");
    const std::string keep(kKeepValue);
    string_entry(lines, keep, "Keep these items on every cleaning");
    string_entry(
        lines, keep + "_Help",
        "Enabled: no cleaning deletes or backs up an item whose full name, as the cleaning log "
        "writes it, one of the patterns matches, nor an item with such an item inside (a key "
        "with its subkeys, a project folder with its files). The log says \"Kept\" for it, "
        "and keeping is no refusal. A pattern is matched in any letter case; ? stands for one "
        "character and * for any run of characters, \\ included: *\\VeskFont.ini keeps that "
        "file wherever it is, and HKEY_CURRENT_USER\\Software\\VB and VBA Program "
        "Settings\\VeskMain that key of every user. The access rights are no deletion: the "
        "list does not hold for them.\n\nThe patterns of the computer and of the user add up, "
        "with each user's own list and VeskClean's /keep:.\n\nValue Keep (REG_MULTI_SZ, one "
        "pattern a string) in " +
            std::string(kPolicyKey) + ".");
    lines << "    </stringTable>"
          << "    <presentationTable>"
          << "      <presentation id=\"" + folder + "\">"
          << "        <textBox refId=\"" + folder + "\">"
          << "          <label>Folder (a full path, such as \\\\server\\share\\VESK):</label>"
          << "        </textBox>"
          << "      </presentation>"
          << "      <presentation id=\"" + keep + "\">"
          << "        <multiTextBox refId=\"" + keep +
                 "\">Patterns, one a line (such as *\\VeskFont.ini):</multiTextBox>"
          << "      </presentation>"
          << "    </presentationTable>"
          << "  </resources>"
          << "</policyDefinitionResources>";
    return lines.text();
}
