#include "cli/CommonOptions.h"

#include <sys/stat.h>
#include <CLI/CLI.hpp>

#include <cstdio>

#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "host/headless/HeadlessDocument.h"
#include "settings/VmkUserDefaults.h"

namespace vmk::cli {

void addEngineOptions(CLI::App& command, EngineOptions& options) {
  command.add_option("-d,--dictionary", options.dictionary,
                     "Dictionary used when the DOCTYPE does not choose one (this run only)");
  command.add_flag("--no-follow-doctype", options.noFollowDoctype,
                   "Always use the default dictionary, whatever the DOCTYPE says");
  command.add_option("-e,--encoding", options.encoding,
                     "Encoding to open the documents with (default: detected)");
  command
      .add_option("--set", options.sets,
                  "Change a setting for this run only, KEY=VALUE (repeatable; the settings file "
                  "is not written)")
      ->allow_extra_args(false);
  command.add_flag("--strict", options.strict,
                   "Also check content models and exclusions as the DTD states them");
}

bool applyEngineOptions(const EngineOptions& options, std::optional<Encoding>* encoding) {
  VmkUserDefaults& settings = sharedVmkUserDefaults();
  // What this run changes stays with this run.
  settings.setWritesSettingsFile(false);
  if (options.encoding) {
    Encoding forced = Encoding::fromName(*options.encoding);
    if (!forced.valid()) {
      printProblem("unknown encoding '" + *options.encoding + "'");
      return false;
    }
    if (encoding) *encoding = forced;
  }
  for (const std::string& assignment : options.sets) {
    const size_t equals = assignment.find('=');
    if (equals == std::string::npos || equals == 0) {
      printProblem("--set needs KEY=VALUE, not '" + assignment + "'");
      return false;
    }
    const std::string name = assignment.substr(0, equals);
    const std::optional<std::string> key = settingKey(settings, name);
    if (!key) {
      printProblem("unknown setting '" + name + "' (see 'velumark settings list')");
      return false;
    }
    if (!changeSetting(settings, *key, assignment.substr(equals + 1))) return false;
  }
  // The dedicated options win over a --set of the same setting.
  if (options.dictionary) {
    if (!isInstalledDictionary(*options.dictionary)) {
      reportUnknownDictionary(*options.dictionary);
      return false;
    }
    settings.changeStringValue(*options.dictionary, "Vmk_DefaultHtmlDictionary");
  }
  if (options.noFollowDoctype) settings.changeBoolValue(false, "Vmk_FollowsDoctype");
  if (options.strict) {
    if (!settings.factoryObjectForKey("Vmk_StrictDTDChecks")) {
      printProblem("--strict is not available in this build");
      return false;
    }
    settings.changeBoolValue(true, "Vmk_StrictDTDChecks");
  }
  return true;
}

void addDocumentOutputOptions(CLI::App& command, DocumentOutputOptions& options) {
  CLI::Option* output = command.add_option(
      "-o,--output", options.output, "Write the result to this file (default: standard output)");
  CLI::Option* inPlace = command.add_flag(
      "--in-place", options.inPlace,
      "Replace the file with the result (atomically, and only when something changed)");
  output->excludes(inPlace);
}

namespace {

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

bool refuseOutputThatIsAnInput(const std::string& output, const std::vector<std::string>& inputs) {
  if (output == "-") return false;
  struct stat out {};
  if (::stat(output.c_str(), &out) != 0) return false;
  for (const std::string& input : inputs) {
    if (input == "-") continue;
    struct stat in {};
    if (::stat(input.c_str(), &in) == 0 && sameFile(in, out)) {
      printProblem("refusing to write to '" + output + "': it is the input '" + input +
                   "' (use --in-place to replace a document)");
      return true;
    }
  }
  return false;
}

bool checkDocumentOutput(const DocumentOutputOptions& options, const std::string& inputPath) {
  if (options.inPlace && inputPath == "-") {
    printProblem("--in-place needs a file, not standard input");
    return false;
  }
  if (options.output && refuseOutputThatIsAnInput(*options.output, {inputPath})) return false;
  return true;
}

bool writeDocumentResult(HeadlessDocument& document, const std::string& inputPath,
                         const DocumentOutputOptions& options, bool changed) {
  if (options.inPlace && !changed) return true;
  const std::string target = options.inPlace ? inputPath : options.output.value_or("-");
  if (document.hadDecodingErrors()) {
    printProblem("not writing '" + inputPath + "': it has bytes that are not valid " +
                 document.openNSEncoding().ianaName() + " (open it with the right --encoding)");
    return false;
  }
  std::string error;
  if (target != "-") {
    if (!options.inPlace && refuseOutputThatIsAnInput(target, {inputPath})) return false;
    if (!document.saveToFile(target, &error)) {
      printProblem(error);
      return false;
    }
    return true;
  }
  std::optional<std::string> bytes = document.encodedContents(&error);
  if (!bytes) {
    printProblem("cannot write '" + inputPath + "': " + error);
    return false;
  }
  std::fflush(stdout);
  if (std::fwrite(bytes->data(), 1, bytes->size(), stdout) != bytes->size() ||
      std::fflush(stdout) != 0) {
    printProblem("cannot write to standard output");
    return false;
  }
  return true;
}

}  // namespace vmk::cli
