// rulesmith: converts a DTD into an HTML dictionary file for Velumark.
#include <CLI/CLI.hpp>
#include <iostream>

#include "converter/RulesmithCommand.h"

int main(int argc, char** argv) {
  vmk::RulesmithOptions options;
  CLI::App app{
      "Converts a DTD (an SGML or XML document type definition of HTML or XHTML) into the\n"
      "HTML dictionary file that Velumark loads: NAME.dict, an XML property list holding the\n"
      "elements, their tag omission, child and parent elements and attribute definitions.\n"
      "Progress and warnings go to standard error.\n\n"
      "Each declaration that cannot be read and each entity that cannot be resolved gives a\n"
      "warning \"FILE:LINE: warning: ...\" on standard error, also with --quiet.\n\n"
      "Exit status: 0 a clean conversion; 1 warnings (the dictionary is written all the same),\n"
      "no element declared (nothing is written) or the file could not be written; 2 bad\n"
      "arguments or input.",
      "rulesmith"};
  app.set_version_flag("--version", std::string("rulesmith ") + vmk::kRulesmithVersion);
  app.add_option("--name", options.displayName,
                 "Display name of the dictionary; the file is NAME.dict "
                 "(default: the DTD's file name without extension)");
  app.add_option("--public", options.publicId,
                 "Public identifier written as \"DoctypeName\"; documents whose DOCTYPE carries it "
                 "select the dictionary (default: the one found in the DTD)");
  app.add_option("--system", options.systemId,
                 "System identifier written as \"SystemIdentifier\" (default: the one found in "
                 "the DTD; an empty text writes none)");
  app.add_option("--output-dir", options.outputDir,
                 "Folder the dictionary is written to, created when missing "
                 "(default: the DTD's folder)");
  app.add_flag("--resolve-external", options.resolveExternal,
               "Read external parameter entities (PUBLIC/SYSTEM) from local files and include "
               "their text: system identifiers relative to the including file, or identifiers "
               "mapped by the catalogs. Needed for DTDs that include others, such as the HTML "
               "4.01 Frameset DTD or XHTML 1.1");
  app.add_option("--catalog", options.catalogs,
                 "An OASIS XML catalog or SGML Open Catalog used by --resolve-external; may be "
                 "repeated (default: the catalogs of the installed W3C DTD library)")
      ->check(CLI::ExistingFile);
  app.add_flag("-q,--quiet", options.quiet, "Do not show the progress and warnings");
  app.add_option("FILE.dtd", options.dtdPath, "The DTD to convert")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int status = app.exit(e);
    return status == 0 ? 0 : vmk::kRulesmithBadInput;
  }
  return vmk::runRulesmith(options, std::cerr, std::cerr);
}
