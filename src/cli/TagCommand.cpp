// velumark tag ...: the tag commands on a document at a selection, each answering one JSON
// object on standard output. Exit status: 0, or 1 when the command beeped or found nothing,
// 2 for usage and I/O problems.
#include <CLI/CLI.hpp>

#include <charconv>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "cli/CommonOptions.h"
#include "cli/DesktopOpener.h"
#include "plugin/ElementHelp.h"
#include "plugin/QkChecker.h"
#include "plugin/QkDictBrowser.h"
#include "transform/TagCommands.h"

namespace vmk::cli {
namespace {

using nlohmann::json;

enum class TagAction {
  Select,
  Pair,
  Element,
  Name,
  Attributes,
  InElement,
  EmptyElement,
  SelectAttribute,
  SetAttribute,
  Help,
  Jump,
  Consult,
};

struct TagOptions {
  std::string file;
  std::string selection = "0";
  EngineOptions engine;
  DocumentOutputOptions output;
  bool narrow = false;
  bool valueOnly = false;
  bool open = false;
  std::string name;
  std::string value;
  uint32_t position = 0;
  std::string color = "auto";
};

// "LOC" or "LOC:LEN", decimal.
std::optional<Range> parseSelection(const std::string& text) {
  auto number = [](std::string_view part) -> std::optional<uint32_t> {
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
    if (part.empty() || error != std::errc() || end != part.data() + part.size())
      return std::nullopt;
    return value;
  };
  const std::string_view whole = text;
  const size_t colon = whole.find(':');
  const auto location = number(whole.substr(0, colon));
  const auto length = colon == std::string_view::npos ? std::optional<uint32_t>(0)
                                                      : number(whole.substr(colon + 1));
  if (!location || !length) return std::nullopt;
  return Range(*location, *length);
}

json selectionJson(const HostDocument& document) {
  const Range r = document.selectedRange();
  return json::array({r.location, r.length});
}

void print(const json& answer) {
  std::cout << answer.dump() << std::endl;
}

// Hands an address to the desktop when asked; false (said on standard error) when that failed.
bool openIfAsked(const TagOptions& options, const std::string& address) {
  if (!options.open) return true;
  std::string error;
  if (openWithDesktop(address, &error)) return true;
  printProblem(error);
  return false;
}

int runTag(TagAction action, const TagOptions& options) {
  const std::optional<Range> selection = parseSelection(options.selection);
  if (!selection) {
    printProblem("--selection takes LOC or LOC:LEN, not '" + options.selection + "'");
    return kExitUsage;
  }
  if (action == TagAction::SetAttribute && !checkDocumentOutput(options.output, options.file))
    return kExitUsage;

  CliSession session;
  std::optional<Encoding> encoding;
  if (!applyEngineOptions(options.engine, &encoding)) return kExitUsage;
  std::string reason;
  HeadlessDocument* document = session.openDocument(options.file, encoding, &reason);
  if (!document) {
    printProblem("cannot read '" + options.file + "': " + reason);
    return kExitUsage;
  }
  const uint32_t size = uint32_t(document->text().size());
  if (selection->location > size || selection->length > size - selection->location) {
    printProblem("--selection " + options.selection + " lies outside the text (" +
                 std::to_string(size) + " UTF-16 units)");
    return kExitUsage;
  }
  if (action == TagAction::Jump && options.position > size) {
    printProblem("position " + std::to_string(options.position) + " lies outside the text (" +
                 std::to_string(size) + " UTF-16 units)");
    return kExitUsage;
  }
  document->setSelectedRange(*selection, false);

  QkChecker& principal = session.principal();
  HeadlessPlatform& platform = session.platform();
  const UString name = toUtf16(options.name);
  bool found = true;
  json answer = json::object();
  switch (action) {
    case TagAction::Select: {
      const int32_t kind = principal.tagCommands().selectTagFor(*document, !options.narrow);
      found = kind != kNoTag;
      answer = {{"selection", selectionJson(*document)}, {"result", kind}};
      break;
    }
    case TagAction::Pair:
    case TagAction::Element:
      found = action == TagAction::Pair ? principal.selectPairTagFor(*document)
                                        : principal.selectElementFor(*document);
      answer = {{"selection", selectionJson(*document)}};
      break;
    case TagAction::Name: {
      const UString tagName = principal.getTagNameFor(*document);
      found = !tagName.empty();
      answer = {{"result", toUtf8(tagName)}};
      break;
    }
    case TagAction::Attributes: {
      const auto attributes = principal.getAttributesFor(*document);
      found = attributes.has_value();
      json list = nullptr;
      if (attributes) {
        list = json::array();
        for (const VmkAttributeValue& a : *attributes)
          list.push_back({{"atrb", toUtf8(a.atrb)}, {"value", toUtf8(a.value)}});
      }
      answer = {{"result", list}};
      break;
    }
    case TagAction::InElement:
    case TagAction::EmptyElement: {
      const bool yes = action == TagAction::InElement ? principal.isInElement(name, *document)
                                                      : principal.isEmptyElement(name, *document);
      found = yes;
      answer = {{"result", yes}};
      break;
    }
    case TagAction::SelectAttribute:
      found = principal.selectAttribute(name, options.valueOnly, *document);
      answer = {{"selection", selectionJson(*document)}};
      break;
    case TagAction::SetAttribute: {
      const UString value = toUtf16(options.value);
      found = principal.setAttribute(name, UStringView(value), *document);
      if (found && (options.output.output || options.output.inPlace) &&
          !writeDocumentResult(*document, options.file, options.output, true))
        return kExitUsage;
      answer = {{"selection", selectionJson(*document)}, {"changed", found}};
      break;
    }
    case TagAction::Help: {
      const UString tagName = principal.getTagNameFor(*document);
      found = !tagName.empty();
      if (!found) {
        answer = {{"url", nullptr}};
        break;
      }
      const std::string address = principal.openWDGHelpForElement(tagName);
      answer = {{"url", address}};
      print(answer);
      return openIfAsked(options, address) ? kExitClean : kExitUsage;
    }
    case TagAction::Jump: {
      VmkTagCommands& commands = principal.tagCommands();
      found = commands.relativeURLJumpForIndex(options.position, *document);
      if (!found) {
        answer = {{"url", nullptr}};
        break;
      }
      answer = {{"url", commands.lastOpenedAddress()}};
      print(answer);
      return openIfAsked(options, commands.lastOpenedAddress()) ? kExitClean : kExitUsage;
    }
    case TagAction::Consult: {
      if (!principal.htmlElementHelpFor(*document)) {
        printProblem("no element of the dictionary at the selection");
        return kExitErrorsFound;
      }
      printDictionaryElement(QkDictBrowser::sharedDictBrowser(),
                             Styles(colourWanted(options.color)));
      return kExitClean;
    }
  }
  const bool beeped = platform.beepCount() > 0;
  if (beeped) answer["beep"] = true;
  print(answer);
  return found && !beeped ? kExitClean : kExitErrorsFound;
}

}  // namespace

Subcommand addTagCommand(CLI::App& app) {
  CLI::App* tag = app.add_subcommand(
      "tag",
      "Tag commands at a selection of a document, answered as JSON. Exit status: 0, 1 when the "
      "command beeped or found nothing (also a \"false\" answer), 2 usage or I/O problem.");
  tag->require_subcommand(1);
  auto options = std::make_shared<TagOptions>();
  auto action = std::make_shared<TagAction>(TagAction::Select);

  auto add = [&](const char* command, const char* description, TagAction what) {
    CLI::App* sub = tag->add_subcommand(command, description);
    sub->parse_complete_callback([action, what] { *action = what; });
    return sub;
  };
  // The arguments every subcommand takes, after its own.
  auto finish = [&](CLI::App* sub) {
    sub->add_option("FILE", options->file, "The document (- reads standard input)")->required();
    sub->add_option("-s,--selection", options->selection,
                    "LOC or LOC:LEN in UTF-16 units of the text with LF line ends (default 0)");
    addEngineOptions(*sub, options->engine);
  };

  CLI::App* select =
      add("select", "Select the tag around the selection: {selection, result}", TagAction::Select);
  select->add_flag("--narrow", options->narrow, "Leave out \"<\", \">\" and a \"/\" before \">\"");
  finish(select);
  finish(add("pair", "Select the partner of the tag at the selection", TagAction::Pair));
  finish(add("element", "Select the element of the tag at the selection", TagAction::Element));
  finish(add("name", "The lower-case name of the entry at the selection", TagAction::Name));
  finish(add("attributes", "The attributes of the tag at the selection", TagAction::Attributes));
  for (auto [command, description, what] :
       {std::tuple{"in-element", "Whether the selection lies inside an element NAME",
                   TagAction::InElement},
        std::tuple{"empty-element", "Whether NAME is an empty element of the dictionary",
                   TagAction::EmptyElement}}) {
    CLI::App* sub = add(command, description, what);
    sub->add_option("NAME", options->name, "Element name")->required();
    finish(sub);
  }
  CLI::App* selectAttribute =
      add("select-attribute", "Select the attribute NAME of the tag", TagAction::SelectAttribute);
  selectAttribute->add_option("NAME", options->name, "Attribute name")->required();
  selectAttribute->add_flag("--value-only", options->valueOnly, "Select only the value");
  finish(selectAttribute);
  CLI::App* setAttribute =
      add("set-attribute",
          "Set, add or (with an empty VALUE) remove the attribute NAME of the start tag; the "
          "document is written only with --output or --in-place",
          TagAction::SetAttribute);
  setAttribute->add_option("NAME", options->name, "Attribute name")->required();
  setAttribute->add_option("VALUE", options->value, "New value (empty removes)")->required();
  addDocumentOutputOptions(*setAttribute, options->output);
  finish(setAttribute);
  CLI::App* help =
      add("help", "The element reference page of the tag at the selection", TagAction::Help);
  help->add_flag("--open", options->open, "Hand the address to the desktop's opener");
  finish(help);
  CLI::App* jump =
      add("jump", "Follow the link whose value holds text position POSITION", TagAction::Jump);
  jump->add_option("POSITION", options->position, "UTF-16 position in the text with LF line ends")
      ->required();
  jump->add_flag("--open", options->open, "Hand the address to the desktop's opener");
  finish(jump);
  CLI::App* consult = add("consult", "Show the dictionary's entry for the element at the selection",
                          TagAction::Consult);
  consult->add_option("--color", options->color, "Colour the output")
      ->check(CLI::IsMember({"auto", "always", "never"}));
  finish(consult);

  return Subcommand{tag, [options, action] { return runTag(*action, *options); }};
}

}  // namespace vmk::cli
