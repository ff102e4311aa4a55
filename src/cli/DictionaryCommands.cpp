// velumark dictionaries / velumark dictionary NAME [ELEMENT]: the dictionary browser as text.
#include <iostream>

#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "dictionary/DictionaryFolder.h"
#include "dictionary/VmkDictionary.h"
#include "plugin/QkDictBrowser.h"
#include "settings/VmkUserDefaults.h"

namespace vmk::cli {
namespace {

// Names joined by ", ", wrapped before `width` columns, each line indented.
std::string wrapped(const std::vector<UString>& names, std::string_view indent, size_t width = 78) {
  if (names.empty()) return std::string(indent) + "(none)\n";
  std::string out;
  std::string line(indent);
  for (size_t i = 0; i < names.size(); ++i) {
    std::string item = toUtf8(names[i]) + (i + 1 < names.size() ? "," : "");
    if (line.size() > indent.size() && line.size() + 1 + item.size() > width) {
      out += line + "\n";
      line = std::string(indent);
    }
    if (line.size() > indent.size()) line += ' ';
    line += item;
  }
  return out + line + "\n";
}

std::string padded(std::string text, size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

}  // namespace

void printDictionaryElement(const QkDictBrowser& browser, const Styles& s) {
  std::cout << s.bold << toUtf8(browser.elementBoxTitle()) << s.reset << "  "
            << toUtf8(browser.title()) << "\n"
            << toUtf8(browser.startAndEndTagText()) << "\n\n";
  const std::vector<QkAttributeRow> rows = browser.attributeRows();
  std::cout << "Attributes (" << rows.size() << ", * required):\n";
  size_t nameWidth = 4;
  size_t typeWidth = 4;
  for (const QkAttributeRow& row : rows) {
    nameWidth = std::max(nameWidth, toUtf8(row.name).size());
    typeWidth = std::max(typeWidth, toUtf8(row.type).size());
  }
  for (const QkAttributeRow& row : rows) {
    std::cout << (row.required ? "* " : "  ") << (row.required ? s.bold : "")
              << padded(toUtf8(row.name), nameWidth) << (row.required ? s.reset : "") << "  "
              << padded(toUtf8(row.type), typeWidth) << "  " << toUtf8(row.defaultValue) << "\n";
  }
  std::cout << "\nChildren:\n" << wrapped(browser.childElements(), "  ");
  std::cout << "\nParents:\n" << wrapped(browser.parentElements(), "  ");
}

bool isInstalledDictionary(const std::string& name) {
  const UString wanted = toUtf16(name);
  for (const UString& installed : htmlDictionaryNames()) {
    if (installed == wanted) return true;
  }
  return false;
}

void reportUnknownDictionary(const std::string& name) {
  const auto& names = htmlDictionaryNames();
  std::string list;
  for (const UString& installed : names) list += (list.empty() ? "" : ", ") + toUtf8(installed);
  if (list.empty()) list = "none (folder " + dictionariesFolderPath() + ")";
  printProblem("unknown dictionary '" + name + "'; installed: " + list);
}

int runDictionaries(const std::string& color) {
  CliSession session;
  const Styles s(colourWanted(color));
  const UString defaultName =
      toUtf16(sharedVmkUserDefaults().stringForKey("Vmk_DefaultHtmlDictionary"));
  for (const UString& name : htmlDictionaryNames()) {
    const bool isDefault = name == defaultName;
    DictionaryLoadProblem problem;
    const bool loads = VmkDictionary::sharedWithMenuName(name, &problem) != nullptr;
    std::cout << (isDefault ? "* " : "  ") << (isDefault ? s.bold : "") << toUtf8(name)
              << (isDefault ? s.reset : "") << (isDefault ? "  (default)" : "")
              << (loads ? "" : "  (cannot be loaded: " + problem.reason + ")") << "\n";
  }
  if (htmlDictionaryNames().empty()) {
    printProblem("no dictionaries installed in " + dictionariesFolderPath());
    return kExitUsage;
  }
  return kExitClean;
}

int runDictionary(const std::string& name, const std::optional<std::string>& element,
                  const std::string& color) {
  CliSession session;
  if (!isInstalledDictionary(name)) {
    reportUnknownDictionary(name);
    return kExitUsage;
  }
  // A file that checks cannot use is still shown as far as it can be read, with a warning.
  DictionaryLoadProblem problem;
  const bool loads = VmkDictionary::sharedWithMenuName(toUtf16(name), &problem) != nullptr;
  if (!loads) {
    printProblem("cannot load dictionary '" + name + "' from '" + problem.path +
                 "': " + problem.reason);
  }
  QkDictBrowser& browser = QkDictBrowser::sharedDictBrowser();
  if (!browser.setHtmlDictionaryFromPath(QkChecker::dictionaryPathWithName(toUtf16(name)))) {
    return kExitUsage;
  }
  const Styles s(colourWanted(color));
  if (!element) {
    const std::vector<UString> elements = browser.elementNames();
    std::cout << s.bold << toUtf8(browser.title()) << s.reset << "\n"
              << "Public identifier: " << toUtf8(browser.doctypeName()) << "\n"
              << "System identifier: " << toUtf8(browser.systemIdentifier().value_or(u"")) << "\n"
              << "Elements (" << elements.size() << "):\n";
    for (const UString& name : elements) std::cout << "  " << toUtf8(name) << "\n";
    return loads ? kExitClean : kExitUsage;
  }

  // The element as written, else the one that differs only in case.
  UString wanted = toUtf16(*element);
  if (!browser.selectElement(wanted)) {
    bool found = false;
    for (const UString& candidate : browser.elementNames()) {
      if (caseInsensitiveCompare(candidate, wanted) == 0) {
        browser.selectElement(candidate);
        wanted = candidate;
        found = true;
        break;
      }
    }
    if (!found) {
      printProblem("dictionary '" + name + "' has no element '" + *element + "'");
      return kExitUsage;
    }
  }
  printDictionaryElement(browser, s);
  // The content model and exceptions, in dictionaries made with them.
  std::shared_ptr<const VmkDictionary> dictionary =
      VmkDictionary::sharedWithMenuName(toUtf16(name));
  if (const VmkElementRecord* record = dictionary ? dictionary->elementRecord(wanted) : nullptr) {
    if (record->contentModel) {
      std::cout << "\nContent model:\n  " << toUtf8(*record->contentModel) << "\n";
    }
    if (!record->inclusions.empty()) {
      std::cout << "\nInclusions:\n" << wrapped(record->inclusions, "  ");
    }
    if (!record->exclusions.empty()) {
      std::cout << "\nExclusions:\n" << wrapped(record->exclusions, "  ");
    }
  }
  return loads ? kExitClean : kExitUsage;
}

}  // namespace vmk::cli
