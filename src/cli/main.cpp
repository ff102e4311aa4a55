// velumark: validate HTML and XHTML documents, browse the dictionaries, change the settings.
#include <CLI/CLI.hpp>

#include <iostream>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "cli/TransformCommand.h"
#include "cli/CommonOptions.h"
#include "cli/Version.h"

using namespace vmk::cli;

int main(int argc, char** argv) {
#if defined(__GLIBC__)
  // A check allocates from two threads at once, each from a heap of its own that otherwise
  // grows a page or two at a time: thousands of system calls on a large page, each of which
  // also holds up the other thread's page faults. The heaps grow in large steps instead; room
  // not written to takes no memory.
  mallopt(M_TOP_PAD, 32 << 20);
#endif
  CLI::App app{
      "Checks HTML 4.01 and XHTML 1.0 documents against the rules of their document type.\n"
      "Settings live in $XDG_CONFIG_HOME/velumark, dictionaries in $XDG_DATA_HOME/velumark.",
      "velumark"};
  app.set_version_flag("--version", std::string("velumark ") + kVelumarkVersion);
  app.require_subcommand(1);
  app.fallthrough();

  std::string color = "auto";
  const auto colorCheck = CLI::IsMember({"auto", "always", "never"});

  // validate
  ValidateOptions validate;
  CLI::App* validateCmd = app.add_subcommand("validate",
                                             "Check documents. Exit status: 0 no errors, 1 errors "
                                             "found, 2 usage error or unreadable file.");
  validateCmd->add_option("FILE", validate.files, "Documents to check (- reads standard input)")
      ->required();
  validateCmd->add_option("-f,--format", validate.format, "Report format")
      ->check(CLI::IsMember({"gcc", "json", "sarif", "annotated", "tsv"}))
      ->capture_default_str();
  addEngineOptions(*validateCmd, validate.engine);
  validateCmd
      ->add_option("-i,--ignore", validate.ignore,
                   "Switch an error off for this run: one code or number per use (repeat it), "
                   "or several separated by commas (-i H002,WrongAmpersand)")
      ->allow_extra_args(false)
      ->delimiter(',');
  validateCmd->add_option("-o,--output", validate.output, "Write the report to a file");
  validateCmd->add_flag("-q,--quiet", validate.quiet, "Summary lines only (gcc format)");
  validateCmd
      ->add_option("--max-size", validate.maxSize,
                   "Largest document read, in bytes or with a unit (512MB, 1500MB; default 1GB, "
                   "at most 2GB less one byte)")
      ->transform(CLI::AsSizeValue(false))
      ->check(CLI::Range(uint64_t(1), uint64_t(0x7FFFFFFF)));
  validateCmd->add_option("--color", validate.color, "Colour the report")
      ->check(colorCheck)
      ->capture_default_str();

  // dictionaries / dictionary
  CLI::App* dictionariesCmd =
      app.add_subcommand("dictionaries", "List the installed dictionaries (* marks the default)");
  dictionariesCmd->add_option("--color", color, "Colour the output")->check(colorCheck);
  std::string dictionaryName;
  std::optional<std::string> elementName;
  CLI::App* dictionaryCmd = app.add_subcommand(
      "dictionary", "Show a dictionary's identifiers and elements, or one element's rules");
  dictionaryCmd->add_option("NAME", dictionaryName, "Dictionary name")->required();
  dictionaryCmd->add_option("ELEMENT", elementName, "Element to show");
  dictionaryCmd->add_option("--color", color, "Colour the output")->check(colorCheck);

  // settings
  CLI::App* settingsCmd = app.add_subcommand("settings", "Show or change the settings");
  settingsCmd->require_subcommand(1);
  CLI::App* settingsList = settingsCmd->add_subcommand("list", "All settings and their values");
  std::string settingKey;
  std::string settingValue;
  CLI::App* settingsGet = settingsCmd->add_subcommand("get", "One setting's value");
  settingsGet->add_option("KEY", settingKey, "Setting (the Vmk_ prefix may be left out)")
      ->required();
  CLI::App* settingsSet = settingsCmd->add_subcommand(
      "set", "Change a setting (booleans true/false, numbers, lists of names separated by spaces)");
  settingsSet->add_option("KEY", settingKey, "Setting")->required();
  settingsSet->add_option("VALUE", settingValue, "New value")->required();
  std::optional<std::string> resetWhat;
  CLI::App* settingsReset = settingsCmd->add_subcommand(
      "reset", "Return settings to their factory values: all, a group or one key");
  settingsReset->add_option("WHAT", resetWhat, "validate, beautify, link, messages or a key");

  // errors
  CLI::App* errorsCmd = app.add_subcommand("errors", "Show or change the error catalogue");
  errorsCmd->require_subcommand(1);
  CLI::App* errorsList =
      errorsCmd->add_subcommand("list", "Number, level, repair flag, code and title of each error");
  std::string errorCode;
  std::optional<int> errorLevel;
  std::optional<int> errorFix;
  CLI::App* errorsSet = errorsCmd->add_subcommand(
      "set", "Change an error's level (0 off, 1 caution, 2 error) or repair flag");
  errorsSet->add_option("CODE_OR_NUMBER", errorCode, "Error code or number (H002)")->required();
  errorsSet->add_option("--level", errorLevel, "0 off, 1 caution, 2 error")
      ->check(CLI::Range(0, 2));
  errorsSet->add_option("--fix", errorFix, "1 repair on, 0 off")->check(CLI::Range(0, 1));

  // Commands that register themselves (see cli/CommonOptions.h), one line each.
  std::vector<Subcommand> commands;
  commands.push_back(addBeautifyCommand(app));
  commands.push_back(addMinimizeCommand(app));
  commands.push_back(addEntitiesCommand(app));
  commands.push_back(addFixCommand(app));
  commands.push_back(addTagCommand(app));
  commands.push_back(addLinksCommand(app));
  commands.push_back(addSiteCommand(app));

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? kExitClean : kExitUsage;
  }

  for (const Subcommand& command : commands) {
    if (*command.app) {
      const int status = command.run();
      // A dictionary the run needed and could not load is a usage problem whatever the
      // command found (validate says so per file itself).
      return CliSession::reportLastRunDictionaryLoadProblems() ? kExitUsage : status;
    }
  }
  if (*validateCmd) return runValidate(validate);
  if (*dictionariesCmd) return runDictionaries(color);
  if (*dictionaryCmd) return runDictionary(dictionaryName, elementName, color);
  if (*settingsList) return runSettingsList();
  if (*settingsGet) return runSettingsGet(settingKey);
  if (*settingsSet) return runSettingsSet(settingKey, settingValue);
  if (*settingsReset) return runSettingsReset(resetWhat);
  if (*errorsList) return runErrorsList();
  if (*errorsSet) return runErrorsSet(errorCode, errorLevel, errorFix);
  return kExitUsage;
}
