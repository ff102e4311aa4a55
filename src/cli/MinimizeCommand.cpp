// velumark minimize: the minimizer on one document.
#include <CLI/CLI.hpp>

#include <memory>

#include "cli/TransformCommand.h"
#include "plugin/QkChecker.h"

namespace vmk::cli {

Subcommand addMinimizeCommand(CLI::App& app) {
  auto options = std::make_shared<TransformCommandOptions>();
  auto confirm = std::make_shared<bool>(false);
  CLI::App* command = app.add_subcommand(
      "minimize",
      "Collapse the white space of a document's markup. Exit status: 0 done, 1 the "
      "confirmation was declined, 2 usage or I/O.");
  addTransformOptions(*command, *options, false);
  command->add_flag("--confirm", *confirm, "Say how much smaller the text gets and ask first");
  return Subcommand{command, [options, confirm] {
                      return runTransformCommand(
                          *options, [&](QkChecker& principal, HostDocument& document) {
                            return principal.minimizeHTMLfor(document, *confirm);
                          });
                    }};
}

}  // namespace vmk::cli
