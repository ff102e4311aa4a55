// velumark beautify: the beautifier on one document.
#include <CLI/CLI.hpp>

#include <memory>

#include "cli/TransformCommand.h"
#include "plugin/QkChecker.h"

namespace vmk::cli {

Subcommand addBeautifyCommand(CLI::App& app) {
  auto options = std::make_shared<TransformCommandOptions>();
  CLI::App* command = app.add_subcommand(
      "beautify",
      "Lay out a document's markup (the settings of 'velumark settings list' group beautify): "
      "the whole document, or the part --selection names. Exit status: 0 done, 1 a "
      "confirmation was declined, 2 usage or I/O.");
  addTransformOptions(*command, *options, true);
  return Subcommand{command, [options] {
                      return runTransformCommand(
                          *options, [&](QkChecker& principal, HostDocument& document) {
                            return principal.beautifyHTMLFor(document, !options->selection);
                          });
                    }};
}

}  // namespace vmk::cli
