// The policy templates that administrators load into the Group Policy editor: the ADMX file
// (the settings, their key and values) and its English ADML file (what the editor shows). Both
// follow from the option table and the policy's names, so that a new option is a new setting
// in the templates too; the files shipped in policy/ are checked against these texts.
#pragma once

#include <string>
#include <string_view>

// The ADMX file's name, and the folder and name of its English resources beside it.
inline constexpr std::string_view kAdmxName = "VeskCleaningWizard.admx";
inline constexpr std::string_view kAdmlFolder = "en-US";
inline constexpr std::string_view kAdmlName = "VeskCleaningWizard.adml";

// UTF-8, lines ended by CR LF.
std::string admx_text();
std::string adml_text();
