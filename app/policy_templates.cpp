// Writes the policy templates from the option table: FOLDER/VeskCleaningWizard.admx and
// FOLDER/en-US/VeskCleaningWizard.adml. Built on the host, never shipped itself:
// scripts/policy-templates writes them into policy/, and a test into the build folder, to
// compare with policy/.
#include "engine/policy_templates.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

namespace {

bool write(const std::filesystem::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) {
        std::cerr << "policy_templates: cannot write " << path.string() << "\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: policy_templates FOLDER\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder / kAdmlFolder, error);
    if (error) {
        std::cerr << "policy_templates: cannot make " << folder.string() << ": " << error.message()
                  << "\n";
        return 1;
    }
    const bool written = write(folder / kAdmxName, admx_text()) &&
                         write(folder / kAdmlFolder / kAdmlName, adml_text());
    return written ? 0 : 1;
}
