// velumark entities: characters turned into entity and character references.
#include <CLI/CLI.hpp>

#include <memory>

#include "cli/TransformCommand.h"
#include "plugin/QkChecker.h"

namespace vmk::cli {

Subcommand addEntitiesCommand(CLI::App& app) {
  auto options = std::make_shared<TransformCommandOptions>();
  auto plain = std::make_shared<bool>(false);
  CLI::App* command = app.add_subcommand(
      "entities",
      "Turn <, >, & and the Latin-1 characters into references: in text, comments and "
      "attribute values, or with --plain everywhere. Without --selection the whole document "
      "(after a confirmation). Exit status: 0 done, 1 the confirmation was declined, 2 usage "
      "or I/O.");
  addTransformOptions(*command, *options, true);
  command->add_flag("--plain", *plain,
                    "Convert the text as plain text (tags too; \" becomes &quot;)");
  return Subcommand{command, [options, plain] {
                      return runTransformCommand(
                          *options, [&](QkChecker& principal, HostDocument& document) {
                            return principal.toEntityReferenceFor(document, *plain);
                          });
                    }};
}

}  // namespace vmk::cli
