#include "converter/RulesmithCommand.h"

#include <filesystem>

#include "converter/EntityCatalog.h"
#include "converter/MyDocument.h"
#include "support/Paths.h"

namespace vmk {

namespace fs = std::filesystem;

int runRulesmith(const RulesmithOptions& options, std::ostream& monitor, std::ostream& errors) {
  auto fail = [&](int status, const std::string& message) {
    errors << "rulesmith: " << message << '\n';
    return status;
  };
  const std::string& path = options.dtdPath;
  if (fs::path(path).extension() != ".dtd") {
    return fail(kRulesmithBadInput,
                "\"" + path + "\" is not a DTD: the file name must end in \".dtd\"");
  }
  // The name is checked before the conversion so that a bad one is reported at once.
  const std::string displayName = options.displayName.value_or(fs::path(path).stem().string());
  if (displayName.empty() || displayName.find('/') != std::string::npos) {
    return fail(kRulesmithBadInput,
                "the dictionary name \"" + displayName + "\" is empty or contains \"/\"");
  }
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    return fail(kRulesmithBadInput, "cannot read \"" + path + "\": it is a folder");
  }
  std::string readError;
  std::optional<std::string> data = readFileContents(path, &readError);
  if (!data) return fail(kRulesmithBadInput, "cannot read \"" + path + "\": " + readError);

  MyDocument document;
  document.loadDataRepresentation(*data, path);

  EntityCatalog catalog;
  if (options.resolveExternal) {
    std::vector<std::string> catalogs =
        options.catalogs.empty() ? EntityCatalog::defaultCatalogPaths() : options.catalogs;
    for (const std::string& catalogPath : catalogs) {
      std::string error;
      if (!catalog.load(catalogPath, &error)) {
        return fail(kRulesmithBadInput,
                    "cannot read the catalog \"" + catalogPath + "\": " + error);
      }
    }
    document.dtd()->enableExternalEntities(path, &catalog);
  }

  MyDtd::MonitorView view;
  if (!options.quiet) view = [&monitor](std::string_view text) { monitor << text; };
  document.awakeFromNib(view);
  if (!options.quiet) monitor << '\n' << std::flush;

  const MyDtd& dtd = *document.dtd();
  for (const DtdWarning& warning : dtd.warnings()) {
    errors << (warning.file.empty() ? path : warning.file);
    if (warning.line > 0) errors << ':' << warning.line;
    errors << ": warning: " << warning.message << '\n';
  }
  if (dtd.elements().empty()) {
    return fail(kRulesmithWarnings, "\"" + path + "\" declares no element: nothing was written");
  }

  document.setDoctypeName(options.publicId.value_or(document.proposedDoctypeName().value_or("")));
  document.setSystemName(options.systemId.value_or(document.proposedSystemName().value_or("")));

  std::string folder = options.outputDir.value_or(fs::path(path).parent_path().string());
  if (folder.empty()) folder.assign(1, '.');
  if (!makeDirectories(folder)) {
    return fail(kRulesmithWriteFailed, "cannot create the folder \"" + folder + "\"");
  }
  std::string target = (fs::path(folder) / (displayName + ".dict")).string();
  std::string writeError;
  if (!document.saveToFile(target, &writeError)) {
    return fail(kRulesmithWriteFailed, "cannot write \"" + target + "\": " + writeError);
  }
  if (!options.quiet) monitor << "Wrote \"" << target << "\"\n";
  if (!dtd.warnings().empty()) {
    errors << "rulesmith: " << dtd.warnings().size()
           << (dtd.warnings().size() == 1 ? " warning" : " warnings")
           << ": the dictionary may be incomplete\n";
    return kRulesmithWarnings;
  }
  return kRulesmithOk;
}

}  // namespace vmk
